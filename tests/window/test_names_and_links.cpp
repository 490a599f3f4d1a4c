// What the window hands to other programs: selections opened as URLs through a recording
// xdg-open, and a shown file whose name holds blanks, quotes, a leading "-" and bytes that are not
// UTF-8, given to the editor, the desktop, the user command and the file system as its real bytes.
#include <functional>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_names.h"
#include "recording_programs.h"
#include "settings/uList.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

class TailWindowNamesAndLinks : public TailWindowTest {
protected:
    void SetUp() override {
        TailWindowTest::SetUp();
        programs_ = std::make_unique<RecordingPrograms>(TempPath(QStringLiteral("bin")));
        programs_->Recorder(QStringLiteral("xdg-open"));
        path_ =
            std::make_unique<ScopedEnv>("PATH", QFile::encodeName(programs_->Folder()) + ":/usr/bin:/bin");
    }
    void TearDown() override {
        TailWindowTest::TearDown();
        path_.reset();
    }
    // What xdg-open received for the call that act makes; "<nothing>" when no call came.
    QString Opened(const std::function<void()>& act) {
        const int calls = programs_->Calls(QStringLiteral("xdg-open")) + 1;
        act();
        if (!programs_->WaitCalls(QStringLiteral("xdg-open"), calls))
            return QStringLiteral("<nothing>");
        const QStringList args = programs_->LastArguments(QStringLiteral("xdg-open"));
        return args.size() == 1 ? args.first() : args.join(QStringLiteral(" | "));
    }
    std::unique_ptr<RecordingPrograms> programs_;
    std::unique_ptr<ScopedEnv> path_;
};

