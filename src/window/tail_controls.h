#pragma once
// Small controls of the tail window that plain Qt widgets lack: labels and panes that report
// clicks, and the painted file-name panel shown in place of the file-name edit while running.
#include <QColor>
#include <QFrame>
#include <QLabel>

// A label that reports a released mouse button and a double click.
class ClickableLabel final : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

signals:
    void released(Qt::MouseButton button);
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// One pane of the status bar; reports clicks. A shrinkable pane may get less room than its text
// needs: it then ends the text with an ellipsis and shows it whole as its tool tip, above its hint
// when it has one.
class StatusPane final : public QLabel {
    Q_OBJECT
public:
    explicit StatusPane(QWidget* parent = nullptr);

    void SetShrinkable(bool shrinkable);
    bool TextCut() const;
    // What the tool tip shows: the hint, or the whole text (and the hint) while the text is cut.
    QString ToolTipText() const;
    QSize minimumSizeHint() const override;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool shrinkable_ = false;
};

// Paints "alias - " in green followed by the typed file name, elided at the end.
class FileNamePanel final : public QFrame {
    Q_OBJECT
public:
    explicit FileNamePanel(QWidget* parent = nullptr);

    void SetTexts(const QString& alias, const QString& fileName);
    void SetFontName(const QString& family);
    QString Alias() const { return alias_; }
    QString FileName() const { return fileName_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString alias_;
    QString fileName_;
};
