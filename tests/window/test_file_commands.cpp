// The commands on the shown file: the editor, the user command and the desktop's opener through
// stand-in programs first on the PATH, and printing to a PDF file read back with pdftotext.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include "recording_programs.h"
#include "settings/uList.h"
#include "support/journal_writer.h"
#include "support/ssh_test_server.h"
#include "util/date_time_text.h"
#include "widgets/tail_view.h"
#include "window/tail_controls.h"
#include "window_fixture.h"
#include "window_parts/wait_until.h"

namespace {

const QString kUndefined = QStringLiteral("User CMD not defined");

// Runs a poppler tool; its standard output. The test fails loudly when the tool is missing.
QString RunPoppler(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString() << " failed (poppler-utils is installed by scripts/setup): "
                      << process.errorString().toStdString() << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString Words(const QString& text) {
    return text.simplified();
}

class TailWindowFileCommands : public TailWindowTest {
protected:
    void SetUp() override {
        TailWindowTest::SetUp();
        programs_ = std::make_unique<RecordingPrograms>(TempPath(QStringLiteral("bin")));
        path_ =
            std::make_unique<ScopedEnv>("PATH", QFile::encodeName(programs_->Folder()) + ":/usr/bin:/bin");
    }
    void TearDown() override {
        TailWindowTest::TearDown();
        path_.reset();
    }
    // Opens the notepad button's menu as a right click does; the user-command item as it shows.
    QAction* UserCommandItem() {
        ReleaseOn(Ui().SpeedButtonNotePad, Qt::RightButton);
        EXPECT_TRUE(WaitUntil([&] { return Ui().PopupMenuAction->isVisible(); }));
        Ui().PopupMenuAction->close();
        return Ui().ActionOpenwithUser;
    }
    TTailFile* Define(const QString& pattern, const QString& command) {
        TTailFile* file = Window().Manager().List->AddFile(pattern, QString());
        file->SetUserCmd(command);
        Window().Manager().SetFileName(pattern);
        return file;
    }

    std::unique_ptr<RecordingPrograms> programs_;
    std::unique_ptr<ScopedEnv> path_;
};

TEST_F(TailWindowFileCommands, NotepadGetsTheShownFileAsOneArgumentAndOnlyWhenItExists) {
    programs_->Recorder(QStringLiteral("notepad"));
    MakeWindow();
    // The prompt names no file, and neither does a file that went away.
    ClickOn(Ui().SpeedButtonNotePad);
    const QString gone = WriteFile(QStringLiteral("gone.log"), "x\n");
    StartOn(gone);
    ClickStop();
    QFile::remove(gone);
    Ui().ActionOpenwithNotePad->trigger();

    const QString spaced = WriteFile(QStringLiteral("my app -c x.log"), "one\n");
    StartOn(spaced);
    ClickOn(Ui().SpeedButtonNotePad);
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("notepad"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("notepad")), QStringList{spaced});
    Ui().ActionOpenwithNotePad->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("notepad"), 2));
    EXPECT_EQ(programs_->Calls(QStringLiteral("notepad")), 2) << "the prompt or the missing file started it";
}

TEST_F(TailWindowFileCommands, UserCommandCaptionAndArgumentsFollowTheDefinition) {
    const QString user = programs_->Recorder(QStringLiteral("usercmd"));
    MakeWindow();
    const QString file = WriteFile(QStringLiteral("a b.log"), "one\n");
    StartOn(file);

    // No definition for the file: disabled, whatever the default definition holds.
    Window().Manager().List->DefFile->SetUserCmd(user + QStringLiteral(" %s"));
    QAction* item = UserCommandItem();
    EXPECT_EQ(item->text(), kUndefined);
    EXPECT_FALSE(item->isEnabled());

    TTailFile* defined = Define(file, user + QStringLiteral(" --file=%s \"100%%\""));
    item = UserCommandItem();
    EXPECT_EQ(item->text(), user + QStringLiteral(" --file=") + file + QStringLiteral(" \"100%\""));
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("usercmd"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("usercmd")), (QStringList{"--file=" + file, "100%"}));

    // Without "%s" the command is started unchanged; an empty own value inherits the default's.
    Window().Manager().List->DefFile->SetUserCmd(user + QStringLiteral(" plain"));
    defined->SetUserCmd(QString());
    UserCommandItem()->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("usercmd"), 2));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("usercmd")), QStringList{"plain"});
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'\n').toStdString();

    // Refused templates and a program that cannot be started: a message, nothing started.
    for (const QString& bad : {QStringLiteral(" %s %s"), QStringLiteral(" %d"), QStringLiteral(" 50% %s")}) {
        defined->SetUserCmd(user + bad);
        UserCommandItem()->trigger();
    }
    defined->SetUserCmd(TempPath(QStringLiteral("no such program")) + QStringLiteral(" %s"));
    UserCommandItem()->trigger();
    const QString refused =
        QStringLiteral("Cannot execute user command. Use one %s for the file name (and %% for a "
                       "percent sign): ") +
        user;
    EXPECT_EQ(dialogs_.Texts(), (QStringList{refused + " %s %s", refused + " %d", refused + " 50% %s",
                                             "Cannot execute user command. Check cmd pathname"}));
    EXPECT_EQ(programs_->Calls(QStringLiteral("usercmd")), 2);
}

