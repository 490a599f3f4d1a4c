#include "manage/fTailTree.h"
#include "platform/file_names.h"
#include "platform/launch.h"
#include "platform/text_editor.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "support/remove_tree.h"
#include "support/scoped_env.h"
#include "url_catcher.h"
#include "wait_until.h"

#include <csignal>
#include <sys/wait.h>

namespace {

class Launch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(Bin()));
    }
    void TearDown() override { RemoveTreeByBytes(m_dir.path()); }
    QString Bin() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // A program that records its arguments (NUL-separated) and its working folder into
    // <name>.args / <name>.pwd, each file appearing whole.
    QString WriteRecorder(const QString& name) {
        return WriteScript(name, QStringLiteral("printf '%s\\0' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1.args'\n"
                                                "pwd > '%1.pwdtmp' && mv '%1.pwdtmp' '%1.pwd'\n")
                                     .arg(Path(name)));
    }
    QString WriteScript(const QString& name, const QString& body) {
        const QString path = QDir(Bin()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body.toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    // Bytes that are not UTF-8 read as file_names.h reads names: equal names, equal bytes.
    QStringList Recorded(const QString& name) const {
        QFile file(Path(name + QStringLiteral(".args")));
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("<nothing recorded>")};
        QStringList args;
        for (const QByteArray& arg : file.readAll().split('\0'))
            args << DecodeFileName(arg);
        args.removeLast(); // after the last NUL
        return args;
    }
    QString RecordedFolder(const QString& name) const {
        QFile file(Path(name + QStringLiteral(".pwd")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    bool WasRecorded(const QString& name) const {
        return QFileInfo::exists(Path(name + QStringLiteral(".args")));
    }

    QTemporaryDir m_dir;
};

TEST_F(Launch, RunCommandRefusesWhatItCannotStart) {
    const QString exact = QStringLiteral("true ") + QString(kMaxCommandLineLength - 5, u'x');
    ASSERT_EQ(exact.size(), kMaxCommandLineLength);
    EXPECT_TRUE(RunCommand(exact, true, true, 0));
    EXPECT_TRUE(RunCommand(QStringLiteral("   ") + exact + QStringLiteral("  "), true, true, 0))
        << "trimmed first";
    EXPECT_FALSE(RunCommand(exact + u'x', true, true, 0));
    EXPECT_FALSE(RunCommand(exact + u'x', false, false, 0));
    EXPECT_FALSE(RunCommand(QString(), false, false, 0));
    EXPECT_FALSE(RunCommand(QStringLiteral("   "), true, true, 0));
    EXPECT_FALSE(RunCommand(QStringLiteral("kovra-no-such-program-here"), false, false, 0));
    EXPECT_FALSE(RunCommand(QStringLiteral("kovra-no-such-program-here"), true, false, 10));
    EXPECT_FALSE(RunCommand(QStringLiteral("kovra-no-such-program-here"), true, true, 0));
}

TEST_F(Launch, RunCommandWithWaitReturnsAfterTheProgramEnded) {
    for (const bool withoutLimit : {true, false}) {
        const QString marker = Path(withoutLimit ? QStringLiteral("blocking") : QStringLiteral("polling"));
        qint64 pid = 0;
        EXPECT_TRUE(RunCommand(QStringLiteral("sh -c \"sleep 0.3; touch $0\" ") + marker, true, withoutLimit,
                               20, &pid));
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(QFileInfo::exists(marker)) << "withoutLimit=" << withoutLimit;
    }
}

TEST_F(Launch, RunCommandWithoutWaitReturnsAtOnce) {
    const QString marker = Path(QStringLiteral("later"));
    qint64 pid = 0;
    ASSERT_TRUE(RunCommand(QStringLiteral("sh -c \"sleep 1; touch $0\" ") + marker, false, false, 0, &pid));
    EXPECT_GT(pid, 0);
    EXPECT_FALSE(QFileInfo::exists(marker)) << "returned only after the program ended";
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(marker); }));
}

