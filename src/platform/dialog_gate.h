#pragma once
// The dialog service the program hands around: it stands in front of the real one (or a test's
// fake) and decides whether anyone is there to answer. Attended, every box and chooser is passed
// on. Unattended (a closing started by a quit signal or the session manager), nothing is shown and
// nothing waits: a message goes to standard error, a question takes its safe answer, No, and a
// chooser answers as cancelled. With the echo on (during any closing) messages also go to
// standard error, so a failure met while closing is never lost with the process. Window thread only.
#include "platform/dialogs.h"

class DialogGate final : public DialogService {
public:
    // inner is not owned and must outlive the gate.
    explicit DialogGate(DialogService& inner) : inner_(inner) {}

    void SetUnattended(bool on) { unattended_ = on; }
    bool Unattended() const { return unattended_; }
    void SetEchoToStandardError(bool on) { echo_ = on; }

    void ShowMessage(Icon icon, const QString& text) override;
    bool AskYesNo(Icon icon, const QString& text) override;
    bool AskSecret(const QString& text, QString* secret) override;
    QString ChooseOpenFile(const QString& filter) override;
    bool ChooseFont(QFont& font, QColor* color) override;
    bool ChooseColor(QColor& color) override;
    bool ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) override;

private:
    DialogService& inner_;
    bool unattended_ = false;
    bool echo_ = false;
};

// One line on standard error: "kovra: " and the text, its line breaks as blanks.
void WriteToStandardError(const QString& text);
