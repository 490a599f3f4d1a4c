// Line cutting, shaping, filtering with context, alert lines, address annotation and patterns.
#include <QStringList>

#include <gtest/gtest.h>

#include <QTemporaryFile>

#include "engine/address_annotation.h"
#include "engine/line_stage.h"
#include "engine/regex.h"
#include "engine_fixture.h"
#include "support/file_snapshot.h"

namespace {

struct StageRun {
    QStringList lines;
    int read = 0;
    int filtered = 0;
    qint64 lastKeptEnd = -1;
    int outputLines = 0;
    QString alert;
    std::vector<qint64> progress; // unit indexes of the "Analyzing N%" reports
};

// The bytes as a file, cut and staged from its start as a full read does; the output read back
// from the snapshot it builds.
StageRun RunStage(QByteArray bytes, LineStageSettings settings, bool killSpace = false,
                  TFileType type = TFileType::Ansi, AddressResolver* resolver = nullptr) {
    QTemporaryFile file;
    EXPECT_TRUE(file.open() && file.write(bytes) == bytes.size() && file.flush());
    settings.killSpace = killSpace;
    StageRun run;
    const SplitProgress progress = [&](qint64 i, qint64) { run.progress.push_back(i); };
    const FileSnapshot made = SnapshotOfFile(file.fileName(), settings, type, resolver, &progress);
    for (qint64 line = 0; line < made.snapshot.LineCount(); ++line)
        run.lines << made.snapshot.Line(line);
    run.read = int(made.stretch.counts.linesRead);
    run.filtered = int(made.stretch.counts.linesFiltered);
    run.lastKeptEnd = made.stretch.lastKeptLineEnd;
    run.outputLines = int(made.stretch.counts.outLines);
    run.alert = made.stretch.alertText;
    return run;
}

LineStageSettings Filter(const QString& pattern, int before = 0, int after = 0, bool showRem = false) {
    LineStageSettings s;
    s.filterOn = true;
    s.filterPattern = pattern;
    s.beforeCount = before;
    s.afterCount = after;
    s.showRemLineInfo = showRem;
    return s;
}

QByteArray Lines(const QStringList& lines) {
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1();
}

} // namespace

