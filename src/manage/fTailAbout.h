#pragma once
// The about box: product name, this program's version and the regular-expression library's
// version. Modal, created for each opening and freed after it. Window thread only.

#include <QDialog>

class QLabel;

class TFormAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QString EngineLine() const;
    QString VersionLine() const;

    // "Kovra is using PCRE2 v" + major.minor of the PCRE2 library this program runs with.
    static QString EngineLineText();
    // "version " + VersionText of this program with the build number in parentheses.
    static QString VersionLineText();

private:
    QLabel* m_engine = nullptr;
    QLabel* m_version = nullptr;
};
