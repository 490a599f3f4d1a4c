#pragma once
// The real message boxes (QMessageBox, title "Kovra"), modal to the given window. Part of kovra_ui:
// kovra_core never links Widgets. Window thread only; the parent is not owned and may go away
// first, the boxes are then shown without a parent.
//
// One test hook, inert unless set: with KOVRA_PRINT_TO_PDF=<file> in the environment the print
// dialog is not shown; it answers "print to that PDF file", choosing the selection range whenever
// it is offered. The tests of the real program under Xvfb use it.
#include <QPointer>
#include <QWidget>

#include "platform/dialogs.h"

class QtDialogService final : public DialogService {
public:
    explicit QtDialogService(QWidget* parent = nullptr) : parent_(parent) {}

    void ShowMessage(Icon icon, const QString& text) override;
    bool AskYesNo(Icon icon, const QString& text) override;
    bool AskSecret(const QString& text, QString* secret) override;
    QString ChooseOpenFile(const QString& filter) override;
    bool ChooseFont(QFont& font, QColor* color) override;
    bool ChooseColor(QColor& color) override;
    bool ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) override;

private:
    QPointer<QWidget> parent_;
};
