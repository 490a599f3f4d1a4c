// Find in the view: next, previous and wrapping, the count and rank, the case and expression
// options, an invalid expression, a republish during a search, and a million lines counted on a
// worker while the window goes on.
#include <QBoxLayout>
#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "view_test_image.h"
#include "view_test_print.h"
#include "widgets/find_bar.h"
#include "widgets/mark_colors.h"
#include "widgets/tail_view.h"
#include "widgets/view_find.h"

namespace {

ViewSnapshot Lines(const QStringList& lines) {
    ViewSnapshotBuilder builder;
    for (const QString& line : lines)
        builder.Append(line);
    return builder.Build();
}

ViewRange At(qint64 line, qsizetype from, qsizetype to) {
    return {{line, from}, {line, to}};
}

// Waits for the worker's count, with a deadline a loaded machine meets.
bool WaitForCount(ViewFind& find, int seconds = 300) {
    return QTest::qWaitFor([&] { return find.Count().has_value(); }, seconds * 1000);
}

struct Window {
    QWidget host;
    QVBoxLayout* layout = new QVBoxLayout(&host);
    TailView* view = new TailView(&host);
    InstalledFind installed;
    Window() {
        layout->addWidget(view);
        installed = InstallFindBar(*view, *layout);
        host.resize(700, 400);
        host.show();
        host.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&host, 60000)) << "shortcuts need an active window";
    }
    FindBar& Bar() { return *installed.bar; }
};

TEST(ViewFind, NextPreviousWrapAroundWithRankAndCountThroughTheBar) {
    Window window;
    window.view->SetSnapshot(Lines({"alpha Error one", "nothing here", "error ERROR", "last error"}));
    window.view->setFocus();
    QTest::keyClick(window.view, Qt::Key_F, Qt::ControlModifier);
    FindBar& bar = window.Bar();
    ASSERT_TRUE(bar.isVisible());
    QTest::keyClicks(&bar.Field(), "error");
    ViewFind& find = bar.Find();
    EXPECT_EQ(find.Current(), At(0, 6, 11)) << "the first match from the top of the screen";
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(bar.CountText(), QStringLiteral("1 of 4"));

    QTest::keyClick(&bar.Field(), Qt::Key_Return);
    EXPECT_EQ(find.Current(), At(2, 0, 5));
    QTest::keyClick(&bar.Field(), Qt::Key_F3);
    EXPECT_EQ(find.Current(), At(2, 6, 11)) << "a second match on the same line";
    EXPECT_EQ(bar.CountText(), QStringLiteral("3 of 4"));
    QTest::keyClick(&bar.Field(), Qt::Key_Enter);
    EXPECT_EQ(find.Current(), At(3, 5, 10));
    QTest::keyClick(&bar.Field(), Qt::Key_Return);
    EXPECT_EQ(find.Current(), At(0, 6, 11)) << "wraps to the first";
    QTest::keyClick(&bar.Field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(find.Current(), At(3, 5, 10)) << "wraps back to the last";
    QTest::keyClick(&bar.Field(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(find.Current(), At(2, 6, 11));
    EXPECT_EQ(bar.CountText(), QStringLiteral("3 of 4"));

    // The other matches on screen are marked, until the bar closes.
    const QColor marked = MarkColorsFor(window.view->palette()).find;
    EXPECT_TRUE(HasColour(window.view->viewport()->grab().toImage(), marked));
    QTest::keyClick(&bar.Field(), Qt::Key_Escape);
    EXPECT_FALSE(HasColour(window.view->viewport()->grab().toImage(), marked));
    EXPECT_FALSE(bar.isVisible());
    EXPECT_FALSE(find.Current());
    EXPECT_TRUE(window.view->hasFocus());
    // F3 from the view opens the bar again with the last text and goes on searching.
    QTest::keyClick(window.view, Qt::Key_F3);
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(find.Current(), At(0, 6, 11));
}

TEST(ViewFind, CaseAndExpressionOptionsAndAnInvalidExpression) {
    Window window;
    window.view->SetSnapshot(Lines({"Error a.b", "error axb (", "ERROR"}));
    FindBar& bar = window.Bar();
    ViewFind& find = bar.Find();
    bar.Open();
    QTest::keyClicks(&bar.Field(), "error");
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 3);
    bar.MatchCase().setChecked(true);
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 1);
    EXPECT_EQ(find.Current(), At(1, 0, 5));

    // Plain text: the dot is a dot; as an expression, any character.
    bar.Field().setText(QStringLiteral("a.b"));
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 1);
    bar.RegularExpression().setChecked(true);
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 2);
    bar.MatchCase().setChecked(false);
    bar.Field().setText(QStringLiteral("^e\\w+"));
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 3) << "caseless expression";

    bar.Field().setText(QStringLiteral("("));
    EXPECT_TRUE(bar.ShowsInvalid());
    EXPECT_FALSE(find.Current());
    EXPECT_EQ(find.Count(), 0);
    EXPECT_FALSE(find.Next());
    EXPECT_EQ(bar.CountText(), QStringLiteral("Invalid expression"));
    bar.RegularExpression().setChecked(false);
    EXPECT_FALSE(bar.ShowsInvalid());
    EXPECT_EQ(find.Current(), At(1, 10, 11)) << "as plain text the bracket is found";
    QTest::keyClick(&bar.MatchCase(), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible()) << "Escape closes the bar from its check boxes too";
}

