// The pass through the fake window on real files: window arithmetic, types, missing files, auto
// offset, publishing rules and the clear request.
#include <QFile>
#include <QFileInfo>

#include "engine_fixture.h"
#include "util/date_time_text.h"

namespace {

const QString kBom = QString(QChar(0xFEFF));

// Lines of `width` bytes (line end included) that each hold their own start position.
QByteArray NumberedLines(int count, int width = 10, const char* end = "\n") {
    QByteArray bytes;
    const int digits = width - static_cast<int>(qstrlen(end));
    for (int i = 0; i < count; ++i)
        bytes += QByteArray::number(qint64(i) * width).rightJustified(digits, '0') + end;
    return bytes;
}

QByteArray Utf16(const QString& text, bool bigEndian) {
    QByteArray bytes;
    for (QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo);
        bytes.append(bigEndian ? lo : hi);
    }
    return bytes;
}

} // namespace

class TailPassTest : public EngineTest {};

TEST_F(TailPassTest, ReadsTheLastWindowBeforeTheOffset) {
    Write("big.log", NumberedLines(12288)); // 120 KiB
    Start("big.log");
    QStringList view = View();
    ASSERT_EQ(view.size(), 5120);
    EXPECT_EQ(view.first(), "000071680");
    EXPECT_EQ(view.last(), "000122870");
    EXPECT_EQ(window.infoPane, "Lines read= 5120 - Lines filtered= 0");
    EXPECT_TRUE(window.filePane.startsWith("Size=120 Kb, Age=")) << window.filePane.toStdString();
    EXPECT_TRUE(window.filePane.endsWith(", Type=Ansi"));

    window.offset = 3; // start 71677 is rounded down to 71676: the tail of a line comes first
    Ticks(1);
    view = View();
    EXPECT_EQ(view.first(), "670");
    EXPECT_EQ(view.last(), "0001228"); // the window ends 3 bytes before the end, whatever the rounding

    window.offset = 100000; // beyond size - window: the window starts at 0 and ends early
    Ticks(1);
    view = View();
    EXPECT_EQ(view.first(), "000000000");
    EXPECT_EQ(view.last(), "000051190");
    EXPECT_EQ(view.size(), 5120);
}

TEST_F(TailPassTest, ReadBufferZeroReadsEverythingFromTheHidePoint) {
    Write("all.log", NumberedLines(12288));
    Def().SetBufferkoVal(0);
    Start("all.log");
    EXPECT_EQ(View().size(), 12288);
    EXPECT_EQ(View().first(), "000000000");
    engine->HidePoint() = 1000;
    Ticks(1);
    EXPECT_EQ(View().first(), "000001000");
    engine->HidePoint() = 200000; // the file is now shorter than the bound: nothing is read
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());
    EXPECT_EQ(window.infoPane, "Lines read= 0 - Lines filtered= 0");
}

TEST_F(TailPassTest, Utf16StartIsRoundedDownToAWholeUnit) {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += "abc\r\n";
    Write("wide.log", QByteArray("\xFF\xFE") + Utf16(text, false));
    Def().SetBufferkoVal(1);
    window.fileNameText = Path("wide.log");
    engine->SetTailStatus(tsStart);
    window.offset = 1; // start 2002 - 1 - 1024 = 977, read from 976
    Ticks(1);
    const QStringList view = View();
    ASSERT_EQ(view.size(), 103);
    EXPECT_EQ(view.first(), "c");
    EXPECT_EQ(view.count("abc"), 102);
    EXPECT_TRUE(window.filePane.endsWith("Type=UNI"));
}

TEST_F(TailPassTest, SparseThreeGibFileIsReadAtItsEnd) {
    {
        QFile file(Path("sparse.log"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(3) << 30));
    }
    Append("sparse.log", "tail line\n");
    Start("sparse.log");
    const QStringList view = View();
    ASSERT_EQ(view.size(), 1);
    EXPECT_EQ(view.first(), QString(51200 - 10, QChar(0)) + "tail line");
    EXPECT_TRUE(window.filePane.startsWith("Size=3.00 Gb")) << window.filePane.toStdString();
}

