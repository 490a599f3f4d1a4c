// The view's text snapshot: incremental builds against a plain list of lines, the shared chunks
// that make them cheap, the selection search across line ends and chunk borders, and long lines.
#include <deque>
#include <random>

#include <QHash>
#include <QStringList>

#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "view_test_print.h"

namespace {

QString Joined(const std::deque<QString>& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

ViewSnapshot FromLines(const std::deque<QString>& lines) {
    ViewSnapshotBuilder builder;
    for (const QString& line : lines)
        builder.Append(line);
    return builder.Build();
}

// Lines of every kind the pass gives: empty, ASCII with tabs, Latin-1 and CJK, surrogate pairs,
// now and then one longer than a chunk's share.
class LineMaker {
public:
    explicit LineMaker(unsigned seed) : random_(seed) {}
    QString Next() {
        static const QStringList pieces = {"a", "bc", "\t", " ", "é", "中文", "😀", "ERROR", "x=1;"};
        const int kind = Pick(40);
        const int length = kind == 0 ? 0 : kind == 1 ? 9000 + Pick(30000) : Pick(60);
        QString line;
        while (line.size() < length)
            line += pieces[Pick(int(pieces.size()))];
        return line;
    }
    int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }

private:
    std::mt19937 random_;
};

void ExpectSameAs(const ViewSnapshot& snapshot, const std::deque<QString>& lines, int step) {
    ASSERT_EQ(snapshot.LineCount(), qint64(lines.size())) << "step " << step;
    qsizetype longest = 0;
    qint64 bytes = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(snapshot.Line(qint64(i)), lines[i]) << "step " << step << " line " << i;
        ASSERT_EQ(snapshot.LineLength(qint64(i)), lines[i].size()) << "step " << step << " line " << i;
        longest = std::max(longest, lines[i].size());
        bytes += lines[i].toUtf8().size();
    }
    EXPECT_EQ(snapshot.LongestLineLength(), longest) << "step " << step;
    EXPECT_EQ(snapshot.ByteCount(), bytes) << "step " << step;
}

// Whole-text index of a position: lines joined by CR LF.
qsizetype TextIndex(const std::deque<QString>& lines, ViewPosition at) {
    qsizetype index = at.column;
    for (qint64 line = 0; line < at.line; ++line)
        index += lines[size_t(line)].size() + 2;
    return index;
}

// A piece of the text spanning up to three lines is found where the joined text's own
// lastIndexOf finds it.
void ExpectFoundWhereTheTextHasIt(const ViewSnapshot& snapshot, const std::deque<QString>& lines,
                                  const QString& joined, LineMaker& maker) {
    for (int i = 0; i < 10; ++i) {
        const qint64 a = maker.Pick(int(lines.size()));
        const qint64 b = std::min<qint64>(a + maker.Pick(3), qint64(lines.size()) - 1);
        const auto column = [&](qint64 line) {
            const QString& text = lines[size_t(line)];
            qsizetype c = maker.Pick(int(text.size()) + 1);
            return c < text.size() && text[c].isLowSurrogate() ? c - 1 : c;
        };
        ViewRange range{{a, column(a)}, {b, column(b)}};
        if (range.to < range.from)
            std::swap(range.from, range.to);
        const QString needle = snapshot.TextBetween(range, u"\r\n");
        if (needle.isEmpty())
            continue;
        const std::optional<ViewRange> found = snapshot.FindLast(needle);
        ASSERT_TRUE(found.has_value()) << needle.left(80).toStdString();
        EXPECT_EQ(TextIndex(lines, found->from), joined.lastIndexOf(needle)) << needle.left(80).toStdString();
        EXPECT_EQ(TextIndex(lines, found->to), joined.lastIndexOf(needle) + needle.size());
    }
}

} // namespace