TEST_F(Launch, ClosingProgramEndsAPollingWaitAndLeavesTheProgramRunning) {
    QTimer::singleShot(100, [] { SetProgramClosing(true); });
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 pid = 0;
    const bool started = RunCommand(QStringLiteral("sleep 60"), true, false, 10, &pid);
    SetProgramClosing(false);
    ASSERT_TRUE(started);
    ASSERT_GT(pid, 0);
    EXPECT_LT(elapsed.elapsed(), 30000);
    EXPECT_EQ(::kill(static_cast<pid_t>(pid), 0), 0) << "the program goes on";
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    int status = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), &status, 0), static_cast<pid_t>(pid));
}

TEST_F(Launch, CommandLinesNeverGoThroughAShell) {
    const QString victim = Path(QStringLiteral("injected"));
    const QString attempts[] = {
        QStringLiteral("echo hello; touch ") + victim,  QStringLiteral("echo hello && touch ") + victim,
        QStringLiteral("echo hello | touch ") + victim, QStringLiteral("echo $(touch ") + victim + u')',
        QStringLiteral("echo `touch ") + victim + u'`', QStringLiteral("echo \"; touch ") + victim + u'"',
    };
    for (const QString& line : attempts) {
        EXPECT_TRUE(RunCommand(line, true, true, 0)) << line.toStdString();
        EXPECT_FALSE(QFileInfo::exists(victim)) << line.toStdString();
    }
    // Double quotes group words; nothing else is interpreted (single quotes are plain characters).
    const QString recorder = WriteRecorder(QStringLiteral("rec"));
    EXPECT_TRUE(RunCommand(recorder + QStringLiteral(" \"a b\" \"c; d\" $HOME 'e'"), true, false, 5));
    EXPECT_EQ(Recorded(QStringLiteral("rec")), (QStringList{"a b", "c; d", "$HOME", "'e'"}));
}

