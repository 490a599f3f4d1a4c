// The commands on the shown file: editor, desktop shell, user command, folder and print.
// They act on LabelFn, the file the last pass read; the user command on the file the manager
// resolves now.
#include <exception>

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QToolButton>

#include "engine/clock.h"
#include "platform/dialogs.h"
#include "platform/file_names.h"
#include "platform/launch.h"
#include "settings/uList.h"
#include "source/source.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"
#include "window/tail_print.h"
#include "window/user_command.h"

namespace {

const QString kUserCommandUndefined = QStringLiteral("User CMD not defined");
const QString kNeedsLocalFile = QStringLiteral("Needs a local file");
// Added to the hints of the buttons whose file commands are switched off.
const QString kLocalOnlyHint = QStringLiteral("\n(open, clear or delete the file: ") + kNeedsLocalFile + u')';

bool IsLocalFile(const QString& name) {
    return SourceKindOf(name).Traits().localFile;
}

// The folder part of a name ("" when it has none), as the shown text may be the prompt.
QString FolderOf(const QString& name) {
    const qsizetype slash = name.lastIndexOf(u'/');
    return slash < 0 ? QString() : name.left(slash + 1);
}

} // namespace

void TFormTail::ConnectFileCommands() {
    connect(ui_.SpeedButtonNotePad, &QToolButton::clicked, this, &TFormTail::OnNotepad);
    connect(ui_.ActionOpenwithNotePad, &QAction::triggered, this, &TFormTail::OnNotepad);
    connect(ui_.ActionOpenwithShell, &QAction::triggered, this, &TFormTail::OnOpenWithShell);
    connect(ui_.PopupMenuAction, &QMenu::aboutToShow, this, &TFormTail::OnUserCommandMenu);
    connect(ui_.ActionOpenwithUser, &QAction::triggered, this, &TFormTail::OnUserCommand);
    connect(ui_.Label1, &ClickableLabel::doubleClicked, this, &TFormTail::OpenFolderOfShownFile);
    connect(ui_.LabelFn, &ClickableLabel::doubleClicked, this, &TFormTail::OpenFolderOfShownFile);
    connect(ui_.SpeedButtonPrint, &QToolButton::clicked, this, &TFormTail::OnPrint);
}

void TFormTail::ApplyLocalFileCommands(const QString& name) {
    const bool local = IsLocalFile(name);
    if (local == localFileCommands_)
        return;
    localFileCommands_ = local;
    for (QAction* action : {ui_.ActionOpenwithNotePad, ui_.ActionOpenwithShell}) {
        action->setEnabled(local);
        action->setToolTip(local ? QString() : kNeedsLocalFile);
    }
    ui_.PopupMenuAction->setToolTipsVisible(!local);
    for (QWidget* button : std::initializer_list<QWidget*>{ui_.SpeedButtonNotePad, ui_.SpeedButtonClear}) {
        QString hint = button->toolTip();
        if (local)
            hint.chop(kLocalOnlyHint.size());
        else
            hint += kLocalOnlyHint;
        button->setToolTip(hint);
    }
}

void TFormTail::OnNotepad() {
    const QString name = ui_.LabelFn->text();
    if (IsLocalFile(name) && StatFile(name).isFile)
        RunCommand(QStringLiteral("notepad ") + name, false, false, 0);
}

void TFormTail::OnOpenWithShell() {
    const QString name = ui_.LabelFn->text();
    if (IsLocalFile(name) && StatFile(name).isFile)
        ShellRun(name, QString(), QString(), 0, 1, false);
}

void TFormTail::OpenFolderOfShownFile() {
    const QString folder = FolderOf(ui_.LabelFn->text());
    if (IsLocalFile(ui_.LabelFn->text()) && !folder.isEmpty() && StatFile(folder).isDir)
        ShellRun(folder, QString(), QString(), 0, 1, false);
}

void TFormTail::OnUserCommandMenu() {
    QAction* item = ui_.ActionOpenwithUser;
    const TTailFile* current = manager_->GetCurrentFile();
    const QString command = current ? current->GetUserCmd() : QString();
    if (command.trimmed().isEmpty()) {
        item->setText(kUserCommandUndefined);
        item->setEnabled(false);
        return;
    }
    item->setText(ExpandUserCommand(command, manager_->ResolveFileName()).caption);
    item->setEnabled(true);
}

void TFormTail::OnUserCommand() {
    const TTailFile* current = manager_->GetCurrentFile();
    if (!current)
        return;
    const QString command = current->GetUserCmd();
    const ExpandedUserCommand expanded = ExpandUserCommand(command, manager_->ResolveFileName());
    if (!expanded.ok) {
        services_.dialogs->ShowMessage(
            DialogService::Icon::Error,
            QStringLiteral("Cannot execute user command. Use one %s for the file name "
                           "(and %% for a percent sign): ") +
                command);
        return;
    }
    // The bound is on the user's own command: the file's name may be any the file system takes.
    if (command.trimmed().size() > kMaxCommandLineLength || !RunArguments(expanded.arguments))
        services_.dialogs->ShowMessage(DialogService::Icon::Error,
                                       QStringLiteral("Cannot execute user command. Check cmd pathname"));
}

void TFormTail::OnPrint() {
    try {
        ViewPrintout printout;
        printout.shownFile = ui_.LabelFn->text();
        printout.selection = SelectedViewText();
        printout.allLines = PlainViewText();
        printout.font = ui_.MemoTail->font();
        printout.now = services_.clock->Now();
        PrintView(*services_.dialogs, printout);
    } catch (const std::exception& error) {
        services_.dialogs->ShowMessage(DialogService::Icon::Error,
                                       QStringLiteral("TFormTail.SpeedButtonPrintClick : ") +
                                           QString::fromLocal8Bit(error.what()));
    }
}
