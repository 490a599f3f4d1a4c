// Lines the engine keeps as places in the followed file: read back they give the text a snapshot
// of stored lines gives (slices of a long line, ranges, finds, comparison, the view's copy), and
// once the file is cut short or rewritten under them they give that text or the notice that the
// file changed, never other bytes: the view paints, finds and copies without a crash.
#include <random>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "engine/line_text.h"
#include "support/file_snapshot.h"
#include "widgets/tail_view.h"
#include "widgets/view_find.h"

namespace {

// Lines of every kind: ASCII, UTF-8, a stray byte, blanks for kill space, every line end, an
// empty line, and now and then a line of 300 KB that is decoded through its column places.
QByteArray MixedLog(int lines) {
    static const char* const kPieces[] = {
        "plain", "caf\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xFF", " ", "  \t ", "x\ty", "ERROR"};
    static const char* const kEnds[] = {"\n", "\r\n", "\r", "\n\r", "\n"};
    std::mt19937 random(5);
    QByteArray log;
    for (int i = 0; i < lines; ++i) {
        log += QByteArray::number(i) + ' ';
        const int words = i % 997 == 500 ? 40000 : int(random() % 12);
        for (int w = 0; w < words; ++w)
            log += kPieces[random() % std::size(kPieces)];
        log += kEnds[random() % std::size(kEnds)];
    }
    return log + "unterminated last";
}

// The lines of the bytes by the pass's rules, each shaped: the text stored lines would hold.
ViewSnapshot StoredLines(const QByteArray& bytes, LineShape shape) {
    ViewSnapshotBuilder builder;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r')
            continue;
        builder.Append(LineText(QByteArrayView(bytes).sliced(start, i - start), shape));
        const char other = bytes[i] == '\n' ? '\r' : '\n';
        if (i + 1 < bytes.size() && bytes[i + 1] == other)
            ++i;
        start = i + 1;
    }
    builder.Append(LineText(QByteArrayView(bytes).sliced(start), shape));
    return builder.Build();
}

class FileLinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        bytes_ = MixedLog(60000);
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes_) == bytes_.size());
    }
    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("mixed.log"));
    QByteArray bytes_;
};

TEST_F(FileLinesTest, LinesKeptAsPlacesReadAsTheTextTheyWereCutFrom) {
    for (const bool killSpace : {false, true}) {
        LineStageSettings settings;
        settings.killSpace = killSpace;
        const ViewSnapshot lines = SnapshotOfFile(path_, settings).snapshot;
        const ViewSnapshot stored = StoredLines(bytes_, LineShape::Of(TFileType::Ansi, killSpace));
        ASSERT_EQ(lines.LineCount(), stored.LineCount());
        EXPECT_TRUE(lines.SameText(stored));
        EXPECT_LT(lines.MemoryBytes(),
                  LineSource::kCachedBlocks * LineSource::kBlockBytes + bytes_.size() / 8)
            << "an index and a bounded cache, not a copy";
        ViewLineReader reader(lines, 0);
        for (qint64 i = 0; i < lines.LineCount(); ++i, reader.Next()) {
            ASSERT_EQ(reader.Text(), stored.Line(i)) << "line " << i;
            ASSERT_EQ(lines.LineLength(i), stored.LineLength(i)) << "line " << i;
        }
        std::mt19937 random(killSpace ? 3 : 4);
        for (int k = 0; k < 400; ++k) {
            // Half of the slices on the long lines, at any column.
            const qint64 line =
                k % 2 ? qint64(random() % lines.LineCount()) : 500 + 997 * qint64(random() % 60);
            const qsizetype length = stored.LineLength(line);
            const qsizetype from = qsizetype(random() % (length + 2)), count = qsizetype(random() % 3000);
            ASSERT_EQ(lines.LineSlice(line, from, count), stored.LineSlice(line, from, count))
                << "line " << line << " from " << from;
            const ViewRange range{{line, from},
                                  {std::min(line + qint64(random() % 5), lines.LineCount() - 1), 3}};
            ASSERT_EQ(lines.TextBetween(range, u"\n"), stored.TextBetween(range, u"\n"));
            const QString needle = stored.TextBetween({{line, from}, {line, from + 6}}, u"\r\n");
            if (k % 8 == 0 &&
                needle.isValidUtf16()) { // stored lines are searched as UTF-8: half a pair never is
                ASSERT_EQ(lines.FindLast(needle), stored.FindLast(needle)) << needle.toStdString();
            }
        }
    }
}

TEST_F(FileLinesTest, AViewOfAFileCutShortOrRewrittenShowsItsTextOrTheNoticeNeverOtherBytes) {
    const ViewSnapshot lines = SnapshotOfFile(path_, {}).snapshot;
    const ViewSnapshot stored = StoredLines(bytes_, {});
    TailView view;
    view.resize(700, 400);
    view.show();
    view.SetSnapshot(lines);
    view.SelectAll();
    view.Copy();
    EXPECT_EQ(QApplication::clipboard()->text(), stored.Text(u"\n").chopped(1));

    // The head rewritten in place, the rest cut to a third, in the middle of a scroll and of a
    // find's count: whatever the cache no longer holds must not be taken from the file's new bytes.
    view.SetFirstVisibleLine(lines.LineCount() / 3);
    ViewFind find;
    find.Attach(view);
    find.SetQuery({QStringLiteral("caf\u00e9"), true, false});
    {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.write(QByteArray(4096, 'Z')) == 4096 && file.resize(bytes_.size() / 3));
    }
    int notices = 0;
    for (qint64 i = 0; i < lines.LineCount(); ++i) {
        const QString text = lines.Line(i);
        if (text == UnreadableLineText())
            ++notices;
        else
            ASSERT_EQ(text, stored.Line(i)) << "line " << i;
    }
    EXPECT_GT(notices, lines.LineCount() / 2) << "the lines past the cut";
    // Scrolling, finding and copying over it all end normally.
    for (qint64 top : {qint64(0), lines.LineCount() / 2, lines.LineCount() - 1}) {
        view.SetFirstVisibleLine(top);
        EXPECT_FALSE(view.viewport()->grab().isNull());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return find.Count().has_value(); }, 60000));
    find.SetQuery({QStringLiteral("plain"), true, false});
    EXPECT_TRUE(QTest::qWaitFor([&] { return find.Count().has_value(); }, 60000));
    view.SelectAll();
    const QStringList copied = view.SelectedText().split(QStringLiteral("\r\n"));
    ASSERT_EQ(copied.size(), lines.LineCount());
    for (qint64 i = 0; i < lines.LineCount(); ++i)
        ASSERT_TRUE(copied[i] == stored.Line(i) || copied[i] == UnreadableLineText()) << "line " << i;
}

} // namespace
