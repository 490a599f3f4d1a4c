#include "window/command_line.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* name;
    QStringList args; // without the program path
    bool start = false;
    bool minimized = false;
    bool recycle = false;
    const char* filter = nullptr; // nullptr: the box stays unchecked
    const char* alert = nullptr;
    const char* fileName = nullptr; // nullptr: no file name given
};

TEST(CommandLine, ParsesSwitchesPatternsAndTheFileName) {
    const ParseCase cases[] = {
        {"switch names ignore case", {"/START", "/Minimized", "/ReCyClE"}, true, true, true},
        {"pattern keeps its case", {"/F=error"}, false, false, false, "error"},
        {"empty pattern still checks", {"/f="}, false, false, false, ""},
        {"patterns concatenate", {"/f=abc", "/f=def"}, false, false, false, "abcdef"},
        {"shell already removed the quotes", {"/f=a b"}, false, false, false, "a b"},
        {"quotes kept by the caller are removed", {"/f=\"a b\""}, false, false, false, "a b"},
        {"a lone quote is too short to remove", {"/a=\""}, false, false, false, nullptr, "\""},
        {"two quotes leave nothing", {"/A=\"\""}, false, false, false, nullptr, ""},
        {"alert pattern", {"/a=Fatal.*disk"}, false, false, false, nullptr, "Fatal.*disk"},
        {"hash is skipped", {"#", "app.log"}, false, false, false, nullptr, nullptr, "app.log"},
        {"second plain name ignored",
         {"first.log", "second.log"},
         false,
         false,
         false,
         nullptr,
         nullptr,
         "first.log"},
        {"unknown switch becomes the file name",
         {"/x", "b.log"},
         false,
         false,
         false,
         nullptr,
         nullptr,
         "/x"},
        {"unknown switch after a name ignored",
         {"a.log", "/x"},
         false,
         false,
         false,
         nullptr,
         nullptr,
         "a.log"},
        {"an empty argument is a file name", {"", "a.log"}, false, false, false, nullptr, nullptr, ""},
        {"near misses of switches are names", {"/startx"}, false, false, false, nullptr, nullptr, "/startx"},
        {"everything together",
         {"/f=Error", "C:/logs/my app.log", "/a=Fatal", "/start", "/minimized"},
         true,
         true,
         false,
         "Error",
         "Fatal",
         "C:/logs/my app.log"},
        {"after -- a switch is a name",
         {"/f=x", "--", "/start", "b.log"},
         false,
         false,
         false,
         "x",
         nullptr,
         "/start"},
        {"-- keeps an earlier name", {"a.log", "--", "--x"}, false, false, false, nullptr, nullptr, "a.log"},
        {"a second -- is a name", {"--", "--"}, false, false, false, nullptr, nullptr, "--"},
        {"-- alone gives no name", {"/start", "--"}, true},
        {"nothing", {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLineOptions options = ParseCommandLine(QStringList{"/usr/bin/kovra"} + c.args);
        EXPECT_EQ(options.start, c.start);
        EXPECT_EQ(options.minimized, c.minimized);
        EXPECT_EQ(options.recycle, c.recycle);
        EXPECT_EQ(options.filterChecked, c.filter != nullptr);
        EXPECT_EQ(options.filterPattern, QString::fromUtf8(c.filter ? c.filter : ""));
        EXPECT_EQ(options.alertChecked, c.alert != nullptr);
        EXPECT_EQ(options.alertPattern, QString::fromUtf8(c.alert ? c.alert : ""));
        EXPECT_EQ(options.fileNameGiven, c.fileName != nullptr);
        EXPECT_EQ(options.fileName, QString::fromUtf8(c.fileName ? c.fileName : ""));
    }
}

TEST(CommandLine, RemovesOneQuoteAtEachEndIndependently) {
    const std::pair<QString, QString> cases[] = {
        {"\"x\"", "x"},   {"\"x", "x"}, {"x\"", "x"}, {"\"", "\""},         {"\"\"", ""},
        {"\"\"\"", "\""}, {"x", "x"},   {"", ""},     {"\"a\"b\"", "a\"b"}, {"ab", "ab"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(RemoveEndQuotes(input), expected) << input.toStdString();
}

TEST(CommandLine, RawTextQuotesArgumentsThatNeedIt) {
    const std::pair<QStringList, QString> cases[] = {
        {{"/usr/bin/kovra", "a.log"}, "/usr/bin/kovra a.log"},
        {{"/opt/my apps/kovra", "/f=a b"}, "\"/opt/my apps/kovra\" \"/f=a b\""},
        {{"kovra", "say \"hi\""}, "kovra \"say \\\"hi\\\"\""},
        {{"kovra", "x\"y"}, "kovra \"x\\\"y\""},
        {{"kovra", ""}, "kovra \"\""},
        {{"kovra", "a\tb"}, "kovra \"a\tb\""},
        {{"kovra"}, "kovra"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(RawCommandLine(args), expected);
        EXPECT_EQ(ParseCommandLine(args).rawCommandLine, expected);
    }
    // The identity is computed from this text: splitting differently must not give the same text.
    EXPECT_NE(RawCommandLine({"kovra", "a b"}), RawCommandLine({"kovra", "a", "b"}));
    EXPECT_NE(RawCommandLine({"kovra", ""}), RawCommandLine({"kovra"}));
}

} // namespace
