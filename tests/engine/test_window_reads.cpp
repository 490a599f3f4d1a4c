// What a pass reads, counted: a file that did not change is not read again whatever the filter, the
// auto offset and R. DNS do; the reads of one pass see one size of the file and show no line their
// window cut; a timer-mode pass over a costly filter lets the window handle a stop while it runs;
// text rewritten in place is never kept as it was.
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include "engine/line_source.h"

#include "engine_fixture.h"

namespace {

qint64 Reads(const TailEngine& engine, WindowReadKind kind) {
    return engine.WindowReads().ReadCounts()[size_t(kind)];
}

QByteArray NumberedLines(int from, int to, const char* text) {
    QByteArray bytes;
    for (int i = from; i < to; ++i)
        bytes += "line " + QByteArray::number(i) + ' ' + text + '\n';
    return bytes;
}

} // namespace

class WindowReadsTest : public EngineTest {};

// The auto offset steps back over a window whose lines the filter drops; on the same file and
// settings the next passes start where the first one's steps ended and read nothing.
TEST_F(WindowReadsTest, AnUnchangedFileIsReadOnceWhateverTheFilterAndTheAutoOffsetDo) {
    Write("quiet.log", NumberedLines(0, 400, "nothing to see here"));
    Def().SetAutooffset(true);
    Def().SetBufferkoVal(1);
    window.filterOn = true;
    window.filterPattern = QStringLiteral("NEVERMATCH");
    Start("quiet.log");
    const qsizetype steps = window.stateTexts.filter(QStringLiteral("Reading at")).size();
    ASSERT_GT(steps, 5) << "the first pass stepped back over the file";
    const qint64 full = Reads(*engine, WindowReadKind::Full);
    const int offset = window.offset;
    window.stateTexts.clear();
    Ticks(30);
    EXPECT_EQ(Reads(*engine, WindowReadKind::Full), full);
    EXPECT_EQ(Reads(*engine, WindowReadKind::Unchanged), 30);
    EXPECT_EQ(window.stateTexts.filter(QStringLiteral("Reading at")).size(), 30) << "one read a pass";
    EXPECT_EQ(window.offset, offset);

    // A change of the file or of a setting makes the steps again.
    Append("quiet.log", "line 400 nothing either\n");
    Ticks(1);
    EXPECT_GT(Reads(*engine, WindowReadKind::Full), full);
    window.filterPattern = QStringLiteral("NEVER MATCH");
    window.stateTexts.clear();
    Ticks(1);
    EXPECT_GT(window.stateTexts.filter(QStringLiteral("Reading at")).size(), 5);
}