TEST(ViewFind, ARepublishKeepsTheCurrentMatchAndTheCountFollows) {
    TailView view;
    view.resize(600, 300);
    view.show();
    ViewSnapshotBuilder builder;
    for (int i = 0; i < 200; ++i)
        builder.Append(QStringLiteral("line %1 %2").arg(i).arg(i % 10 == 0 ? "hit hit" : "-"));
    view.SetSnapshot(builder.Build());
    ViewFind find;
    find.Attach(view);
    find.SetQuery({QStringLiteral("hit"), false, false});
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 40);
    view.SetFirstVisibleLine(100);
    find.SetQuery({QStringLiteral("hit"), false, false});
    ASSERT_TRUE(find.Next());
    EXPECT_EQ(find.Current(), At(100, 13, 16)) << "the second hit of line 100";
    EXPECT_EQ(view.FirstVisibleLine(), 100) << "a match on screen does not scroll the text";

    // Thirty lines fall off the front, a match and a plain line are appended, in the middle of
    // the count of the previous snapshot.
    builder.DropFront(30);
    builder.Append(QStringLiteral("new hit"));
    builder.Append(QStringLiteral("new line"));
    view.SetSnapshot(builder.Build());
    EXPECT_EQ(find.Current(), At(70, 13, 16));
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 35);
    EXPECT_EQ(find.CurrentRank(), 16);
    ASSERT_TRUE(find.Previous());
    EXPECT_EQ(find.Current(), At(70, 9, 12));

    // The line of the current match is dropped: no current match, and the search goes on.
    builder.DropFront(100);
    view.SetSnapshot(builder.Build());
    EXPECT_FALSE(find.Current());
    view.SetFirstVisibleLine(0);
    ASSERT_TRUE(find.Previous());
    EXPECT_EQ(find.Current(), At(70, 4, 7)) << "from the top, wraps to the appended line";
}

TEST(ViewFind, CountsAMillionLinesOnAWorkerWhileTheWindowGoesOn) {
    constexpr qint64 kLines = 1000000;
    ViewSnapshotBuilder builder;
    for (qint64 i = 0; i < kLines; ++i)
        builder.Append(QStringLiteral("%1 status ok%2%3")
                           .arg(i, 7, 10, QLatin1Char('0'))
                           .arg(i % 1000 == 7 ? " needle" : "")
                           .arg(i == 600000 ? " rare" : ""));
    TailView view;
    view.resize(600, 300);
    view.show();
    view.SetSnapshot(builder.Build());
    ViewFind find;
    find.Attach(view);
    find.SetQuery({QStringLiteral("NEEDLE"), false, false});
    EXPECT_EQ(find.Current(), At(7, 18, 24));
    EXPECT_FALSE(find.Count()) << "the count is not made on the window's thread";
    // The window's own events are served while the worker counts, which says how far it is.
    ASSERT_TRUE(find.CountPercent());
    int ticks = 0, percent = *find.CountPercent();
    bool inOrder = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (const std::optional<int> now = find.CountPercent()) {
            inOrder = inOrder && *now >= percent && *now <= 100;
            percent = *now;
        }
    });
    timer.start(1);
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(inOrder) << "up to " << percent << "%";
    EXPECT_FALSE(find.CountPercent()) << "counted";
    EXPECT_EQ(find.Count(), 1000);
    ASSERT_TRUE(find.Previous());
    EXPECT_EQ(find.Current(), At(999007, 18, 24)) << "wraps back to the last";
    EXPECT_EQ(find.CurrentRank(), 1000);

    // A match too far to seek on the window's thread: the move waits for the count.
    view.SetFirstVisibleLine(0);
    find.SetQuery({QStringLiteral("rare"), false, false});
    EXPECT_FALSE(find.Current());
    ASSERT_TRUE(WaitForCount(find));
    EXPECT_EQ(find.Count(), 1);
    EXPECT_EQ(find.Current(), At(600000, 18, 22));
    EXPECT_GE(view.FirstVisibleLine() + view.LinesThatFit(), 600000) << "scrolled to it";
    EXPECT_LE(view.FirstVisibleLine(), 600000);
}

} // namespace