TEST_F(TailWindowNamesAndLinks, OpenUrlAndSendAMailGiveTheDesktopAUrlNeverALocalFile) {
    MakeWindow();
    Window().Manager().List->DefFile->SetKillspace(false);
    Window().Manager().List->DefFile->SetKillline(false);
    StartOn(WriteFile(QStringLiteral("links.log"), "mail   user@example.invalid   here\n"
                                                   "     \n"
                                                   "http://example.invalid/a b\n"
                                                   "https://secure.invalid/x?q=1\n"
                                                   "ftp://files.invalid/pub\n"
                                                   "file:///var/log/syslog\n"
                                                   "bare.invalid\n"
                                                   "HTTP://caps.invalid/a\n"
                                                   "odd.invalid/{a|b}%zz\n"
                                                   "John Doe <jd@x.invalid>\n"
                                                   "jd@x.invalid?subject=Disk full\n"
                                                   "see http://mid.invalid\n"));
    struct Case {
        const char* selection;
        QAction* action;
        const char* opened;
    };
    const Case cases[] = {
        {"   user@example.invalid   ", Ui().Sendamail1, "mailto:user@example.invalid"},
        {"http://example.invalid/a b", Ui().OpenURL1, "http://example.invalid/a%20b"},
        {"https://secure.invalid/x?q=1", Ui().OpenURL1, "https://secure.invalid/x?q=1"},
        {"ftp://files.invalid/pub", Ui().OpenURL1, "ftp://files.invalid/pub"},
        {"file:///var/log/syslog", Ui().OpenURL1, "file:///var/log/syslog"},
        {"bare.invalid", Ui().OpenURL1, "http://bare.invalid"},
        {"HTTP://caps.invalid/a", Ui().OpenURL1, "http://caps.invalid/a"},
        {"odd.invalid/{a|b}%zz", Ui().OpenURL1, "http://odd.invalid/%7Ba%7Cb%7D%25zz"},
        {"John Doe <jd@x.invalid>", Ui().Sendamail1, "mailto:John%20Doe%20%3Cjd@x.invalid%3E"},
        {"jd@x.invalid?subject=Disk full", Ui().Sendamail1, "mailto:jd@x.invalid?subject=Disk%20full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection);
        ASSERT_TRUE(SelectInView(QString::fromLatin1(c.selection)));
        EXPECT_EQ(Opened([&] { c.action->trigger(); }), QString::fromLatin1(c.opened));
    }
    // Blanks only: nothing. "http://" inside a text that is no URL: nothing either, and surely no
    // file named after it.
    EXPECT_EQ(Opened([&] {
                  ASSERT_TRUE(SelectInView(QStringLiteral("     ")));
                  Ui().OpenURL1->trigger();
                  Ui().Sendamail1->trigger();
                  ASSERT_TRUE(SelectInView(QStringLiteral("see http://mid.invalid")));
                  Ui().OpenURL1->trigger();
                  ASSERT_TRUE(SelectInView(QStringLiteral("bare.invalid")));
                  Ui().OpenURL1->trigger();
              }),
              QStringLiteral("http://bare.invalid"))
        << "a call before opened something";
    EXPECT_TRUE(programs_->WaitCalls(QStringLiteral("xdg-open"), int(std::size(cases)) + 1));
    EXPECT_EQ(programs_->Calls(QStringLiteral("xdg-open")), int(std::size(cases)) + 1);
}

TEST_F(TailWindowNamesAndLinks, EveryCommandOnTheShownFileUsesItsRealBytes) {
    const QString user = programs_->Recorder(QStringLiteral("user cmd"));
    programs_->Recorder(QStringLiteral("notepad"));
    // A folder and a file whose names are not UTF-8; the file's also holds quotes, blanks and a
    // leading "-".
    const QByteArray folder = QFile::encodeName(TempPath(QStringLiteral("d"))) + "\xfcr";
    const QByteArray raw = folder + "/-r\xe9sum\xe9 \"q\" 'x' a.log";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "one\ntwo\n", 8), 8);
    ::close(fd);
    const QString name = DecodeFileName(raw);
    ASSERT_NE(QFile::encodeName(name), raw) << "Qt's own encoding would lose the bytes";
    const auto size = [&raw] {
        struct stat status {};
        return ::stat(raw.constData(), &status) == 0 ? qint64(status.st_size) : qint64(-1);
    };

    MakeWindow();
    TTailFile* entry = Window().Manager().List->AddFile(name, QString());
    entry->SetUserCmd(QStringLiteral("\"") + user + QStringLiteral("\" --file=%s"));
    StartOn(name);
    ASSERT_EQ(ViewPlain(), QStringLiteral("one\ntwo"));
    ASSERT_EQ(Ui().LabelFn->text(), name);

    ClickOn(Ui().SpeedButtonNotePad);
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("notepad"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("notepad")), QStringList{name});
    EXPECT_EQ(Opened([&] { Ui().ActionOpenwithShell->trigger(); }), name);
    EXPECT_EQ(Opened([&] { QTest::mouseDClick(Ui().LabelFn, Qt::LeftButton); }),
              DecodeFileName(folder) + u'/');
    ReleaseOn(Ui().SpeedButtonNotePad, Qt::RightButton);
    ASSERT_TRUE(Ui().ActionOpenwithUser->isEnabled()) << Ui().ActionOpenwithUser->text().toStdString();
    Ui().PopupMenuAction->close();
    Ui().ActionOpenwithUser->trigger();
    ASSERT_TRUE(programs_->WaitCalls(QStringLiteral("user cmd"), 1));
    EXPECT_EQ(programs_->LastArguments(QStringLiteral("user cmd")), QStringList{"--file=" + name});

    ClickStop();
    dialogs_.QueueAnswer(true);
    ClickOn(Ui().SpeedButtonClear, Qt::ControlModifier);
    EXPECT_EQ(size(), 0) << "truncated";
    dialogs_.QueueAnswer(true);
    ClickOn(Ui().SpeedButtonClear, Qt::ShiftModifier);
    EXPECT_EQ(size(), -1) << "deleted";
    EXPECT_EQ(dialogs_.Texts().size(), 2) << dialogs_.Texts().join(u'\n').toStdString();
}

} // namespace