// "notepad " + name: everything after the first blank is the file, one argument, whatever it holds.
TEST_F(Launch, NotepadOnThePathGetsTheRestOfTheLineAsOneArgument) {
    WriteRecorder(QStringLiteral("notepad"));
    const ScopedEnv path("PATH", QFile::encodeName(Bin()) + ":/usr/bin:/bin");
    struct Case {
        QString line;
        QStringList args;
    };
    const QString spaced = Path(QStringLiteral("my log.txt"));
    const QString long4000 = QStringLiteral("/") + QString(3999, u'n'); // longer than a command line
    ASSERT_GT(QStringLiteral("notepad ").size() + long4000.size(), kMaxCommandLineLength - 100);
    const Case cases[] = {
        {"notepad " + spaced, {spaced}},
        {"notepad x --new-window -c y.log", {"x --new-window -c y.log"}},
        {"notepad \"\"quoted\"\".log", {"\"\"quoted\"\".log"}},
        {"NOTEPAD.EXE  two  blanks.log ", {" two  blanks.log "}},
        {"notepad -c y.log", {"./-c y.log"}},
        {"notepad " + long4000, {long4000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_TRUE(RunCommand(c.line, true, false, 5));
        EXPECT_EQ(Recorded(QStringLiteral("notepad")), c.args);
    }
    EXPECT_FALSE(RunCommand(QStringLiteral("notepad"), true, false, 5)) << "no file named";
}

// The tree's launch of a tail window: its command line, split as RunCommand splits it, gives the
// new window every name exactly (blanks, quotes, bytes that are not UTF-8, a length past any
// command-line bound), and a name the window would read as a switch through "./" or "/./".
TEST_F(Launch, TreeLaunchGivesTheNewWindowEveryNameExactly) {
    const QString program = WriteRecorder(QStringLiteral("kovra \"launched\""));
    const QString dir = m_dir.path();
    const QString odd = DecodeFileName(QFile::encodeName(dir) + "/r\xe9sum\xe9 \xff.log");
    const QString longPath = dir + u'/' + QString(4000 - dir.size(), u'l');
    struct Case {
        QString path;
        QString given;
    };
    const Case cases[] = {
        {dir + "/my \"quoted\" log.txt", dir + "/my \"quoted\" log.txt"},
        {"\"lead and trail\"", "\"lead and trail\""},
        {dir + "/two\"\"\"quotes", dir + "/two\"\"\"quotes"},
        {odd, odd},
        {longPath, longPath},
        {"-rf.log", "./-rf.log"},
        {"/start", "/./start"},
        {"/MINIMIZED", "/./MINIMIZED"},
        {"/f=x/app.log", "/./f=x/app.log"},
        {"#", "./#"},
        {"/startup.log", "/startup.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        for (const bool start : {true, false}) {
            QFile::remove(Path(QStringLiteral("kovra \"launched\".args")));
            RunCommandLauncher()(TFormFileTree::LaunchCommandLine(program, c.path, start));
            ASSERT_TRUE(WaitUntil([&] { return WasRecorded(QStringLiteral("kovra \"launched\"")); }));
            QStringList expected{c.given, QStringLiteral("/minimized")};
            if (start)
                expected << QStringLiteral("/start");
            EXPECT_EQ(Recorded(QStringLiteral("kovra \"launched\"")), expected);
        }
    }
}

TEST_F(Launch, DesktopEntryExecLinesTakeTheFileAsOneArgument) {
    const QString file = QStringLiteral("/tmp/a b \"c\".log");
    struct Case {
        const char* exec;
        QStringList args;
    };
    const Case cases[] = {
        {"gedit %U", {"gedit", file}},
        {"\"/opt/my editor/ed\" --file=%f --new", {"/opt/my editor/ed", "--file=" + file, "--new"}},
        {"ed --icon %i %c %k 100%% -x", {"ed", "--icon", "100%", "-x", file}},
        {"ed \"say \\\"hi\\\" \\$HOME\"  %F", {"ed", "say \"hi\" $HOME", file}},
        {"   ", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DesktopExecArguments(QString::fromUtf8(c.exec), file), c.args) << c.exec;
}

// Without a notepad: the desktop's default application for text/plain, else xdg-open, else the
// desktop services; never the application the file's extension maps to.
TEST_F(Launch, WithoutNotepadTheDefaultTextEditorOpensTheFile) {
    const QString applications = Path(QStringLiteral("data/applications"));
    ASSERT_TRUE(QDir().mkpath(applications));
    const ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("data"))));
    const ScopedEnv dataDirs("XDG_DATA_DIRS", QFile::encodeName(Path(QStringLiteral("none"))));
    const QString editor = WriteRecorder(QStringLiteral("editor"));
    QFile entry(QDir(applications).filePath(QStringLiteral("kovra-test-editor.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Test editor\nExec=\"" + QFile::encodeName(editor) +
                "\" --new-window %F\n\n[Desktop Action other]\nExec=false %F\n");
    entry.close();
    const QString mime = WriteScript(
        QStringLiteral("xdg-mime"),
        QStringLiteral("[ \"$*\" = 'query default text/plain' ] && echo kovra-test-editor.desktop\n"));
    const QString name = Path(QStringLiteral("my  log.html"));
    const ScopedEnv path("PATH", QFile::encodeName(Bin()) + ":/usr/bin:/bin");
    ASSERT_TRUE(QStandardPaths::findExecutable(QStringLiteral("notepad")).isEmpty())
        << "this machine has a notepad program; the test needs a PATH without one";

    qint64 pid = -1;
    EXPECT_TRUE(RunCommand(QStringLiteral("notepad ") + name, false, false, 0, &pid));
    EXPECT_EQ(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return WasRecorded(QStringLiteral("editor")); }));
    EXPECT_EQ(Recorded(QStringLiteral("editor")), (QStringList{"--new-window", name}));

    // No default application: xdg-open.
    WriteScript(QStringLiteral("xdg-mime"), QStringLiteral("exit 4\n"));
    WriteRecorder(QStringLiteral("xdg-open"));
    EXPECT_TRUE(RunCommand(QStringLiteral("notepad ") + name, false, false, 0));
    ASSERT_TRUE(WaitUntil([&] { return WasRecorded(QStringLiteral("xdg-open")); }));
    EXPECT_EQ(Recorded(QStringLiteral("xdg-open")), QStringList{name});

    // Neither program: the desktop services.
    QFile::remove(mime);
    QFile::remove(QDir(Bin()).filePath(QStringLiteral("xdg-open")));
    const ScopedEnv binOnly("PATH", QFile::encodeName(Bin()));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    EXPECT_TRUE(RunCommand(QStringLiteral("notepad ") + name, true, true, 0));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(name)});
}

