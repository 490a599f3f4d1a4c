// The real program's command line: each row starts a process and asks its window what it made of
// the arguments. The rows run side by side, each with settings of its own.
#include <QFile>
#include <QFileInfo>

#include "kovra_process.h"
#include "platform/file_names.h"

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
        {"a name starting with -- as ./--x", {"./--x"}, {{"filename", "./--x"}}},
        {"a name starting with -- after --",
         {"--", "--x", "/start"},
         {{"filename", "--x"}, {"status", "stopped"}}},
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

} // namespace