// A wildcard: the editor opens the file the last pass showed, the user command the newest match now.
TEST_F(TailWindowFileCommands, WildcardCommandsUseTheShownOrTheNewestFile) {
    programs_->Recorder(QStringLiteral("notepad"));
    const QString user = programs_->Recorder(QStringLiteral("usercmd"));
    MakeWindow();
    const QString older = WriteFile(QStringLiteral("a.log"), "older\n");
    const QString pattern = TempPath(QStringLiteral("*.log"));
    StartOn(pattern);
    ASSERT_EQ(Ui().LabelFn->text(), older);
    ClickStop();
    Define(pattern, user + QStringLiteral(" %s"));
    const QString newer = WriteFile(QStringLiteral("b.log"), "newer\n");

    ClickOn(Ui().SpeedButtonNotePad);
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("notepad"), 1)) << Ui().LabelFn->text().toStdString();
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("notepad")), QStringList{older});
    ASSERT_EQ(UserCommandItem()->text(), user + u' ' + newer);
    UserCommandItem()->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("usercmd"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("usercmd")), QStringList{newer});
}

TEST_F(TailWindowFileCommands, FolderAndShellOpenOnlyWhatExists) {
    programs_->Recorder(QStringLiteral("xdg-open"));
    MakeWindow();
    // The prompt has no folder part: nothing opens (not the working folder).
    QTest::mouseDClick(Ui().LabelFn, Qt::LeftButton);
    Ui().ActionOpenwithShell->trigger();
    const QString file = WriteFile(QStringLiteral("shown.log"), "one\n");
    StartOn(file);
    const QString folder = QFileInfo(file).absolutePath() + u'/';
    QTest::mouseDClick(Ui().Label1, Qt::LeftButton);
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("xdg-open"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("xdg-open")), QStringList{folder});
    QTest::mouseDClick(Ui().LabelFn, Qt::LeftButton);
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("xdg-open"), 2));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("xdg-open")), QStringList{folder});
    Ui().ActionOpenwithShell->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("xdg-open"), 3));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("xdg-open")), QStringList{file});
    EXPECT_EQ(programs_->Calls(QStringLiteral("xdg-open")), 3) << "the prompt opened something";
}

// What needs a local file is off, with its hint, while a journal is shown; the user command gets
// the journal's name. A file shown again gets its commands back.
TEST_F(TailWindowFileCommands, AJournalKeepsTheUserCommandButNotTheLocalFileCommands) {
    programs_->Recorder(QStringLiteral("notepad"));
    const QString user = programs_->Recorder(QStringLiteral("usercmd"));
    MakeWindow();
    const QString folder = TempPath(QStringLiteral("journal"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QString error;
    ASSERT_TRUE(
        WriteJournal(folder + "/r.journal", JournalExport().Line(0, "sshd", "ssh.service", "hello"), &error))
        << error.toStdString();
    const QString journal = QStringLiteral("journal:") + folder;
    const QString notepadHint = Ui().SpeedButtonNotePad->toolTip();
    Define(journal, user + QStringLiteral(" %s"));
    StartOn(journal);
    EXPECT_FALSE(Ui().ActionOpenwithNotePad->isEnabled());
    EXPECT_FALSE(Ui().ActionOpenwithShell->isEnabled());
    EXPECT_EQ(Ui().ActionOpenwithShell->toolTip(), QStringLiteral("Needs a local file"));
    EXPECT_TRUE(Ui().SpeedButtonNotePad->toolTip().endsWith(QStringLiteral("Needs a local file)")));
    ClickOn(Ui().SpeedButtonNotePad);
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)})
        ClickOn(Ui().SpeedButtonClear, modifiers);
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'\n').toStdString();
    UserCommandItem()->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("usercmd"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("usercmd")), QStringList{journal});
    EXPECT_EQ(programs_->Calls(QStringLiteral("notepad")), 0);

    ClickStop();
    StartOn(WriteFile(QStringLiteral("local.log"), "one\n"));
    EXPECT_TRUE(Ui().ActionOpenwithNotePad->isEnabled());
    EXPECT_EQ(Ui().SpeedButtonNotePad->toolTip(), notepadHint);
}

