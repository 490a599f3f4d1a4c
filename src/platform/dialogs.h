#pragma once
// Every modal message box and chooser of the program goes through this interface, so tests can
// answer them. The Qt implementation (kovra_ui) shows the real dialogs; tests/support has a fake
// that records the texts and gives queued answers. Window thread only.
#include <QString>

class DialogService {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~DialogService() = default;
    // A message box with an OK button.
    virtual void ShowMessage(Icon icon, const QString& text) = 0;
    // A Yes/No box; true for Yes.
    virtual bool AskYesNo(Icon icon, const QString& text) = 0;
    // A file-open chooser; filter in the form "Text File|*.txt|Log file|*.log". Empty on cancel.
    virtual QString ChooseOpenFile(const QString& filter) = 0;
};