TEST(LineSplit, EveryLineEndCombinationEndsTheRightLines) {
    struct Case {
        const char* bytes;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\rb\n\r", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}}, // LF CR is one end, the lone LF a second
        {"a\r\n\r\n", {"a", ""}},
        {"a\nlast", {"a", "last"}},
        {"a\n  \t\x01", {"a"}}, // a blank last line without end is dropped
        {"a\n \x01x", {"a", " \x01x"}},
        {"\n", {""}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const StageRun run = RunStage(QByteArray(c.bytes), {});
        EXPECT_EQ(run.lines, c.lines) << c.bytes;
    }
}

TEST(LineSplit, BytesAreLatin1AndWideFilesAreUnitsOfTwoBytes) {
    EXPECT_EQ(RunStage(QByteArray("\xe9t\xe9\x00z\n", 6), {}).lines,
              QStringList{QString::fromUtf8("été") + QChar(0) + "z"});
    const QString text = QString::fromUtf8("ü1\r\nλ2\n");
    QByteArray little(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const StageRun le = RunStage(little, {}, false, TFileType::UNI);
    EXPECT_EQ(le.lines, (QStringList{QString::fromUtf8("ü1"), QString::fromUtf8("λ2")}));
    EXPECT_EQ(le.lastKeptEnd, 6 * 2); // the LF is unit 6: byte 12
    QByteArray big = little;
    for (qsizetype i = 0; i + 1 < big.size(); i += 2)
        std::swap(big[i], big[i + 1]);
    EXPECT_EQ(RunStage(big, {}, false, TFileType::UNIBIG).lines, le.lines);
}

// Valid UTF-8 becomes its characters; any byte outside a valid sequence the character of its code.
TEST(LineSplit, Utf8SequencesAndTheByteRule) {
    const auto chars = [](std::initializer_list<char16_t> units) {
        QString text;
        for (char16_t u : units)
            text += QChar(u);
        return text;
    };
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const std::vector<Case> cases = {
        {"plain ascii", "plain ascii"},
        {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80!", QString::fromUtf8("café 日本 😀!")},
        {"\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", chars({0xD7FF, 0xE000, 0xDBFF, 0xDFFF})}, // the edges
        {"\xA9 ok \x97\xA5x", chars({0xA9, ' ', 'o', 'k', ' ', 0x97, 0xA5, 'x'})}, // stray continuations
        {"ab\xE6\x97", chars({'a', 'b', 0xE6, 0x97})},                             // cut by the end
        {"\xF0\x9F\x98", chars({0xF0, 0x9F, 0x98})},
        {"\xC0\xAF\xE0\x80\xAF\xF0\x80\x80\xAF",
         chars({0xC0, 0xAF, 0xE0, 0x80, 0xAF, 0xF0, 0x80, 0x80, 0xAF})},
        {"\xED\xA0\x80\xF4\x90\x80\x80",
         chars({0xED, 0xA0, 0x80, 0xF4, 0x90, 0x80, 0x80})},   // surrogate, > U+10FFFF
        {"\xC3\xC3\xA9\xC3", chars({0xC3, 0xE9, 0xC3})},       // a lead byte before a whole sequence
        {"na\xEFve caf\xE9", QString::fromUtf8("naïve café")}, // Latin-1
    };
    for (const Case& c : cases) {
        const StageRun run = RunStage(c.bytes + "\n", {});
        EXPECT_EQ(run.lines, QStringList{c.text}) << c.bytes.toHex().toStdString();
        EXPECT_EQ(run.lastKeptEnd, c.bytes.size());                               // positions stay in bytes
        EXPECT_EQ(RunStage(c.bytes + "\n", {}, true).lines, QStringList{c.text}); // kill space decodes too
    }
    EXPECT_EQ(RunStage("\xC3\xA9 \t \xE6\x97\xA5\t\tx \n\t\xE9\n", {}, true).lines,
              (QStringList{QString::fromUtf8("é 日 x "), QString::fromUtf8(" é")}));
}

// Patterns see the decoded text: a Latin-1 "é" matches "café" as the UTF-8 one does; context lines
// skipped undecoded come back decoded; the alert line is the decoded line.
TEST(LineStageFilter, MultibyteTextIsFilteredAndAlertedDecoded) {
    const QByteArray text = "na\xC3\xAFve\ncaf\xE9 latin\ncaf\xC3\xA9 utf8\n\xE6\x97\xA5\xE6\x9C\xAC"
                            " error\n\xF0\x9F\x98\x80 emoji\n";
    EXPECT_EQ(RunStage(text, Filter(QString::fromUtf8("café"))).lines,
              (QStringList{QString::fromUtf8("café latin"), QString::fromUtf8("café utf8")}));
    const StageRun context = RunStage(text, Filter(QString::fromUtf8("日本"), 1, 1, true));
    EXPECT_EQ(context.lines, (QStringList{"... (2)", QString::fromUtf8("café utf8"),
                                          QString::fromUtf8("日本 error"), QString::fromUtf8("😀 emoji")}));
    EXPECT_EQ(context.filtered, 4);
    LineStageSettings alert;
    alert.alertOn = true;
    alert.alertPattern = QString::fromUtf8("(?i)CAFÉ");
    EXPECT_EQ(RunStage(text, alert).alert, QString::fromUtf8("café utf8"));
    alert.alertPattern = QString::fromUtf8("\\x{1F600}");
    EXPECT_EQ(RunStage(text, alert).alert, QString::fromUtf8("😀 emoji"));
}

TEST(LineSplit, KillSpaceFoldsBlankRunsIntoOneSpace) {
    EXPECT_EQ(RunStage("  a \t b\t\tc  \n\t\t\nx\ty\n", {}, true).lines,
              (QStringList{" a b c ", " ", "x y"}));
    EXPECT_EQ(RunStage("  a \t b\n", {}, false).lines, QStringList{"  a \t b"});
}

TEST(LineSplit, ProgressIsReportedAtEveryTenthAsAUnitLoopWould) {
    const auto percents = [](const QByteArray& bytes) {
        std::vector<qint64> points;
        for (qint64 i : RunStage(bytes, {}).progress)
            points.push_back(i * 100 / bytes.size());
        return points;
    };
    // 100 units; the CR LF at 9-10 skips i = 10, so the first report comes at i = 11.
    EXPECT_EQ(percents(QByteArray("abcdefghi\r\n") + QByteArray(88, 'x') + '\n'),
              (std::vector<qint64>{11, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(percents("ab\ncd"),
              (std::vector<qint64>{20, 40, 60, 80, 100})); // fewer than ten units: every unit
}

TEST(LineStageContext, TheFourContextExamples) {
    struct Case {
        QStringList input;
        LineStageSettings settings;
        QStringList output;
        int filtered;
    };
    const std::vector<Case> cases = {
        {{"a", "b", "c", "d", "ERROR"}, Filter("ERROR", 2, 0, true), {"... (2)", "c", "d", "ERROR"}, 4},
        {{"ERROR", "a", "b", "c"}, Filter("ERROR", 0, 2, true), {"ERROR", "a", "b"}, 3},
        {{"a", "ERROR", "b", "c", "d", "ERROR2"},
         Filter("ERROR", 1, 1, true),
         {"a", "ERROR", "b", "... (1)", "d", "ERROR2"},
         4},
        {{"a", "ERROR", "b", "c", "d", "ERROR2"},
         Filter("ERROR", 1, 1, false),
         {"a", "ERROR", "b", "d", "ERROR2"},
         4},
    };
    for (const Case& c : cases) {
        const StageRun run = RunStage(Lines(c.input), c.settings);
        EXPECT_EQ(run.lines, c.output) << c.input.join(' ').toStdString();
        EXPECT_EQ(run.filtered, c.filtered);
        EXPECT_EQ(run.read, c.input.size());
        EXPECT_EQ(run.outputLines, c.output.size()); // the count the view is given
    }
}

TEST(LineStageFilter, InversionBlankAndInvalidPatterns) {
    LineStageSettings inverted = Filter("DEBUG");
    inverted.filterInverted = true;
    EXPECT_EQ(RunStage(Lines({"DEBUG x", "info", "a DEBUG", "warn"}), inverted).lines,
              (QStringList{"info", "warn"}));
    for (const QString& pattern : {QString(), QStringLiteral("  "), QStringLiteral(" \t")}) {
        const StageRun run = RunStage(Lines({"a", "b"}), Filter(pattern));
        EXPECT_EQ(run.lines, (QStringList{"a", "b"}));
        EXPECT_EQ(run.filtered, 0);
    }
    const StageRun invalid = RunStage(Lines({"a", "b"}), Filter("(unclosed"));
    EXPECT_EQ(invalid.lines, (QStringList{"a", "b"}));
    EXPECT_EQ(invalid.filtered, 0);
}

TEST(LineStageFilter, CaseSensitiveUnlessThePatternSaysOtherwise) {
    EXPECT_EQ(RunStage(Lines({"ERROR 1", "error 2", "Error 3"}), Filter("error")).lines,
              QStringList{"error 2"});
    EXPECT_EQ(RunStage(Lines({"ERROR 1", "error 2", "ok"}), Filter("(?i)error")).lines,
              (QStringList{"ERROR 1", "error 2"}));
    EXPECT_EQ(RunStage(Lines({"xa.bx", "aXb"}), Filter("a.b")).lines, (QStringList{"xa.bx", "aXb"}));
    // Bytes that are not text still search: a lone surrogate in a 16-bit file.
    const char16_t units[] = {u'E', u'R', 0xD800, u'\n', u'x', u'\n'};
    const QByteArray wide(reinterpret_cast<const char*>(units), sizeof units);
    EXPECT_EQ(RunStage(wide, Filter("ER"), false, TFileType::UNI).lines.size(), 1);
}

// A plain literal is searched in the raw bytes and failing lines are skipped undecoded; the
// outcome must be the one of the full regular-expression path in every setting.
TEST(LineStageFilter, LiteralShortcutMatchesTheRegexPath) {
    QByteArray runs; // LF-only runs of several KiB between matches, then line ends mixed near the end
    for (int i = 0; i < 400; ++i)
        runs += (i == 9 || i == 10 || i == 150 ? "ERROR "
                 : i % 7                       ? "line "
                                               : "l\xC3\xAFne \xE6\x97") +
                QByteArray(40, 'x') + (i % 3 ? " \t " : "\t") + QByteArray::number(i) + "\n";
    runs += "x\n\r\n\nERROR y\r\nz\n\n";
    const std::vector<QByteArray> texts = {
        "a\r\nERROR 1\n\n  \n\t \nb\tx  y\nc ERROR\n\rd\n e \nERROR\nf\ng\rh  \tERRORS\nlast", runs,
        "no match\nat all\n\npartial"};
    struct Variant {
        int before;
        int after;
        bool inverted;
        bool killLine;
        bool killSpace = false;
    };
    const std::vector<Variant> variants = {
        {0, 0, false, false},      {0, 0, true, false},      {0, 0, false, true},
        {0, 0, true, true},        {2, 0, false, true},      {0, 2, false, false},
        {1, 1, true, true},        {0, 1, true, false},      {3, 0, false, false},
        {5, 2, false, false},      {99, 0, false, false},    {0, 0, false, false, true},
        {2, 1, false, true, true}, {1, 0, true, true, true}, {99, 0, false, false, true}};
    // The search anchors on one byte of the literal: at its end, in its middle, or its last letter.
    // A literal of characters from U+0100 on is searched as its UTF-8 bytes.
    for (const QString& word : {QStringLiteral("ERROR"), QStringLiteral("disk Full"),
                                QStringLiteral("timeout"), QString::fromUtf8("日本語 x")}) {
        std::vector<QByteArray> cases = texts;
        for (QByteArray text : texts)
            cases.push_back(text.replace("ERROR", word.toUtf8()));
        for (const Variant& v : variants) {
            for (const QByteArray& text : cases) {
                LineStageSettings literal = Filter(word, v.before, v.after, true);
                literal.filterInverted = v.inverted;
                literal.killLine = v.killLine;
                LineStageSettings regex = literal;
                regex.filterPattern = word.chopped(1) + "[" + word.back() + "]";
                const StageRun fast = RunStage(text, literal, v.killSpace);
                const StageRun full = RunStage(text, regex, v.killSpace);
                const std::string label = word.toStdString() + " " + std::to_string(v.before) + "/" +
                                          std::to_string(v.after) + "/" + std::to_string(v.inverted) + "/" +
                                          std::to_string(v.killLine) + "/" + std::to_string(v.killSpace);
                EXPECT_EQ(fast.lines, full.lines) << label;
                EXPECT_EQ(fast.read, full.read) << label;
                EXPECT_EQ(fast.filtered, full.filtered) << label;
                EXPECT_EQ(fast.lastKeptEnd, full.lastKeptEnd) << label;
                EXPECT_EQ(fast.outputLines, full.outputLines) << label;
                EXPECT_EQ(fast.progress, full.progress) << label;
            }
        }
    }
    EXPECT_EQ(RunStage(texts[0], Filter("ERROR")).lines,
              (QStringList{"ERROR 1", "c ERROR", "ERROR", "h  \tERRORS"}));
    EXPECT_EQ(RunStage(texts[0], Filter("ERROR", 1), true).lines,
              (QStringList{"a", "ERROR 1", "b x y", "c ERROR", " e ", "ERROR", "g", "h ERRORS"}));
}

TEST(LineStageShaping, KillLineAgainstKillSpaceWithTabs) {
    LineStageSettings killLine;
    killLine.killLine = true;
    const StageRun keepTab = RunStage("a\n\t\n   \n\nb\n", killLine, false);
    EXPECT_EQ(keepTab.lines, (QStringList{"a", "\t", "b"}));
    EXPECT_EQ(keepTab.read, 5);
    EXPECT_EQ(keepTab.filtered, 0); // dropped blank lines are not counted as filtered
    EXPECT_EQ(RunStage("a\n\t\n   \n\nb\n", killLine, true).lines, (QStringList{"a", "b"}));
    EXPECT_EQ(RunStage("a\nb\n\n\n", killLine).lastKeptEnd, 3); // blank lines do not move it
}

TEST(LineStageAlert, TheLastShownMatchingLineIsTheAlertLine) {
    LineStageSettings s;
    s.alertOn = true;
    s.alertPattern = "ERROR";
    EXPECT_EQ(RunStage(Lines({"ERROR one", "ok", "ERROR two", "ok"}), s).alert, "ERROR two");
    s.filterOn = true;
    s.filterPattern = "one";
    EXPECT_EQ(RunStage(Lines({"ERROR one", "ERROR two"}), s).alert, "ERROR one"); // hidden lines never alert
    LineStageSettings inverted;
    inverted.alertOn = true;
    inverted.alertPattern = "OK";
    inverted.alertInverted = true;
    EXPECT_EQ(RunStage(Lines({"OK 1", "bad", "OK 2"}), inverted).alert, "bad");
    LineStageSettings invalid;
    invalid.alertOn = true;
    invalid.alertPattern = "[";
    EXPECT_EQ(RunStage(Lines({"[", "x"}), invalid).alert, QString());
}

TEST(LineStageReverseDns, FilterSeesTheAnnotatedLine) {
    MapResolver resolver;
    resolver.names[QStringLiteral("192.0.2.1")] = QStringLiteral("gw");
    LineStageSettings s = Filter("gw");
    s.reverseDns = true;
    EXPECT_EQ(RunStage("from 192.0.2.1 port\n", s, false, TFileType::Ansi, &resolver).lines,
              QStringList{"from [gw] port"});
    LineStageSettings byAddress = Filter("192\\.0\\.2\\.1");
    byAddress.reverseDns = true;
    EXPECT_EQ(RunStage("from 192.0.2.1 port\n", byAddress, false, TFileType::Ansi, &resolver).lines,
              QStringList{});
}

TEST(Addresses, IsIPv4AddressFollowsTheTokenRules) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"10.1.2.3", true},    {"1.2.3.4", true},     {"10.0.00.1", true},  {"255.255.255.255", true},
        {"0.1.2.3", false},    {"01.2.3.4", false},   {"10.01.2.3", false}, {"1.2.3.256", false},
        {"1.2.3", false},      {"1.2.3.4.5", false},  {"1..2.3", false},    {"1.2.3.", false},
        {"1234.1.1.1", false}, {"1.2.3.0004", false}, {"1.2.3.4a", false},  {".1.2.3", false},
    };
    for (const auto& [token, expected] : cases)
        EXPECT_EQ(IsIPv4Address(QString::fromLatin1(token)), expected) << token;
}

TEST(Addresses, AnnotationRulesAndOrder) {
    MapResolver resolver;
    resolver.names[QStringLiteral("10.1.2.3")] = QStringLiteral("host");
    resolver.names[QStringLiteral("10.9.9.9")] = QString(); // failed lookup
    struct Case {
        const char* line;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"connect from 10.1.2.3 port 22", "connect from [host] port 22"},
        {"connect from 10.9.9.9 port 22", "connect from ?10.9.9.9? port 22"},
        {"user@10.1.2.3", "user@[host]"},
        {"(10.1.2.3)", "(10.1.2.3)"},
        {"a=10.1.2.3", "a=10.1.2.3"},
        {"x 10.1.2.3, y", "x 10.1.2.3, y"},
        {"x 10.1.2.3:80", "x 10.1.2.3:80"},
        {"x 255.255.255.0", "x 255.255.255.0"},
        {"1.2.3.4", "[1.2.3.4]"},
        {"1.2.3", "1.2.3"},
        {"10.1.2.3 and 1.2.3.4", "[host] and [1.2.3.4]"},
        {"v 1.2.3.4.5.6.7.8.9", "v 1.2.3.4.5.6.7.8.9"},
        {"x 1.2.3.000000000 y", "x [1.2.3.000000000] y"}, // 15 characters: read
        {"x 1.2.3.0000000000 y", "x 1.2.3.0000000000 y"}, // 16: skipped
    };
    for (const Case& c : cases) {
        QString line = QString::fromLatin1(c.line);
        AnnotateAddresses(line, &resolver);
        EXPECT_EQ(line, QString::fromLatin1(c.expected)) << c.line;
    }
    resolver.asked = 0;
    QString twice = QStringLiteral("v 255.1.1.1 w 1.2.3.256 x 12345678.1.2.3.4");
    AnnotateAddresses(twice, &resolver);
    EXPECT_EQ(resolver.asked, 0); // skipped tokens are never looked up
}

// One line of 200,000 addresses, a third of them named: annotated whole, each address asked for
// once (the line was rebuilt for each address, and took minutes).
TEST(Addresses, ALineOf200000AddressesIsAnnotatedInOneGo) {
    MapResolver resolver;
    QString line = QStringLiteral("from");
    QString expected = line;
    for (int i = 0; i < 200000; ++i) {
        const QString address = QStringLiteral("10.") + QString::number(i >> 16) + u'.' +
                                QString::number((i >> 8) & 255) + u'.' + QString::number(i & 255);
        const QString name = i % 3 == 0 ? u'h' + QString::number(i) : address;
        if (i % 3 == 0)
            resolver.names[address] = name;
        line += u' ' + address;
        expected += QStringLiteral(" [") + name + u']';
    }
    AnnotateAddresses(line, &resolver);
    EXPECT_EQ(line, expected);
    EXPECT_EQ(resolver.asked, 200000);
}

TEST(Patterns, CompiledOncePerTextAndVersionKnown) {
    PatternMatcher m;
    EXPECT_TRUE(m.SetPattern("a+b"));
    EXPECT_EQ(m.Search(u"xaab"), MatchResult::Found);
    EXPECT_EQ(m.Search(u"xb"), MatchResult::NotFound);
    EXPECT_FALSE(m.SetPattern("a("));
    EXPECT_EQ(m.Search(u"a("), MatchResult::Error);
    EXPECT_TRUE(m.SetPattern("(?i)ok"));
    EXPECT_EQ(m.Search(u"OK"), MatchResult::Found);
    EXPECT_EQ(m.Search(u""), MatchResult::NotFound);
    EXPECT_GE(RegexMajorVersion(), 10);
    EXPECT_EQ(RegexVersionText(),
              QString::number(RegexMajorVersion()) + '.' + QString::number(RegexMinorVersion()));
}