TEST_F(TailPassTest, TypeIsFoundFromTheFirstThreeBytes) {
    struct Case {
        QByteArray bytes;
        const char* label;
    };
    const std::vector<Case> cases = {
        {"plain\n", "Ansi"},
        {"\xEF\xBB\xBFutf\n", "UTF8"},
        {QByteArray("\xFF\xFE") + Utf16("uni\n", false), "UNI"},
        {QByteArray("\xFE\xFF") + Utf16("big\n", true), "UNIBIG"},
        {"{\\rtf1\n", "RTF"},
        {"\xD0\xCF\x11\xE0rest\n", "DOC"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QString("t%1.log").arg(n++);
        Write(name, c.bytes);
        engine->SetTailStatus(tsStop);
        Start(name);
        EXPECT_TRUE(window.filePane.endsWith(QString("Type=") + c.label)) << window.filePane.toStdString();
    }
    EXPECT_EQ(View().last(), QString::fromLatin1("\xD0\xCF\x11\xE0rest")); // 8-bit: bytes as they are
}

TEST_F(TailPassTest, ShortFileIsTypedAgainUntilItHasThreeBytes) {
    Write("short.log", "\xFF");
    Start("short.log");
    EXPECT_TRUE(window.filePane.endsWith("Type=Ansi"));
    Write("short.log", QByteArray("\xFF\xFE") + Utf16("ok\n", false));
    Ticks(1);
    EXPECT_TRUE(window.filePane.endsWith("Type=UNI"));
    EXPECT_EQ(View(), QStringList{kBom + "ok"}); // a marker inside the window is shown as a character
    Write("short.log", "abc\n");                 // a typed file keeps its type while its name stays
    Ticks(1);
    EXPECT_TRUE(window.filePane.endsWith("Type=UNI"));
}

TEST_F(TailPassTest, WildcardFollowsTheNewestMatch) {
    Write("app1.log", "one\n");
    Write("app2.log", "two\n");
    Start(Path("app*.log"));
    EXPECT_EQ(View(), QStringList{"two"});
    EXPECT_EQ(window.fileLabel, Path("app2.log"));
    EXPECT_TRUE(window.filePane.endsWith("Type=Ansi"));
    Write("app3.log", QByteArray("\xFE\xFF") + Utf16("three\n", true));
    Ticks(1);
    EXPECT_EQ(View(), QStringList{kBom + "three"});
    EXPECT_TRUE(window.filePane.endsWith("Type=UNIBIG"));
    EXPECT_EQ(window.fileLabel, Path("app3.log"));
    EXPECT_EQ(window.appTitle, "Kovra " + Path("app3.log"));
    EXPECT_EQ(window.trayHint,
              Path("app3.log").size() <= 80 ? Path("app3.log") : "..." + Path("app3.log").right(77));
    EXPECT_EQ(window.startCaption, "Stop " + Path("app3.log"));
    params->removepathontaskbar = true;
    Ticks(1);
    EXPECT_EQ(window.appTitle, "Kv app3.log");
}

TEST_F(TailPassTest, MissingFileAppendsOneMessagePerPass) {
    window.fileNameText = "   ";
    engine->SetTailStatus(tsStart);
    EXPECT_EQ(engine->TailStatus(), tsStop);
    EXPECT_EQ(View(), QStringList{ShortDateLongTimeText(clock.Now()) + " - No filename entered !"});
    window.view = ViewSnapshot();

    const QString name = Path("later.log");
    Start(name);
    const QString message = ShortDateLongTimeText(clock.Now()) + " - File " + name + " not found now !";
    EXPECT_EQ(View(), QStringList{message});
    EXPECT_EQ(window.infoPane, "");
    Ticks(1);
    EXPECT_EQ(View(), (QStringList{message, message}));
    Write("later.log", QByteArray("\xFF\xFEh\0i\0\n\0", 8));
    Ticks(1);
    EXPECT_EQ(View(), QStringList{kBom + "hi"});
    EXPECT_TRUE(window.filePane.endsWith("Type=UNI"));
}

TEST_F(TailPassTest, AutoOffsetStepsBackOverTrailingBlankLines) {
    Write("blank.log", NumberedLines(10240, 10, "\r\n") + QByteArray(20480, '\n'));
    Def().SetAutooffset(true);
    Def().SetKillline(true);
    Start("blank.log");
    EXPECT_EQ(window.offset, 20482);
    EXPECT_EQ(View().last(), "00102390");
    const QStringList reads = window.stateTexts.filter("Reading at ");
    EXPECT_EQ(reads, (QStringList{"Reading at 0", "Reading at 20482"}));
}

TEST_F(TailPassTest, HeldMouseKeepsTheViewUntilReleased) {
    Write("m.log", "a\n");
    Start("m.log");
    engine->MouseHeld() = true;
    Append("m.log", "b\n");
    Ticks(2);
    EXPECT_EQ(View(), QStringList{"a"});
    EXPECT_EQ(window.replaceCount, 1);
    engine->MouseHeld() = false;
    Ticks(1);
    EXPECT_EQ(View(), (QStringList{"a", "b"}));
    Ticks(1); // unchanged text: the view is not touched
    EXPECT_EQ(window.replaceCount, 2);
}

TEST_F(TailPassTest, SelectionIsRestoredOnTheLastOccurrenceAndScrollingFollowsTheEnd) {
    QByteArray lines;
    for (int i = 0; i < 30; ++i)
        lines += (i == 3 || i == 20 ? QByteArray("sel") : QByteArray::number(i)) + '\n';
    Write("s.log", lines);
    Start("s.log");
    EXPECT_EQ(window.firstVisible, 20); // an empty view counts as scrolled to its end
    EXPECT_TRUE(window.atBottom);
    window.SelectText(window.ViewText().indexOf("sel"), 3);
    window.firstVisible = 5;
    Append("s.log", "x\n");
    Ticks(1);
    EXPECT_EQ(window.SelectionStart(), window.ViewText().lastIndexOf("sel"));
    EXPECT_EQ(window.view.TextBetween(window.selection, u"\r\n"), "sel");
    EXPECT_EQ(window.firstVisible, 5); // not at the end: the same line stays on top
    EXPECT_FALSE(window.atBottom);
    params->alwaysscroll = true;
    Append("s.log", "y\n");
    Ticks(1);
    EXPECT_EQ(window.firstVisible, 22);
}

TEST_F(TailPassTest, ClearRequestWaitsForAPassAndHidesTheClearedLines) {
    Write("c.log", "a\r\nb\r\n");
    Def().SetRefreshRate(2);
    Start("c.log");
    engine->ClearRequested() = true;
    Ticks(1); // counts down only: the request waits
    EXPECT_EQ(View(), (QStringList{"a", "b"}));
    EXPECT_TRUE(engine->ClearRequested());
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());
    EXPECT_EQ(engine->HidePoint().load(), 6);
    Append("c.log", "c\r\n");
    Ticks(2);
    EXPECT_EQ(View(), QStringList{"c"});
}