TEST_F(TailWindowFileCommands, PrintsTheSelectionThenEverythingToPdf) {
    MakeWindow();
    const QString file =
        WriteFile(QStringLiteral("print me.log"), "alpha one\nbravo two\ncharlie three\ndelta four\n");
    StartOn(file);
    const QString pdf = TempPath(QStringLiteral("out.pdf"));
    std::vector<bool> offered;
    dialogs_.SetPrintAnswer([&](QPrinter& printer, bool selectionOffered, bool* selectionOnly) {
        offered.push_back(selectionOffered);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        *selectionOnly = selectionOffered;
        return true;
    });
    const QString header = QStringLiteral("KOVRA printout (filename=") + file + QStringLiteral(", date=") +
                           LongDateLongTimeText(clock_.now) + QStringLiteral(", selection=");

    ASSERT_TRUE(SelectInView(QStringLiteral("bravo two\r\ncharlie three\r\n")));
    ClickOn(Ui().SpeedButtonPrint);
    const QString first =
        RunPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_EQ(Words(first), Words(header + QStringLiteral("Oui) bravo two charlie three")))
        << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("selection=Oui)\n\n\nbravo two\ncharlie three\n")))
        << "two empty lines after the first: " << first.toStdString();
    const QString info = RunPoppler(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("^Title: +KOVRA ") + QRegularExpression::escape(file) + u'$',
                           QRegularExpression::MultilineOption)))
        << info.toStdString();

    QFile::remove(pdf);
    Ui().MemoTail->ClearSelection();
    ClickOn(Ui().SpeedButtonPrint);
    const QString second =
        RunPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_EQ(Words(second),
              Words(header + QStringLiteral("Non) alpha one bravo two charlie three delta four")))
        << second.toStdString();
    EXPECT_EQ(offered, (std::vector<bool>{true, false}));

    // Cancelled: nothing printed.
    QFile::remove(pdf);
    dialogs_.SetPrintAnswer([](QPrinter&, bool, bool*) { return false; });
    ClickOn(Ui().SpeedButtonPrint);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'\n').toStdString();
}

} // namespace

namespace {

// A file on a real SSH server: the unknown server and the key's passphrase are asked through the
// window's dialogs (from the pass's thread); the user command gets the ssh:// name, the editor is
// off.
TEST_F(TailWindowFileCommands, ARemoteFileAsksAboutItsServerThroughTheDialogs) {
    SshTestServer server;
    ASSERT_TRUE(server.UseAuthorizedKey(QStringLiteral("key words")));
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    QFile log(server.Files() + QStringLiteral("/remote.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly) && log.write("remote line\n") == 12);
    log.close();
    const QString remote = server.Url(log.fileName());
    const QString user = programs_->Recorder(QStringLiteral("usercmd"));
    MakeWindow();
    dialogs_.QueueAnswer(true);
    dialogs_.QueueSecret(QStringLiteral("key words"));
    Define(remote, user + QStringLiteral(" %s"));
    StartOn(remote);
    ASSERT_TRUE(WaitUntil([&] { return ViewPlain() == QStringLiteral("remote line"); }, 60000))
        << Ui().RzStatusPaneINFO->text().toStdString();
    ASSERT_EQ(dialogs_.AllShown().size(), 2u);
    EXPECT_TRUE(dialogs_.AllShown()[0].text.contains(server.HostKeyFingerprint()));
    EXPECT_EQ(
        dialogs_.AllShown()[1].text,
        QStringLiteral("Passphrase of key 1 for %1@127.0.0.1:%2:").arg(server.UserName()).arg(server.Port()));
    QFile known(server.KnownHosts());
    ASSERT_TRUE(known.open(QIODevice::ReadOnly));
    EXPECT_TRUE(known.readAll().contains(QStringLiteral("[127.0.0.1]:%1 ").arg(server.Port()).toUtf8()));

    EXPECT_FALSE(Ui().ActionOpenwithNotePad->isEnabled());
    UserCommandItem()->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("usercmd"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("usercmd")), QStringList{remote});
    ClickStop();
}

} // namespace