TEST(ViewSnapshot, FrontDropsAndAppendsShareUntouchedLinesAndMatchAFreshBuild) {
    LineMaker maker(16);
    std::deque<QString> lines;
    ViewSnapshotBuilder builder;
    ViewSnapshot shown = builder.Build();
    std::vector<std::pair<ViewSnapshot, std::deque<QString>>> kept;
    for (int step = 0; step < 300; ++step) {
        const qint64 drop = maker.Pick(int(lines.size() / 3) + 1);
        const int append = maker.Pick(step % 50 == 0 ? 3000 : 120);
        builder.DropFront(drop);
        lines.erase(lines.begin(), lines.begin() + drop);
        for (int i = 0; i < append; ++i) {
            lines.push_back(maker.Next());
            builder.Append(lines.back());
        }
        const ViewSnapshot next = builder.Build();
        ASSERT_NO_FATAL_FAILURE(ExpectSameAs(next, lines, step));
        // Every line that stayed is the same stored line: nothing untouched was copied.
        for (qint64 i = 0; i + drop < shown.LineCount(); ++i)
            ASSERT_EQ(next.LineKey(i), shown.LineKey(i + drop)) << "step " << step << " line " << i;
        if (step % 25 == 0 && !lines.empty()) {
            const QString joined = Joined(lines);
            EXPECT_EQ(next.Text(), joined) << "step " << step;
            ExpectFoundWhereTheTextHasIt(next, lines, joined.chopped(2), maker);
            EXPECT_TRUE(next.SameText(FromLines(lines))) << "step " << step;
            kept.emplace_back(next, lines);
        }
        shown = next;
    }
    // Built snapshots never change, and equal keys always mean equal text, even across two
    // builders that extended the same snapshot differently.
    ViewSnapshotBuilder branch(kept[5].first);
    branch.Append(QStringLiteral("a line only this branch has"));
    kept.emplace_back(branch.Build(), kept[5].second);
    kept.back().second.push_back(QStringLiteral("a line only this branch has"));
    QHash<ViewLineKey, QString> textOfKey;
    for (const auto& [snapshot, expected] : kept) {
        ASSERT_NO_FATAL_FAILURE(ExpectSameAs(snapshot, expected, -1));
        for (qint64 i = 0; i < snapshot.LineCount(); ++i) {
            const auto seen = textOfKey.constFind(snapshot.LineKey(i));
            if (seen == textOfKey.constEnd())
                textOfKey.insert(snapshot.LineKey(i), expected[size_t(i)]);
            else
                ASSERT_EQ(*seen, expected[size_t(i)]) << "line " << i;
        }
    }
    EXPECT_FALSE(kept[5].first.SameText(kept.back().first));
}

TEST(ViewSnapshot, MessagesAndSmallPassesKeepTheStorageCompact) {
    // A window of ASCII log lines grown by small passes, one message line at a time, as a tail
    // does: about its bytes plus two bytes per line, not UTF-16 and not a chunk per pass.
    ViewSnapshotBuilder builder;
    ViewSnapshot shown;
    for (int pass = 0; pass < 4000; ++pass) {
        for (int i = 0; i < 25; ++i)
            builder.Append(QStringLiteral("2024-05-01 12:00:%1 host app[42]: request %2 served in 3 ms")
                               .arg(pass % 60, 2, 10, QLatin1Char('0'))
                               .arg(pass * 25 + i));
        shown = builder.Build();
    }
    ASSERT_EQ(shown.LineCount(), 100000);
    EXPECT_LT(shown.MemoryBytes(), shown.ByteCount() + shown.LineCount() * 2 + shown.ByteCount() / 16);

    ViewSnapshotBuilder message(shown);
    message.Append(QStringLiteral("01/05/2024 12:01:00 - File /var/log/x.log not found now !"));
    message.DropFront(message.LineCount() - 1000);
    const ViewSnapshot bounded = message.Build();
    EXPECT_EQ(bounded.LineCount(), 1000);
    EXPECT_EQ(bounded.Line(999), QStringLiteral("01/05/2024 12:01:00 - File /var/log/x.log not found now !"));
    EXPECT_EQ(bounded.Line(0), shown.Line(99001));
    EXPECT_LT(bounded.MemoryBytes(), 4 * 65536) << "a bounded view holds only the chunks it shows";
}