// The view is shorter than the bytes it came from (filtered lines, two-byte characters): the
// bound still lies at the end of what was read, so no cleared line comes back.
TEST_F(TailPassTest, ClearHidesEverythingReadEvenWhenTheViewIsShorter) {
    Write("f.log", "ERROR 1\nnoise line that is filtered out\nERROR 2\n");
    window.filterOn = true;
    window.filterPattern = "ERROR";
    Start("f.log");
    EXPECT_EQ(View(), (QStringList{"ERROR 1", "ERROR 2"}));
    engine->ClearRequested() = true;
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());
    EXPECT_EQ(engine->HidePoint().load(), QFileInfo(Path("f.log")).size());
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());

    window.filterOn = false;
    QByteArray utf16("\xFF\xFE", 2);
    for (char c : QByteArray("one\r\ntwo\r\n"))
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    Write("u.log", utf16);
    engine->SetTailStatus(tsStop);
    engine->HidePoint() = 0;
    Start("u.log");
    ASSERT_EQ(View(), (QStringList{kBom + "one", "two"}));
    engine->ClearRequested() = true;
    Ticks(1);
    EXPECT_EQ(engine->HidePoint().load(), utf16.size());
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());
}

TEST_F(TailPassTest, TabStopsAreAppliedOnlyWhenTheyChange) {
    Write("t.log", "a\tb\n");
    Def().SetUseTabs(true);
    Def().SetTabsVal(40);
    Start("t.log");
    Ticks(2);
    EXPECT_EQ(window.tabStops, std::vector<int>{40});
    window.useTabs = false;
    Ticks(2);
    EXPECT_EQ(window.tabStops, (std::vector<int>{40, 0}));
    EXPECT_EQ(View(), QStringList{"a\tb"});
}

TEST_F(TailPassTest, Utf16LineEndsOfEveryKindEndOneLineEach) {
    const QString text = "a\r\nb\n\rc\rd\ne\r\rf";
    for (const bool bigEndian : {false, true}) {
        const QString name = bigEndian ? "be.log" : "le.log";
        Write(name, QByteArray(bigEndian ? "\xFE\xFF" : "\xFF\xFE") + Utf16(text, bigEndian));
        engine->SetTailStatus(tsStop);
        Start(name);
        EXPECT_EQ(View(), (QStringList{kBom + "a", "b", "c", "d", "e", "", "f"})) << name.toStdString();
        EXPECT_EQ(window.infoPane, "Lines read= 7 - Lines filtered= 0");
    }
}