// Lines that end with the inverted filter's mark: the auto offset steps back a window and a byte
// at a time over them, so its last window ends inside one, whose start would then pass; and the
// file grows while the pass steps back. The pass shows no line its own window end cut; the file's
// last line, cut by its writer, shows at the next pass as the file holds it.
TEST_F(WindowReadsTest, APassNeverShowsALineItsAutoOffsetCut) {
    Write("cut.log", NumberedLines(0, 100, "ok") + NumberedLines(100, 400, "payload #"));
    Def().SetAutooffset(true);
    Def().SetKillline(true);
    Def().SetBufferkoVal(1);
    window.filterOn = true;
    window.filterInverted = true;
    window.filterPattern = QStringLiteral("#");
    bool grown = false;
    window.onState = [&grown, this](const QString& text) {
        if (!grown && text.startsWith(QLatin1String("Reading at ")) &&
            text != QLatin1String("Reading at 0")) {
            grown = true;
            Append("cut.log", "line 400 payload #\nline 401 pay");
        }
    };
    Start("cut.log");
    window.onState = nullptr;
    EXPECT_TRUE(grown);
    EXPECT_GT(window.stateTexts.filter(QStringLiteral("Reading at")).size(), 3);
    ASSERT_FALSE(View().isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^line \\d+ ok$")).match(View().last()).hasMatch())
        << View().last().toStdString();
    Ticks(1);
    EXPECT_EQ(View().last(), QStringLiteral("line 401 pay"));
}

// Annotations follow the resolver's cache: while every address of the window gets the answer it got,
// an unchanged file is not processed again; a new answer redoes the window.
TEST_F(WindowReadsTest, AnUnchangedWindowWithReverseDnsIsReadAgainOnlyWhenAnAnswerChanged) {
    Write("dns.log", NumberedLines(0, 40, "from 127.0.0.1 port 22"));
    window.reverseDns = true;
    Start("dns.log");
    EXPECT_EQ(View().first(), QStringLiteral("line 0 from [127.0.0.1] port 22")) << "pending: the address";
    const qint64 full = Reads(*engine, WindowReadKind::Full);
    Ticks(5);
    EXPECT_EQ(Reads(*engine, WindowReadKind::Full), full);
    EXPECT_EQ(Reads(*engine, WindowReadKind::Unchanged), 5);
    resolver.names[QStringLiteral("127.0.0.1")] = QStringLiteral("localhost");
    Ticks(1);
    EXPECT_EQ(View().first(), QStringLiteral("line 0 from [localhost] port 22"));
    EXPECT_EQ(Reads(*engine, WindowReadKind::Full), full + 1);
    Append("dns.log", "line 40 from 127.0.0.1 port 23\n");
    Ticks(2);
    EXPECT_EQ(View().last(), QStringLiteral("line 40 from [localhost] port 23"));
    EXPECT_EQ(Reads(*engine, WindowReadKind::Full), full + 1)
        << "the append slid, the next pass read nothing";
    EXPECT_EQ(Reads(*engine, WindowReadKind::Unchanged), 6);
}

// Each line costs the filter its whole search bound; a stop clicked while the analysis runs is
// handled long before the analysis would next show its progress, and the pass ends at the next line.
TEST_F(WindowReadsTest, ATimerModePassOverACostlyFilterHandlesAStopWhileItRuns) {
    Write("costly.log", "first line\n");
    window.filterOn = true;
    window.filterPattern = QStringLiteral("^(a+)+$|first");
    Start("costly.log");
    ASSERT_EQ(View(), QStringList{"first line"});
    Append("costly.log", QByteArray(QByteArray(40, 'a') + "!\n").repeated(100000));
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, [&] { engine->SetTailStatus(tsStop); });
    window.onState = [&](const QString& text) {
        if (text == QLatin1String("Analyzing") && !stop.isActive())
            stop.start(20); // not yet due when the text itself lets the events run
    };
    window.stateTexts.clear();
    Ticks(1);
    window.onState = nullptr;
    EXPECT_EQ(engine->TailStatus(), tsStop);
    EXPECT_FALSE(window.stateTexts.contains(QStringLiteral("Analyzing 10%")));
    EXPECT_EQ(View(), QStringList{"first line"}) << "the pass was cancelled: the view stays as it was";
}

// A report regenerated in place (the same inode, bigger, the same bytes before the old end) shows
// its new text at the next pass. A line of a bigger window rewritten in place before one append,
// the file's time then set back (no write looks recent), shows within the passes that read each
// block of the window again once, though nothing is written after it.
TEST_F(WindowReadsTest, TextRewrittenInPlaceShowsAsTheFileHoldsIt) {
    const auto overwrite = [this](const QString& name, qint64 at, const QByteArray& bytes) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(at)); // written over, not truncated
        ASSERT_EQ(file.write(bytes), bytes.size());
    };
    Write("report.log", "run 1\n" + NumberedLines(0, 100, "of the report"));
    Start("report.log");
    ASSERT_EQ(View().first(), QStringLiteral("run 1"));
    overwrite("report.log", 0, "run 2\n" + NumberedLines(0, 101, "of the report"));
    Ticks(1);
    EXPECT_EQ(View().first(), QStringLiteral("run 2"));
    EXPECT_EQ(View().size(), 102);

    engine->SetTailStatus(tsStop);
    Def().SetBufferkoVal(1024);
    const QByteArray big = NumberedLines(0, 40000, "steady");
    Write("big.log", big);
    Start("big.log");
    ASSERT_EQ(View().size(), 40000);
    overwrite("big.log", big.indexOf("line 20000 steady"), "line 20000 STEADY");
    Append("big.log", "line 40000 steady\n");
    {
        QFile file(Path("big.log"));
        ASSERT_TRUE(
            file.open(QIODevice::ReadWrite) &&
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    const qint64 full = Reads(*engine, WindowReadKind::Full);
    const int bound = 1 + int(big.size() / LineSource::kBlockBytes) / IncrementalWindow::kVerifiedBlocks + 1;
    int passes = 0;
    while (passes < bound && View().value(20000) != QStringLiteral("line 20000 STEADY")) {
        Ticks(1);
        ++passes;
    }
    EXPECT_EQ(View().value(20000), QStringLiteral("line 20000 STEADY")) << "after " << passes << " passes";
    EXPECT_EQ(View().last(), QStringLiteral("line 40000 steady"));
    EXPECT_GT(passes, 1) << "the slid read kept the line; a later pass found it changed";
    EXPECT_EQ(Reads(*engine, WindowReadKind::Full), full + 1);
}
