// The pass that reads only what changed, held to the pass that reads its whole window: two engines
// follow the same file through random appends, truncations, rotations, rewrites in place, clear
// requests and setting changes (the whole file as the window among them), and after every step
// their views, counters, offsets and alerts must be the same. The views keep their lines as places
// in the file: a view read after the file was cut short or rewritten shows its old lines or the
// notice that they changed, never other bytes.
#include <random>

#include <QFile>

#include "engine/line_text.h"

#include "engine_fixture.h"

namespace {

// Text of a random log: words that the filter and alert patterns find, blanks for kill space,
// blank lines for kill line, and every kind of line end.
class LogWriter final {
public:
    explicit LogWriter(quint32 seed) : random_(seed) {}

    QString Lines(int count) {
        static const char* const kWords[] = {"ERR", "ALR", "abc",           "x",  " ",
                                             "  ",  "\t",  "\u00e9t\u00e9", "ok", "ERR ALR"};
        static const char* const kEnds[] = {"\n", "\n", "\n", "\r\n", "\r\n", "\r", "\n\r"};
        QString text;
        for (int i = 0; i < count; ++i) {
            for (int w = Pick(6); w > 0; --w)
                text += QString::fromUtf8(kWords[Pick(std::size(kWords))]);
            text += QLatin1String(kEnds[Pick(std::size(kEnds))]);
        }
        return text;
    }
    int Pick(size_t n) { return static_cast<int>(random_() % n); }
    bool Chance(int percent) { return Pick(100) < percent; }

private:
    std::mt19937 random_;
};

QByteArray Encode(const QString& text, TFileType type) {
    if (type == TFileType::Ansi)
        return text.toUtf8();
    QByteArray bytes;
    for (QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(type == TFileType::UNIBIG ? hi : lo);
        bytes.append(type == TFileType::UNIBIG ? lo : hi);
    }
    return bytes;
}

QByteArray Marker(TFileType type) {
    return type == TFileType::UNI      ? QByteArray("\xFF\xFE")
           : type == TFileType::UNIBIG ? QByteArray("\xFE\xFF")
                                       : "";
}

} // namespace

class IncrementalPassTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Def().SetAutotimer(false);
        Def().SetRefreshRate(1);
        Def().SetBufferkoVal(2);
        params->showremlineinfo = true;
        EngineDeps deps;
        deps.window = &refWindow;
        deps.manager = manager.get();
        deps.params = params.get();
        deps.clock = &clock;
        deps.resolver = &resolver;
        deps.dialogs = &dialogs;
        reference = std::make_unique<TailEngine>(deps, 3600 * 1000, -1);
        reference->SetTailStatus(tsStop);
        reference->SetIncrementalPasses(false);
    }
    void TearDown() override {
        reference->SetTailStatus(tsStop);
        reference.reset();
        EngineTest::TearDown();
    }

    // Applies the same change to both windows.
    template <typename Change> void Both(Change change) {
        change(window);
        change(refWindow);
    }

    void RandomSettings(LogWriter& log) {
        switch (log.Pick(12)) {
        case 0:
            Both([on = log.Chance(70)](FakeTailWindow& w) { w.filterOn = on; });
            break;
        case 1:
            Both([p = QString(log.Chance(50)   ? "ERR"
                              : log.Chance(50) ? "a.c|ok"
                                               : " ")](FakeTailWindow& w) { w.filterPattern = p; });
            break;
        case 2:
            Both([](FakeTailWindow& w) { w.filterInverted = !w.filterInverted; });
            break;
        case 3:
            Both([](FakeTailWindow& w) { w.alertInverted = !w.alertInverted; });
            break;
        case 4:
            Both([n = log.Pick(4)](FakeTailWindow& w) { w.contextLines = n; });
            break;
        case 5:
            params->filterBAmode = 1 + log.Pick(3);
            break;
        case 6:
            params->showremlineinfo = !params->showremlineinfo;
            break;
        case 7:
            Both([](FakeTailWindow& w) { w.killLine = !w.killLine; });
            break;
        case 8:
            Both([](FakeTailWindow& w) { w.killSpace = !w.killSpace; });
            break;
        case 9: // 0: the whole file
            Both([kb = log.Chance(10) ? 0 : 1 + log.Pick(3)](FakeTailWindow& w) { w.readBufferKo = kb; });
            break;
        case 10:
            Both([auto_ = log.Chance(40)](FakeTailWindow& w) { w.autoOffset = auto_; });
            break;
        default:
            Both([on = log.Chance(20)](FakeTailWindow& w) { w.reverseDns = on; });
            break;
        }
    }

    // One random change of the file (or of the request to clear), then one pass of each engine
    // (after a rewrite in place, as many as reading every kept block again takes).
    void Step(LogWriter& log, TFileType type, QByteArray& pending) {
        const int what = log.Pick(100);
        int passes = 1;
        if (what < 1) { // rotation: a new file of the same name
            QFile::remove(Path("grow.log"));
            Write("grow.log", Marker(type) + Encode(log.Lines(log.Pick(30)), type));
        } else if (what < 2) { // truncation in place, to a size the file did not have
            QFile file(Path("grow.log"));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.resize(std::max<qint64>(Marker(type).size(), file.size() / (2 + log.Pick(3)) - 1));
            file.close();
            ASSERT_NO_FATAL_FAILURE(ViewStillHolds());
        } else if (what < 4) { // rewritten in place: same size, or grown as a regenerated report
            ASSERT_NO_FATAL_FAILURE(RewriteInPlace(log, type));
            ASSERT_NO_FATAL_FAILURE(ViewStillHolds());
            passes = 1 + kBlocksAfterRewrite / IncrementalWindow::kVerifiedBlocks;
        } else if (what < 5) {
            engine->ClearRequested() = true;
            reference->ClearRequested() = true;
        } else if (what < 10) {
            RandomSettings(log);
        } else if (what < 16) {
            // nothing changed: the pass reads nothing
        } else {
            // Appends cut anywhere, so lines, CR LF pairs and 16-bit units grow across passes.
            pending += Encode(log.Lines(1 + log.Pick(log.Chance(10) ? 120 : 6)), type);
            const qsizetype cut =
                log.Chance(30) ? log.Pick(static_cast<size_t>(pending.size()) + 1) : pending.size();
            Append("grow.log", pending.left(cut));
            pending.remove(0, cut);
        }
        for (int i = 0; i < passes; ++i) {
            engine->Tick();
            reference->Tick();
        }
    }

    // Overwrites a stretch of the file with other text of the same length (keeping the file's
    // marker), then sometimes appends to it.
    void RewriteInPlace(LogWriter& log, TFileType type) {
        QFile file(Path("grow.log"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size(), marker = Marker(type).size();
        if (size <= marker + 2)
            return;
        const qint64 at = (marker + log.Pick(size_t(size - marker))) & ~qint64(1);
        QByteArray other = Encode(log.Lines(4), type).left(std::min<qint64>(size - at, 1 + log.Pick(64)));
        ASSERT_TRUE(file.seek(at));
        ASSERT_EQ(file.write(other), other.size());
        if (log.Chance(50)) {
            ASSERT_TRUE(file.seek(file.size()) && file.write(Encode(log.Lines(3), type)) > 0);
        }
    }

    // Read before the next pass, every line of the view is the line it showed or the notice that
    // the file changed under it.
    void ViewStillHolds() {
        const QStringList before = shown_;
        for (qint64 line = 0; line < window.view.LineCount(); ++line) {
            const QString now = window.view.Line(line);
            if (line < before.size() && now != before[line]) {
                ASSERT_EQ(now, UnreadableLineText()) << "line " << line;
            }
        }
    }

    void Run(quint32 seed, TFileType type, int steps, int windowKo = 2) {
        LogWriter log(seed);
        Def().SetBufferkoVal(windowKo);
        Write("grow.log", Marker(type) + Encode(log.Lines(100 * windowKo), type));
        Both([](FakeTailWindow& w) {
            w.alertOn = true;
            w.alertPattern = QStringLiteral("ALR");
            w.filterPattern = QStringLiteral("ERR");
            w.filterOn = true;
            w.contextLines = 2;
        });
        Start("grow.log");
        refWindow.fileNameText = window.fileNameText;
        reference->SetTailStatus(tsStart);
        QByteArray pending;
        for (int step = 0; step < steps; ++step) {
            ASSERT_NO_FATAL_FAILURE(Step(log, type, pending));
            const std::string where = "seed " + std::to_string(seed) + ", step " + std::to_string(step);
            ASSERT_EQ(window.ViewText(), refWindow.ViewText()) << where;
            ASSERT_EQ(window.infoPane, refWindow.infoPane) << where;
            ASSERT_EQ(window.offset, refWindow.offset) << where << " (auto offset)";
            ASSERT_EQ(window.alertLines, refWindow.alertLines) << where;
            ASSERT_EQ(engine->LastAlertLine(), reference->LastAlertLine()) << where;
            ASSERT_EQ(engine->HidePoint().load(), reference->HidePoint().load()) << where;
            shown_ = window.ViewLines();
        }
        // The comparison means something only if most passes took the short ways.
        const auto& counts = engine->WindowReads().ReadCounts();
        const auto slid = counts[size_t(WindowReadKind::Slid)], full = counts[size_t(WindowReadKind::Full)];
        EXPECT_GT(slid, full) << "slid " << slid << ", full " << full;
        EXPECT_GT(counts[size_t(WindowReadKind::Unchanged)], 0);
        EXPECT_EQ(reference->WindowReads().ReadCounts()[size_t(WindowReadKind::Slid)], 0);
    }

    FakeTailWindow refWindow;
    std::unique_ptr<TailEngine> reference;
    QStringList shown_; // the view after the last step
    // Blocks of the biggest window a rewrite may need read again (the big test's 400 KiB).
    static constexpr int kBlocksAfterRewrite = 8;
};

TEST_F(IncrementalPassTest, EightBitWindowsMatchTheFullPass) {
    Run(7, TFileType::Ansi, 2500);
}

// Outputs of several snapshot chunks, so the view's next snapshot shares whole chunks of the last.
TEST_F(IncrementalPassTest, BigWindowsMatchTheFullPass) {
    Run(17, TFileType::Ansi, 300, 400);
}

TEST_F(IncrementalPassTest, Utf16LittleEndianWindowsMatchTheFullPass) {
    Run(11, TFileType::UNI, 1500);
}

TEST_F(IncrementalPassTest, Utf16BigEndianWindowsMatchTheFullPass) {
    Run(13, TFileType::UNIBIG, 1500);
}

// A builder given the lines of another snapshot: shared whole chunks, a copied cut one, long lines.
TEST(SnapshotLines, AppendLinesGivesTheSameTextAsAppendingEachLine) {
    QStringList lines;
    for (int i = 0; i < 30000; ++i)
        lines << (i % 997 == 0 ? QString(9000, QChar(u'\u00e9'))
                               : QString::number(i) + QStringLiteral(" line"));
    ViewSnapshotBuilder whole;
    for (const QString& line : lines)
        whole.Append(line);
    const ViewSnapshot source = whole.Build();
    for (const auto& [from, to] :
         {std::pair{0, 30000}, {1, 29999}, {996, 998}, {5000, 21000}, {12, 12}, {29990, 30000}}) {
        ViewSnapshotBuilder part;
        part.Append(u"before");
        part.AppendLines(source, from, to);
        part.Append(u"after");
        const ViewSnapshot built = part.Build();
        ASSERT_EQ(built.LineCount(), to - from + 2) << from << ".." << to;
        EXPECT_EQ(built.Text(),
                  (QStringList{"before"} + lines.mid(from, to - from) + QStringList{"after"}).join("\r\n") +
                      "\r\n")
            << from << ".." << to;
        qsizetype longest = 6;
        for (const QString& line : lines.mid(from, to - from))
            longest = std::max(longest, line.size());
        EXPECT_EQ(built.LongestLineLength(), longest) << from << ".." << to;
    }
}