// A logger that rotates (renames and starts anew) or truncates its file: without a clear bound
// the next pass reads the new, shorter file from its start.
TEST_F(TailPassTest, RotationAndTruncationAreReadFromTheNewStart) {
    Write("r.log", "old 1\nold 2\n");
    Start("r.log");
    EXPECT_EQ(View(), (QStringList{"old 1", "old 2"}));
    ASSERT_TRUE(QFile::rename(Path("r.log"), Path("r.log.1")));
    Write("r.log", "new\n");
    Ticks(1);
    EXPECT_EQ(View(), QStringList{"new"});
    Write("r.log", ""); // truncated
    Ticks(1);
    EXPECT_TRUE(window.ViewText().isEmpty());
    EXPECT_TRUE(window.filePane.startsWith("Size=0 b,")) << window.filePane.toStdString();
    Append("r.log", "again\n");
    Ticks(1);
    EXPECT_EQ(View(), QStringList{"again"});
    EXPECT_EQ(engine->HidePoint().load(), 0);
}

TEST_F(TailPassTest, InvalidPatternsLetEveryLinePassAndInversionKeepsTheOthers) {
    Write("f.log", "ERR one\nok two\nERR three\nok four\n");
    window.filterOn = true;
    window.filterPattern = "(";
    window.alertOn = true;
    window.alertPattern = "[";
    Start("f.log");
    EXPECT_EQ(View().size(), 4);
    EXPECT_EQ(window.infoPane, "Lines read= 4 - Lines filtered= 0");
    EXPECT_TRUE(window.alertLines.isEmpty()) << "an invalid alert pattern raises nothing";
    window.filterPattern = "ERR";
    window.filterInverted = true;
    Ticks(1);
    EXPECT_EQ(View(), (QStringList{"ok two", "ok four"}));
    EXPECT_EQ(window.infoPane, "Lines read= 4 - Lines filtered= 2");
}

// The three context modes through whole passes, with context windows that overlap: a line is
// shown once however many windows it belongs to.
TEST_F(TailPassTest, ContextModesShowTheirLinesOnceEach) {
    Write("c.log", "x1\nx2\nM1\nx3\nM2\nx4\nx5\nx6\nM3\nx7\n");
    window.filterOn = true;
    window.filterPattern = "M";
    window.contextLines = 2;
    const struct {
        int mode;
        QStringList shown;
    } cases[] = {{1, {"x1", "x2", "M1", "x3", "M2", "x5", "x6", "M3"}},
                 {2, {"M1", "x3", "M2", "x4", "x5", "M3", "x7"}},
                 {3, {"x1", "x2", "M1", "x3", "M2", "x4", "x5", "x6", "M3", "x7"}}};
    Start("c.log");
    for (const auto& c : cases) {
        params->filterBAmode = c.mode;
        Ticks(1);
        EXPECT_EQ(View(), c.shown) << "mode " << c.mode;
        EXPECT_EQ(window.infoPane, "Lines read= 10 - Lines filtered= 7") << "mode " << c.mode;
    }
    params->filterBAmode = 1;
    params->showremlineinfo = true;
    Ticks(1);
    EXPECT_EQ(View(), (QStringList{"x1", "x2", "M1", "x3", "M2", "... (1)", "x5", "x6", "M3"}));
}

// The window moves back only while its last 5120 bytes hold no kept line: 5119 blank bytes after
// the last line move it, 5118 do not.
TEST_F(TailPassTest, AutoOffsetMovesBackAtTheFiveKiBThresholdOnly) {
    Def().SetAutooffset(true);
    Def().SetKillline(true);
    for (const int blanks : {5119, 5118}) {
        // An even size: the window's start needs no rounding, which would move its end.
        Write("a.log", QByteArray(blanks % 2, '#') + NumberedLines(6000) + QByteArray(blanks, '\n'));
        engine->SetTailStatus(tsStop);
        window.stateTexts.clear();
        Start("a.log");
        const QStringList reads = window.stateTexts.filter("Reading at ");
        if (blanks == 5119) {
            EXPECT_EQ(reads, (QStringList{"Reading at 0", "Reading at 5120"}));
            EXPECT_EQ(window.offset, 5120);
        } else {
            EXPECT_EQ(reads, QStringList{"Reading at 0"});
            EXPECT_EQ(window.offset, 0);
        }
        EXPECT_EQ(View().last(), "000059990");
    }
}

