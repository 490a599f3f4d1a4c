#pragma once
// The alerts window: the text alerts of the tail window, newest first. One per process, created
// hidden with the tail window and kept until it closes; nothing of it is stored. Closing it with
// the window's close button only hides it. Window thread only: the alert step of a worker pass
// reaches it through the window's blocking hand-over.

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class TFormAlerts final : public QWidget {
    Q_OBJECT
public:
    // No owner window by default: the alerts window is a top-level window of its own.
    explicit TFormAlerts(QWidget* parent = nullptr);

    // Inserts text as the new first line.
    void AddAlertLine(const QString& text);
    // Shows the window where it was, when it is hidden.
    void ShowIfHidden();
    // Moves the window's top-left corner to the screen's (0, 0) and shows it.
    void ShowAtTopLeft();
    // Hides the window; the lines stay.
    void HideWindow();
    // Removes all lines ("Clear").
    void ClearLines();

    QStringList Lines() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_hide = nullptr;
};
