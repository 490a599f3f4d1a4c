#pragma once
// Every modal message box and chooser of the program goes through this interface, so tests can
// answer them. The Qt implementation (kovra_ui) shows the real dialogs; tests/support has a fake
// that records the texts and gives queued answers. Window thread only.
#include <QString>

class QColor;
class QFont;
class QPrinter;

class DialogService {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~DialogService() = default;
    // A message box with an OK button.
    virtual void ShowMessage(Icon icon, const QString& text) = 0;
    // A Yes/No box; true for Yes.
    virtual bool AskYesNo(Icon icon, const QString& text) = 0;
    // A box that asks for a secret (a password), its characters hidden as typed; false on cancel.
    virtual bool AskSecret(const QString& text, QString* secret) = 0;
    // A file-open chooser; filter in the form "Text File|*.txt|Log file|*.log". Empty on cancel.
    virtual QString ChooseOpenFile(const QString& filter) = 0;
    // A font chooser preset with font and, when color is given, with that text colour; on
    // confirmation both are replaced by the choice. False on cancel (nothing changed).
    virtual bool ChooseFont(QFont& font, QColor* color) = 0;
    // A colour chooser preset with color that also offers custom colours; false on cancel.
    virtual bool ChooseColor(QColor& color) = 0;
    // The print dialog for printer; the "selection" range is offered only when selectionOffered.
    // On confirmation printer is set up and selectionOnly says whether that range was chosen.
    // False on cancel. (QPrinter is Qt PrintSupport: only kovra_ui code calls this.)
    virtual bool ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) = 0;
};