// At the bottom means the last line is in view: first visible + lines that fit - 1 >= line count.
TEST_F(TailPassTest, AtBottomBoundaryDecidesWhetherTheViewFollowsTheEnd) {
    QByteArray lines;
    for (int i = 0; i < 30; ++i)
        lines += QByteArray::number(i) + '\n';
    Write("b.log", lines);
    Start("b.log");
    ASSERT_EQ(window.linesThatFit, 10);
    window.firstVisible = 21; // 21 + 10 - 1 = 30: at the bottom
    Append("b.log", "30\n");
    Ticks(1);
    EXPECT_TRUE(window.atBottom);
    EXPECT_EQ(window.firstVisible, 21) << "scrolled to the end of 31 lines";
    window.firstVisible = 21; // 21 + 10 - 1 = 30 < 31: one line short of the bottom
    Append("b.log", "31\n");
    Ticks(1);
    EXPECT_FALSE(window.atBottom);
    EXPECT_EQ(window.firstVisible, 21) << "the same line stays on top";
}

// A UTF-8 file with its marker: characters decoded, the marker kept as U+FEFF, byte arithmetic
// (auto offset, the clear's bound) unchanged by multibyte lines.
TEST_F(TailPassTest, Utf8FileKeepsByteArithmetic) {
    const QByteArray line = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80\n"; // 19 bytes
    QByteArray bytes = "\xEF\xBB\xBF";
    for (int i = 0; i < 3000; ++i)
        bytes += QByteArray::number(i) + line;
    const qint64 lastEnd = bytes.size() - 1; // the last kept line end
    bytes += QByteArray(20480, '\n');
    Write("u8.log", bytes);
    Def().SetAutooffset(true);
    Def().SetKillline(true);
    Start("u8.log");
    EXPECT_TRUE(window.filePane.endsWith("Type=UTF8"));
    const qint64 firstStart = (bytes.size() - 51200) & ~1; // starts are rounded down to even
    EXPECT_EQ(window.offset, 51200 - (lastEnd - firstStart));
    EXPECT_EQ(View().last(), QString::fromUtf8("2999café 日本語 😀"));

    engine->SetTailStatus(tsStop);
    Def().SetAutooffset(false);
    const QByteArray hundred = bytes.left(bytes.indexOf("100caf"));
    Write("short.log", hundred);
    Start("short.log");
    EXPECT_EQ(View().first(), kBom + QString::fromUtf8("0café 日本語 😀"));
    engine->ClearRequested() = true;
    Ticks(1);
    EXPECT_EQ(engine->HidePoint().load(), hundred.size()); // bytes, not characters
    Append("short.log", "na\xC3\xAFve\n");
    Ticks(1);
    EXPECT_EQ(View(), QStringList{QString::fromUtf8("naïve")});
}

// A whole-file pass of a literal filter with context skips the runs of failing lines by counting
// their line ends, many at a time: the counts and the lines shown are those of the file's lines,
// whatever the run's length and line ends (LF, now and then CR LF or a lone CR, which end a run).
// The differential test cannot see a miscount there: its reference pass skips the same way.
TEST_F(TailPassTest, ALiteralFilterOverLongRunsCountsEveryLineOfTheFile) {
    constexpr int kLines = 60000, kEvery = 7919, kContext = 2;
    QByteArray bytes;
    QStringList expected;
    std::vector<QString> lines;
    for (int i = 0; i < kLines; ++i) {
        const QString line =
            QStringLiteral("line %1 %2").arg(i).arg(i % kEvery == 77 ? "ERROR here" : "payload ok");
        lines.push_back(line);
        bytes += line.toLatin1() + (i % 997 == 0 ? "\r\n" : i % 1999 == 0 ? "\r" : "\n");
    }
    int matches = 0;
    for (int i = 0; i < kLines; ++i) {
        bool near = false;
        for (int k = std::max(0, i - kContext); k <= std::min(kLines - 1, i + kContext); ++k)
            near = near || k % kEvery == 77;
        if (near)
            expected << lines[size_t(i)];
        matches += i % kEvery == 77;
    }
    Write("runs.log", bytes);
    Def().SetBufferkoVal(0);
    window.filterOn = true;
    window.filterPattern = QStringLiteral("ERROR");
    window.contextLines = kContext;
    params->filterBAmode = 3;
    params->showremlineinfo = false;
    Start("runs.log");
    EXPECT_EQ(View(), expected);
    EXPECT_EQ(window.infoPane,
              QStringLiteral("Lines read= %1 - Lines filtered= %2").arg(kLines).arg(kLines - matches));
}