// The console answer, run for real through a stand-in terminal, ping and shell: the terminal
// runs what follows -e, and the shell that keeps the console open records that it started.
TEST_F(Launch, ShellRunGivesPingAndTraceRouteAConsoleThatStaysOpen) {
    const QString terminal = WriteScript(QStringLiteral("term"), QStringLiteral("[ \"$1\" = -e ] || exit 3\n"
                                                                                "shift\nexec \"$@\"\n"));
    WriteRecorder(QStringLiteral("ping"));
    WriteRecorder(QStringLiteral("traceroute"));
    const QString shell = WriteRecorder(QStringLiteral("console"));
    const ScopedEnv termEnv("TERMINAL", QFile::encodeName(terminal));
    const ScopedEnv shellEnv("SHELL", QFile::encodeName(shell));
    const ScopedEnv path("PATH", QFile::encodeName(Bin()) + ":/usr/bin:/bin");
    const QString victim = Path(QStringLiteral("injected"));

    struct Case {
        QString file;
        QString parameters;
        QString program;
        QStringList args;
    };
    const Case cases[] = {
        {"cmd.exe", "/K ping.exe 10.1.2.3", "ping", {"-c", "4", "10.1.2.3"}},
        {"command.exe", "/K tracert.exe host.example", "traceroute", {"host.example"}},
        {"CMD.EXE", "/k PING.EXE 10.1.2.3 ", "ping", {"-c", "4", "10.1.2.3"}},
        {"cmd.exe", "/K ping.exe 1.2.3.4; touch " + victim, "ping", {"-c", "4", "1.2.3.4; touch " + victim}},
        {"cmd.exe", "/K ping.exe $(touch " + victim + ")", "ping", {"-c", "4", "$(touch " + victim + ")"}},
        {"cmd.exe", "/K ping.exe ", "ping", {"-c", "4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.file + u' ' + c.parameters).toStdString());
        QFile::remove(Path(c.program + QStringLiteral(".args")));
        QFile::remove(Path(QStringLiteral("console.args")));
        EXPECT_TRUE(ShellRun(c.file, c.parameters, QString(), 0, 1, false));
        EXPECT_TRUE(WaitUntil([&] { return WasRecorded(c.program); }));
        EXPECT_EQ(Recorded(c.program), c.args);
        EXPECT_TRUE(WaitUntil([&] { return WasRecorded(QStringLiteral("console")); }));
        EXPECT_FALSE(QFileInfo::exists(victim));
    }

    EXPECT_FALSE(ShellRun(QStringLiteral("cmd.exe"), QStringLiteral("/K dir"), QString(), 0, 1, false));
    EXPECT_FALSE(ShellRun(QStringLiteral("cmd.exe"), QStringLiteral("/K ping.exe -f 10.1.2.3"), QString(), 0,
                          1, false))
        << "a target that ping would read as an option";
    const ScopedEnv noTerminal("TERMINAL", "");
    const ScopedEnv binOnly("PATH", QFile::encodeName(Bin()));
    EXPECT_FALSE(
        ShellRun(QStringLiteral("cmd.exe"), QStringLiteral("/K ping.exe 10.1.2.3"), QString(), 0, 1, false))
        << "no x-terminal-emulator on this PATH";
}

TEST_F(Launch, ShellRunWithoutParametersAsksTheDesktop) {
    const ScopedEnv path("PATH", QFile::encodeName(Bin())); // no xdg-open: Qt's desktop services
    UrlCatcher files;
    UrlCatcher web;
    UrlCatcher mail;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &web, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "Open");
    QFile(Path(QStringLiteral("rel.log"))).open(QIODevice::WriteOnly);
    QFile(Path(QStringLiteral("ab:c.log"))).open(QIODevice::WriteOnly);

    EXPECT_TRUE(ShellRun(QStringLiteral("http://example.org/a?b=c"), QString(), QString(), 0, 1, false));
    EXPECT_TRUE(ShellRun(QStringLiteral("mailto:someone@example.org"), QString(), QString(), 0, 1, false));
    EXPECT_TRUE(ShellRun(Path(QStringLiteral("some file.log")), QStringLiteral("  "), QString(), 0, 1, true));
    EXPECT_TRUE(ShellRun(QStringLiteral("rel.log"), QString(), m_dir.path(), 0, 1, false));
    EXPECT_TRUE(ShellRun(QStringLiteral("ab:c.log"), QString(), m_dir.path(), 0, 1, false))
        << "a file, not a scheme";
    EXPECT_TRUE(ShellRun(m_dir.path(), QString(), QString(), 0, 1, false)) << "a folder";
    EXPECT_FALSE(ShellRun(QStringLiteral("  "), QString(), QString(), 0, 1, false));
    for (const char* scheme : {"file", "http", "mailto"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));

    EXPECT_EQ(web.urls, QList<QUrl>{QUrl(QStringLiteral("http://example.org/a?b=c"))});
    EXPECT_EQ(mail.urls, QList<QUrl>{QUrl(QStringLiteral("mailto:someone@example.org"))});
    EXPECT_EQ(files.urls, (QList<QUrl>{QUrl::fromLocalFile(Path(QStringLiteral("some file.log"))),
                                       QUrl::fromLocalFile(Path(QStringLiteral("rel.log"))),
                                       QUrl::fromLocalFile(Path(QStringLiteral("ab:c.log"))),
                                       QUrl::fromLocalFile(m_dir.path())}));
}

TEST_F(Launch, ShellRunStartsOtherProgramsWithParametersInTheirFolder) {
    const QString recorder = WriteRecorder(QStringLiteral("rec"));
    const QString folder = Path(QStringLiteral("work place"));
    ASSERT_TRUE(QDir().mkpath(folder));

    EXPECT_TRUE(ShellRun(recorder, QStringLiteral("\"a b\" c"), folder, 5, 1, true));
    EXPECT_EQ(Recorded(QStringLiteral("rec")), (QStringList{"a b", "c"})) << "waited for the end";
    EXPECT_EQ(RecordedFolder(QStringLiteral("rec")), folder);

    QFile::remove(Path(QStringLiteral("rec.args")));
    EXPECT_TRUE(ShellRun(recorder, QStringLiteral("x"), folder, 0, 1, false));
    EXPECT_TRUE(WaitUntil([&] { return Recorded(QStringLiteral("rec")) == QStringList{"x"}; }));

    for (const bool wait : {true, false}) {
        EXPECT_FALSE(
            ShellRun(recorder, QStringLiteral("x"), Path(QStringLiteral("no such folder")), 0, 1, wait));
        EXPECT_FALSE(
            ShellRun(Path(QStringLiteral("no-such-program")), QStringLiteral("x"), QString(), 0, 1, wait));
    }
}

} // namespace