TEST(ViewSnapshot, FindLastFollowsTheSelectionRuleAcrossLineEndsAndChunkBorders) {
    // Enough 100-byte lines to fill several chunks; the marked lines sit on both sides of chunk
    // borders.
    ViewSnapshotBuilder builder;
    std::deque<QString> lines;
    for (int i = 0; i < 3000; ++i)
        lines.push_back(QStringLiteral("%1 ").arg(i, 5, 10, QLatin1Char('0')) +
                        QString(94, QLatin1Char('.')));
    lines[10] = QStringLiteral("ab");
    lines[11] = QStringLiteral("cd");
    lines[2000] = QStringLiteral("tail: é 😀 needle end");
    lines[2001] = QStringLiteral("middle");
    lines[2002] = QStringLiteral("start of next");
    lines[2500] = QStringLiteral("needle");
    for (const QString& line : lines)
        builder.Append(line);
    const ViewSnapshot snapshot = builder.Build();
    const QString text = snapshot.Text();

    // Every hit is where the whole text's own lastIndexOf puts it.
    const auto textIndex = [&](ViewPosition at) {
        qsizetype index = at.column;
        for (qint64 line = 0; line < at.line; ++line)
            index += snapshot.LineLength(line) + 2;
        return index;
    };
    const auto expectAt = [&](const QString& needle, ViewRange range) {
        const std::optional<ViewRange> found = snapshot.FindLast(needle);
        ASSERT_TRUE(found.has_value()) << needle.toStdString();
        EXPECT_EQ(*found, range) << needle.toStdString();
        EXPECT_EQ(textIndex(found->from), text.lastIndexOf(needle)) << needle.toStdString();
        EXPECT_EQ(snapshot.TextBetween(*found, u"\r\n"), needle);
    };
    expectAt(QStringLiteral("needle"), {{2500, 0}, {2500, 6}});
    // Columns are UTF-16 units: the pair before the hit counts two.
    expectAt(QStringLiteral("😀 needle end\r\nmiddle\r\nstart"), {{2000, 8}, {2002, 5}});
    expectAt(QStringLiteral("end\r\nmiddle"), {{2000, 18}, {2001, 6}});
    expectAt(QStringLiteral("\r\nmiddle\r\n"), {{2000, 21}, {2002, 0}});
    expectAt(QStringLiteral("02999 ...."), {{2999, 0}, {2999, 10}});
    // Lines lie end to end in a chunk: "bc" spans the end of "ab" and is no hit.
    EXPECT_FALSE(snapshot.FindLast(QStringLiteral("bc")).has_value());
    EXPECT_FALSE(snapshot.FindLast(QStringLiteral("b\ncd")).has_value());
    EXPECT_FALSE(snapshot.FindLast(QString()).has_value());
    EXPECT_FALSE(snapshot.FindLast(QStringLiteral("needle\r\nnothing")).has_value());

    // A hit in every chunk matters: the search must go back across chunks to find it.
    int borders = 0;
    for (qint64 line = 1; line < snapshot.LineCount(); ++line) {
        if (snapshot.LineKey(line).chunk == snapshot.LineKey(line - 1).chunk)
            continue;
        ++borders;
        const QString across =
            snapshot.Line(line - 1).right(4) + QStringLiteral("\r\n") + snapshot.Line(line).left(5);
        const std::optional<ViewRange> found = snapshot.FindLast(across);
        ASSERT_TRUE(found.has_value()) << "border before line " << line;
        EXPECT_EQ(found->from.line, line - 1);
    }
    EXPECT_GE(borders, 3);
}

TEST(ViewSnapshot, LongLinesAreSharedAndSlicedWithoutDecodingThemWhole) {
    // A sparse file gives one line of NUL bytes: the snapshot keeps the caller's buffer.
    QByteArray zeros(64 << 20, '\0');
    ViewSnapshotBuilder builder;
    builder.Append(QStringLiteral("before"));
    builder.AppendUtf8(zeros);
    builder.Append(QStringLiteral("after"));
    const ViewSnapshot snapshot = builder.Build();
    ASSERT_EQ(snapshot.LineCount(), 3);
    EXPECT_TRUE(zeros.data_ptr().isShared()) << "the snapshot holds the caller's buffer, not a copy";
    EXPECT_EQ(snapshot.LineLength(1), zeros.size());
    EXPECT_EQ(snapshot.LongestLineLength(), zeros.size());
    EXPECT_EQ(snapshot.LineSlice(1, zeros.size() - 3, 10), QString(3, QChar(0)));
    EXPECT_EQ(snapshot.TextBetween({{0, 3}, {2, 2}}, u"\n").size(), 3 + 1 + zeros.size() + 1 + 2);
    EXPECT_LT(snapshot.MemoryBytes(), zeros.size() + 4096);

    // A long line that is not ASCII, given as text: stored at its UTF-8 size, and any slice is
    // the same as the text's own units, surrogate halves at the bounds included.
    QString mixed;
    for (int i = 0; mixed.size() < 300000; ++i)
        mixed += i % 7 == 0 ? QStringLiteral("😀") : i % 5 == 0 ? QStringLiteral("中") : QStringLiteral("é-x");
    ViewSnapshotBuilder wide;
    wide.Append(mixed);
    wide.AppendUtf8(QByteArray("\xff invalid \xc3", 11));
    const ViewSnapshot text = wide.Build();
    EXPECT_LT(text.MemoryBytes(), mixed.toUtf8().size() + 65536);
    EXPECT_EQ(text.LineLength(0), mixed.size());
    std::mt19937 random(17);
    for (int i = 0; i < 200; ++i) {
        const qsizetype from = std::uniform_int_distribution<qsizetype>(0, mixed.size())(random);
        const qsizetype length = std::uniform_int_distribution<qsizetype>(0, 40000)(random);
        ASSERT_EQ(text.LineSlice(0, from, length), mixed.mid(from, length)) << from << "+" << length;
    }
    const std::optional<ViewRange> last = text.FindLast(QStringLiteral("中é-x"));
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->from.column, mixed.lastIndexOf(QStringLiteral("中é-x")));
    EXPECT_EQ(text.Line(1), QString::fromUtf8(QByteArray("\xff invalid \xc3", 11)));
}
