// Bookmarks on a view's lines: the snapshot's line identities they keep across a window that
// slides forward (by either way the engine builds the next snapshot), toggling under a selection
// or the caret, the gutter, and F2 / Shift+F2 wrapping round.
#include <QAction>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "engine/view_publishing.h"
#include "engine/view_snapshot.h"
#include "view_test_image.h"
#include "widgets/tail_view.h"
#include "widgets/view_bookmarks.h"

namespace {

QString Numbered(int from, int to) {
    QString text;
    for (int i = from; i < to; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    return text;
}

ViewSnapshot Built(const QString& crlfText) {
    ViewSnapshotBuilder builder;
    builder.AppendCrLfText(crlfText);
    return builder.Build();
}

TEST(ViewLineIdentity, SurvivesTheWindowSlidingForwardAndNeverComesBackOnAnotherLine) {
    // A window of 3000 lines (several chunks), bookmarked on lines 10, 1500 and 2999.
    ViewSnapshot shown = Built(Numbered(0, 3000));
    const std::vector<ViewLineId> ids{shown.LineId(10), shown.LineId(1500), shown.LineId(2999)};
    EXPECT_EQ(shown.LinesOf(ids), (std::vector<qint64>{10, 1500, 2999}));

    // The window slid forward by 5 lines: the pass keeps what is shown and appends the new end.
    ViewSnapshotBuilder sliding(shown);
    sliding.DropFront(5);
    sliding.AppendCrLfText(Numbered(3000, 3010));
    const ViewSnapshot slid = sliding.Build();
    EXPECT_EQ(slid.LinesOf(ids), (std::vector<qint64>{5, 1495, 2994}));
    // The incremental pass's way: a new front, the kept middle shared, a new end.
    ViewSnapshotBuilder delta;
    delta.AppendCrLfText(QStringLiteral("ine 14\r\n"));
    delta.AppendLines(slid, 10, slid.LineCount());
    delta.AppendCrLfText(Numbered(3010, 3020));
    const ViewSnapshot next = delta.Build();
    EXPECT_EQ(next.Line(1), QStringLiteral("line 15"));
    EXPECT_EQ(next.LinesOf(ids), (std::vector<qint64>{-1, 1486, 2985})) << "line 10 left the window";
    for (qint64 line = 0; line < next.LineCount(); line += 97)
        EXPECT_EQ(next.LinesOf({next.LineId(line)}), std::vector<qint64>{line});

    // The same text made anew (a setting changed) is other lines; so is a second extension of
    // one snapshot: neither takes the ids of the first.
    EXPECT_EQ(Built(next.Text()).LinesOf(ids), (std::vector<qint64>{-1, -1, -1}));
    ViewSnapshotBuilder first(next), second(next);
    first.Append(QStringLiteral("a"));
    second.Append(QStringLiteral("b"));
    const ViewSnapshot a = first.Build(), b = second.Build();
    EXPECT_EQ(b.LinesOf({a.LineId(a.LineCount() - 1)}), std::vector<qint64>{-1});
    EXPECT_EQ(a.LinesOf({next.LineId(2985)}), std::vector<qint64>{2985});
}

struct BookmarkedView : ::testing::Test {
    void SetUp() override {
        host.resize(400, 300);
        view = new TailView(&host);
        view->resize(400, 300);
        installed = InstallBookmarks(*view, host);
        view->SetSnapshot(Built(Numbered(0, 100)));
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host, 60000)) << "the shortcuts need an active window";
        view->setFocus();
    }
    std::vector<qint64> Marked() const { return installed.bookmarks->Lines(); }
    qint64 Caret() const { return view->CursorPosition().line; }

    QWidget host;
    TailView* view = nullptr;
    InstalledBookmarks installed;
};

TEST_F(BookmarkedView, ToggleMarksTheSelectedLinesOrTheCaretsAndTheGutterShowsThem) {
    view->Select({{3, 2}, {5, 0}}); // ends at the start of line 5: lines 3 and 4
    QTest::keyClick(view, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(Marked(), (std::vector<qint64>{3, 4}));
    view->Select({{4, 0}, {4, 0}});
    installed.toggle->trigger(); // the caret's line, marked: unmarked
    EXPECT_EQ(Marked(), (std::vector<qint64>{3}));
    view->Select({{2, 0}, {4, 3}}); // partly marked: all marked
    installed.toggle->trigger();
    EXPECT_EQ(Marked(), (std::vector<qint64>{2, 3, 4}));
    installed.toggle->trigger(); // all marked: all unmarked
    EXPECT_TRUE(Marked().empty());

    view->Select({{1, 0}, {1, 0}});
    installed.toggle->trigger();
    QApplication::processEvents();
    auto* gutter = view->findChild<QWidget*>(QStringLiteral("BookmarkGutter"));
    ASSERT_NE(gutter, nullptr);
    EXPECT_EQ(gutter->width(), ViewBookmarks::kGutterWidth);
    const QImage image = gutter->grab().toImage();
    const QColor mark = view->palette().color(QPalette::Highlight);
    const QRect line1 = view->LineRect(1);
    const QRect line0 = view->LineRect(0);
    EXPECT_TRUE(HasColour(image.copy(0, line1.y(), gutter->width(), line1.height()), mark));
    EXPECT_FALSE(HasColour(image.copy(0, line0.y(), gutter->width(), line0.height()), mark));
    EXPECT_EQ(view->viewport()->geometry().x(), gutter->geometry().right() + 1) << "the text starts after it";
}

TEST_F(BookmarkedView, F2AndShiftF2GoRoundTheBookmarks) {
    installed.next->trigger();
    EXPECT_EQ(Caret(), 0) << "none: nothing happens";
    for (qint64 line : {20, 50, 90}) {
        view->Select({{line, 0}, {line, 0}});
        installed.toggle->trigger();
    }
    view->Select({{30, 4}, {30, 4}});
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_EQ(Caret(), 50);
    installed.next->trigger();
    EXPECT_EQ(Caret(), 90);
    installed.next->trigger();
    EXPECT_EQ(Caret(), 20) << "wraps to the first";
    QTest::keyClick(view, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(Caret(), 90) << "wraps to the last";
    installed.previous->trigger();
    EXPECT_EQ(Caret(), 50);
    EXPECT_LE(view->FirstVisibleLine(), 50);
    EXPECT_GT(view->FirstVisibleLine() + view->LinesThatFit(), 50) << "the bookmark is on screen";
}

} // namespace
