// The real program's command line: each row starts a process and asks its window what it made of
// the arguments. The rows run side by side, each with settings of its own.
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "kovra_process.h"
#include "manage/fTailTree.h"
#include "platform/file_names.h"
#include "window_parts/wait_until.h"

namespace {

struct Row {
    const char* name;
    QStringList arguments;
    WindowDescription expected;
};

class ProgramCommandLine : public ProgramTest {};

TEST_F(ProgramCommandLine, SwitchesPatternsAndFileNames) {
    const QString log = WriteFile(QStringLiteral("app.log"), "first\nsecond\n");
    const std::vector<Row> rows = {
        {"/START starts", {"/START", log}, {{"status", "started"}, {"filename", log}, {"filter", "0"}}},
        {"/Minimized: minimised at the first activation",
         {"/Minimized", "min.log"},
         {{"status", "stopped"}, {"filename", "min.log"}, {"minimized", "1"}}},
        {"/F=Error keeps the pattern's case",
         {"/F=Error"},
         {{"status", "stopped"}, {"filter", "1"}, {"filterpattern", "Error"}, {"alert", "0"}}},
        {"/f= checks the filter with an empty pattern", {"/f="}, {{"filter", "1"}, {"filterpattern", ""}}},
        {"/f=abc /f=def", {"/f=abc", "/f=def"}, {{"filter", "1"}, {"filterpattern", "abcdef"}}},
        {"/f=\"a b\" as one argument", {"/f=\"a b\""}, {{"filter", "1"}, {"filterpattern", "a b"}}},
        {"/f=a b as one argument", {"/f=a b"}, {{"filter", "1"}, {"filterpattern", "a b"}}},
        {"/a=Disk", {"/a=Disk", "x.log"}, {{"alert", "1"}, {"alertpattern", "Disk"}, {"filter", "0"}}},
        {"# then app.log", {"#", "app.log"}, {{"filename", "app.log"}}},
        {"two plain names take the first", {"one.log", "two.log"}, {{"filename", "one.log"}}},
    };
    std::vector<KovraProcess*> processes;
    for (std::size_t i = 0; i < rows.size(); ++i)
        processes.push_back(&Start(rows[i].arguments, QStringLiteral("config%1").arg(i)));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        KovraProcess& process = *processes[i];
        if (!process.WaitUp())
            continue;
        EXPECT_TRUE(process.WaitDescribed(rows[i].expected))
            << "expected " << Show(rows[i].expected) << "\nseen " << process.LastDescription();
    }
}

TEST_F(ProgramCommandLine, AFileNameThatIsNoUtf8IsFollowed) {
    const QByteArray raw = QFile::encodeName(Path(QStringLiteral("r"))) + "\xe9sum\xe9.log";
    QFile file(QFile::decodeName(raw)); // Qt cannot name it: written through the shell below
    ASSERT_FALSE(file.exists());
    // QProcess would pass the argument as UTF-8; the shell passes the bytes, Latin-1 here.
    KovraProcess& process = StartCommand(QStringLiteral("/bin/sh"),
                                         {QStringLiteral("-c"),
                                          QStringLiteral("f=$(printf '%s\\351sum\\351.log' \"$1\") && echo "
                                                         "only line > \"$f\" && exec \"$0\" /start \"$f\""),
                                          Program(), Path(QStringLiteral("r"))});
    ASSERT_TRUE(process.WaitUp());
    EXPECT_TRUE(process.WaitDescribed(
        {{"status", "started"}, {"filename", DecodeFileName(raw)}, {"view", QStringLiteral("only line")}}))
        << process.LastDescription();
}

// A window the file tree launches for a name holding Latin-1 bytes, quotes and blanks follows that
// very file.
TEST_F(ProgramCommandLine, AWindowLaunchedFromTheTreeFollowsTheNameGiven) {
    const QByteArray raw = QFile::encodeName(Path(QStringLiteral("r"))) + "\xe9sum\xe9 \"1\".log";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "only line\n", 10), 10);
    ::close(fd);
    const QString name = DecodeFileName(raw);
    // The launched process inherits these, as the real program's children do.
    const ScopedEnv config("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("launched"))));
    const ScopedEnv display("QT_QPA_PLATFORM", "xcb");
    const ScopedEnv asan("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0:strict_string_checks=0");
    RunCommandLauncher()(TFormFileTree::LaunchCommandLine(Program(), name, true));

    qint32 handle = 0;
    WindowDescription described;
    const bool followed = WaitUntil(
        [&] {
            const auto windows = CollectSiblingWindows();
            handle = windows->Count() > 0 ? windows->Objects(0)->Value : 0;
            described = handle ? DescribeWindow(handle) : WindowDescription();
            return described.value(QStringLiteral("view")) == QStringLiteral("only line");
        },
        60000);
    if (handle > 0) {
        ::kill(handle, SIGTERM); // the first channel's handle is the process id
        EXPECT_TRUE(WaitUntil([&] { return ::kill(handle, 0) != 0; }, 30000)) << "the window did not end";
    }
    ASSERT_TRUE(followed) << Show(described);
    EXPECT_EQ(described.value(QStringLiteral("filename")), name);
    EXPECT_EQ(described.value(QStringLiteral("status")), QStringLiteral("started"));
}

} // namespace
