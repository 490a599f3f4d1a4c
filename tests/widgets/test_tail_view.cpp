// The tail view on a snapshot of a million lines: the scroll rules the engine relies on ("at
// bottom", the same line kept at the top, the selection found again), selection by keyboard and
// mouse, copying, marks asked only for the lines painted, tab stops, and a line too long to lay
// out whole.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontInfo>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "view_test_image.h"
#include "view_test_print.h"
#include "widgets/tail_view.h"

namespace {

constexpr qint64 kLines = 1000000;
constexpr int kTextLeft = 4; // the text starts that many pixels in from the viewport's edge

// Every seventh line is long enough to wrap at the widths used here.
QString LineText(qint64 i) {
    QString line = QStringLiteral("%1 status ok").arg(i, 7, 10, QLatin1Char('0'));
    if (i % 7 == 3)
        line += QStringLiteral(" word").repeated(30 + int(i % 40));
    return line;
}

const ViewSnapshot& MillionLines() {
    static const ViewSnapshot snapshot = [] {
        ViewSnapshotBuilder builder;
        for (qint64 i = 0; i < kLines; ++i)
            builder.Append(LineText(i));
        return builder.Build();
    }();
    return snapshot;
}

QString LinesJoined(qint64 first, qint64 last, const QString& lineBreak) {
    QStringList lines;
    for (qint64 i = first; i <= last; ++i)
        lines << LineText(i);
    return lines.join(lineBreak);
}

bool HasInk(const QImage& image, int top, int bottom, QColor base) {
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != base)
                return true;
    return false;
}

// Peak resident memory of this process, reset before each measure.
qint64 PeakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void ResetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    ASSERT_TRUE(clear.open(QIODevice::WriteOnly)) << "cannot reset the peak resident size";
    clear.write("5");
}

class TailViewTest : public testing::Test {
protected:
    void SetUp() override {
        QFont font(QStringLiteral("DejaVu Sans Mono"), 10);
        ASSERT_TRUE(QFontInfo(font).fixedPitch()) << "the tests need DejaVu Sans Mono (fonts-dejavu-core)";
        view_.setFont(font);
        QPalette palette = view_.palette();
        palette.setColor(QPalette::Base, base_);
        palette.setColor(QPalette::Text, Qt::black);
        view_.setPalette(palette);
        view_.resize(640, 400);
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
        spacing_ = QFontMetrics(font).lineSpacing();
        charWidth_ = QFontMetricsF(font).horizontalAdvance(u'x');
    }
    QPoint At(int row, qreal column) const {
        return QPoint(kTextLeft + int(column * charWidth_ + charWidth_ / 4), row * spacing_ + spacing_ / 2);
    }
    QImage Shot() { return view_.viewport()->grab().toImage(); }

    TailView view_;
    QColor base_{0xC0, 0xFF, 0xC0};
    int spacing_ = 0;
    qreal charWidth_ = 0;
};

} // namespace

TEST_F(TailViewTest, TheEndShowsTheLastLineAndCountsAsBottomWrappedOrNotAtEverySize) {
    view_.SetSnapshot(MillionLines());
    for (const bool wrap : {false, true}) {
        view_.SetWrap(wrap);
        for (const QSize size : {QSize(640, 400), QSize(300, 170), QSize(900, 90), QSize(520, 333)}) {
            SCOPED_TRACE(testing::Message()
                         << (wrap ? "wrap " : "no wrap ") << size.width() << "x" << size.height());
            view_.resize(size);
            QApplication::processEvents();
            view_.ScrollToEnd();
            const qint64 first = view_.FirstVisibleLine();
            ASSERT_TRUE(view_.AtBottom());
            EXPECT_EQ(view_.verticalScrollBar()->value(), view_.verticalScrollBar()->maximum());
            // The last line sits just above the empty row that ends the text, and is painted.
            const QRect last = view_.LineRect(kLines - 1);
            ASSERT_FALSE(last.isNull());
            const int height = view_.viewport()->height();
            EXPECT_LE(last.bottom() + 1, height - spacing_);
            const QImage shot = Shot();
            EXPECT_TRUE(HasInk(shot, last.top(), last.bottom() + 1, base_));
            EXPECT_FALSE(HasInk(shot, last.bottom() + 1, height, base_)) << "nothing below the end";
            EXPECT_EQ(view_.PositionAt(QPoint(kTextLeft, last.bottom())).line, kLines - 1);
            // Lines that fit are the lines shown whole, in every position.
            for (const qint64 top : {first, first - 1, first - 40, qint64(kLines / 2)}) {
                view_.SetFirstVisibleLine(top);
                const qint64 fit = view_.LinesThatFit();
                const QRect lastWhole = view_.LineRect(top + fit - 1);
                // A first line taller than the view counts as one, shown as much as it can be.
                if (top + fit - 1 < kLines && !(fit == 1 && lastWhole.height() > height)) {
                    ASSERT_FALSE(lastWhole.isNull()) << top;
                    EXPECT_LE(lastWhole.bottom() + 1, height) << top;
                }
                const QRect next = view_.LineRect(top + fit);
                if (top + fit < kLines && fit > 1) {
                    EXPECT_TRUE(next.isNull() || next.bottom() + 1 > height) << top;
                }
                EXPECT_EQ(view_.AtBottom(), top == first) << top;
            }
        }
    }
}

TEST_F(TailViewTest, ANewSnapshotKeepsTheTopLineNumberAndTheSelectionIsFoundAgain) {
    view_.SetSnapshot(MillionLines());
    view_.SetFirstVisibleLine(500000);
    view_.horizontalScrollBar()->setValue(37);
    // Select keeps the scroll position, however far away the range; the text spans chunks.
    view_.Select({{300, 3}, {2000, 5}});
    EXPECT_EQ(view_.FirstVisibleLine(), 500000);
    EXPECT_EQ(view_.horizontalScrollBar()->value(), 37);
    const QString expected =
        LinesJoined(300, 2000, QStringLiteral("\r\n")).mid(3).chopped(LineText(2000).size() - 5);
    ASSERT_EQ(view_.SelectedText(), expected);

    // A pass that dropped 100 lines and appended 100: same line number at the top, the selection
    // cleared, and the engine's rule finds it again 100 lines up.
    ViewSnapshotBuilder next(MillionLines());
    next.DropFront(100);
    for (qint64 i = kLines; i < kLines + 100; ++i)
        next.Append(LineText(i));
    QSignalSpy selectionChanges(&view_, &TailView::selectionChanged);
    view_.SetSnapshot(next.Build());
    EXPECT_EQ(view_.FirstVisibleLine(), 500000);
    EXPECT_FALSE(view_.HasSelection());
    EXPECT_EQ(selectionChanges.count(), 1);
    const std::optional<ViewRange> found = view_.Snapshot().FindLast(expected);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, (ViewRange{{200, 3}, {1900, 5}}));
    view_.Select(*found);
    EXPECT_EQ(view_.SelectedText(), expected);
    EXPECT_EQ(view_.FirstVisibleLine(), 500000);
}

TEST_F(TailViewTest, KeyboardMovesSelectsAllAndCopiesWithLineFeeds) {
    ViewSnapshotBuilder builder;
    builder.Append(QStringLiteral("a😀b end"));
    for (qint64 i = 1; i < 3000; ++i)
        builder.Append(LineText(i));
    view_.SetSnapshot(builder.Build());
    view_.setFocus();

    // Right steps over a surrogate pair at once; Shift+Right extends.
    QTest::keyClick(&view_, Qt::Key_Right);
    EXPECT_EQ(view_.CursorPosition(), (ViewPosition{0, 1}));
    QTest::keyClick(&view_, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view_.SelectedText(), QStringLiteral("😀"));
    QTest::keyClick(&view_, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(&view_, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view_, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view_.SelectedText(),
              QStringLiteral("😀b end\r\n") + LineText(1) + QStringLiteral("\r\n") + LineText(2).left(8));

    // Pages move the view by the lines that fit; the ends of the text bring it to the ends.
    const qint64 fit = view_.LinesThatFit();
    QTest::keyClick(&view_, Qt::Key_PageDown);
    EXPECT_EQ(view_.FirstVisibleLine(), fit);
    EXPECT_FALSE(view_.HasSelection());
    QTest::keyClick(&view_, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view_.AtBottom());
    EXPECT_EQ(view_.CursorPosition(), (ViewPosition{2999, LineText(2999).size()}));
    QTest::keyClick(&view_, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view_.FirstVisibleLine(), 0);

    // Select all and copy: CR LF for the engine, LF on the clipboard; the big view's text is
    // made when the clipboard is read.
    view_.SetSnapshot(MillionLines());
    QTest::keyClick(&view_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view_, Qt::Key_C, Qt::ControlModifier);
    const QString all = MillionLines().Text(u"\n").chopped(1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);
    EXPECT_EQ(view_.SelectedText(), MillionLines().Text().chopped(2));
    EXPECT_EQ(view_.FirstVisibleLine(), 0) << "select all does not scroll";
}

TEST_F(TailViewTest, MouseDragDoubleClickAndShiftClickSelectAndTheWindowSeesTheButton) {
    view_.SetSnapshot(MillionLines());
    view_.SetFirstVisibleLine(1000);
    QWidget* viewport = view_.viewport();
    // The window keeps a "mouse held" flag from the viewport's presses and releases.
    struct ButtonWatch : QObject {
        int presses = 0, releases = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            presses += e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick;
            releases += e->type() == QEvent::MouseButtonRelease;
            return false;
        }
    } watch;
    viewport->installEventFilter(&watch);

    QTest::mousePress(viewport, Qt::LeftButton, {}, At(1, 8));
    QTest::mouseMove(viewport, At(4, 3));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(4, 3));
    EXPECT_EQ(view_.SelectedText(),
              LinesJoined(1001, 1004, QStringLiteral("\r\n")).mid(8).chopped(LineText(1004).size() - 3));
    EXPECT_EQ(watch.presses, 1);
    EXPECT_EQ(watch.releases, 1);

    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, At(6, 2));
    EXPECT_EQ(view_.Selection(), (ViewRange{{1001, 8}, {1006, 2}}));

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, At(2, 9));
    EXPECT_EQ(view_.SelectedText(), QStringLiteral("status"));

    // Dragging below the view scrolls it while the button is held.
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(0, 0));
    QTest::mouseMove(viewport, QPoint(20, viewport->height() + 3 * spacing_));
    QTRY_VERIFY_WITH_TIMEOUT(view_.FirstVisibleLine() > 1010, 20000);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() + 3 * spacing_));
    EXPECT_EQ(view_.Selection().from, (ViewPosition{1000, 0}));
    EXPECT_GT(view_.Selection().to.line, 1010 + view_.LinesThatFit() - 2);
    const qint64 stopped = view_.FirstVisibleLine();
    QTest::qWait(200);
    EXPECT_EQ(view_.FirstVisibleLine(), stopped) << "the release stops the scrolling";

    QSignalSpy menus(&view_, &QWidget::customContextMenuRequested);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, At(3, 3), viewport->mapToGlobal(At(3, 3)));
    QApplication::sendEvent(viewport, &menu);
    ASSERT_EQ(menus.count(), 1);
    EXPECT_EQ(menus.first().first().toPoint(), At(3, 3));
}

TEST_F(TailViewTest, MarksAreAskedOnlyForPaintedLinesAndTabStopsMoveTheText) {
    view_.SetSnapshot(MillionLines());
    view_.SetFirstVisibleLine(700000);
    int asked = 0;
    const QColor yellow(255, 255, 0), orange(255, 150, 50);
    view_.SetMarksProvider([&](QStringView text, qsizetype from) {
        ++asked;
        const qsizetype at = text.indexOf(u"status");
        return at < 0 ? QList<ViewMark>{} : QList<ViewMark>{{from + at, 6, yellow, true}};
    });
    QImage shot = Shot();
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, view_.viewport()->height() / spacing_ + 2);
    EXPECT_TRUE(HasColour(shot, yellow));
    // A match far away: scrolled to, centred, drawn.
    view_.SetCurrentMatch(ViewRange{{900000, 8}, {900000, 14}});
    view_.EnsureVisible({900000, 8}, TailView::Place::Center);
    EXPECT_FALSE(view_.LineRect(900000).isNull());
    EXPECT_GT(view_.LineRect(900000).top(), spacing_);
    EXPECT_TRUE(HasColour(Shot(), orange));

    ViewSnapshotBuilder tabs;
    tabs.Append(QStringLiteral("a\tb"));
    view_.SetSnapshot(tabs.Build());
    view_.SetTabStopDistance(100);
    EXPECT_EQ(view_.PositionAt(QPoint(kTextLeft + 100 + 2, spacing_ / 2)).column, 2);
    view_.SetTabStopDistance(200);
    EXPECT_EQ(view_.PositionAt(QPoint(kTextLeft + 100 + 2, spacing_ / 2)).column, 1);
}

TEST_F(TailViewTest, ALineOfSixtyFourMegabytesPaintsWithoutBeingLaidOutWhole) {
    ViewSnapshotBuilder builder;
    builder.Append(QStringLiteral("before"));
    builder.AppendUtf8(QByteArray("0123456789").repeated((64 << 20) / 10));
    builder.Append(QStringLiteral("after"));
    view_.SetSnapshot(builder.Build());
    const qsizetype length = view_.Snapshot().LineLength(1);
    for (const bool wrap : {false, true}) {
        SCOPED_TRACE(wrap ? "wrap" : "no wrap");
        view_.SetWrap(wrap);
        ResetPeakResident();
        const qint64 before = PeakResidentKb();
        // Decoding the line alone would take 128 MiB; laying it out, far more.
        const QImage start = Shot();
        view_.EnsureVisible({1, length - 5});
        const QImage end = Shot();
        EXPECT_LT(PeakResidentKb() - before, 48 * 1024);
        const QRect line = view_.LineRect(1);
        ASSERT_FALSE(line.isNull());
        EXPECT_TRUE(HasInk(start, line.top(), line.bottom(), base_));
        EXPECT_TRUE(HasInk(end, line.top(), line.bottom(), base_));
        if (!wrap) {
            // Scrolled to the line's end: the column under the end of the text is near it.
            const ViewPosition under =
                view_.PositionAt(QPoint(view_.viewport()->width() / 2, line.center().y()));
            EXPECT_EQ(under.line, 1);
            EXPECT_GT(under.column, length - 1000);
        }
    }
}

// With wrap, a last line of 21 KB is read to its end: Ctrl+End shows its last row above the end
// of the text, the wheel walks it row by row, and a pass that keeps the line keeps the row read.
// Unwrapped, lines over 16,384 characters with tabs, combining marks or right-to-left text show
// at the left edge the column scrolled to, and their end; a right-to-left line starts at the left.
TEST_F(TailViewTest, EveryPartOfALongLineIsReachedWrappedOrNot) {
    QString last;
    for (int i = 0; last.size() < 21 * 1024; ++i)
        last += QStringLiteral("w%1 ").arg(i, 5, 10, QLatin1Char('0'));
    last += QStringLiteral("THE-END");
    ViewSnapshotBuilder builder;
    for (int i = 0; i < 30; ++i)
        builder.Append(LineText(i));
    builder.Append(last);
    view_.SetWrap(true);
    view_.SetSnapshot(builder.Build());
    view_.setFocus();
    QTest::keyClick(&view_, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view_.AtBottom());
    const int endRow = view_.viewport()->height() / spacing_ - 1;
    const ViewPosition lastRow =
        view_.PositionAt(QPoint(view_.viewport()->width() - 2, (endRow - 1) * spacing_));
    EXPECT_EQ(lastRow, (ViewPosition{30, last.size()})) << "the last row holds the end of the line";
    EXPECT_TRUE(HasInk(Shot(), (endRow - 1) * spacing_, endRow * spacing_, base_));
    // A pass that keeps the line keeps the rows read; at the line's start it is not at the bottom.
    view_.SetSnapshot(builder.Build());
    view_.SetFirstVisibleLine(30);
    EXPECT_EQ(view_.PositionAt(QPoint(view_.viewport()->width() - 2, (endRow - 1) * spacing_)), lastRow);
    QTest::keyClick(&view_, Qt::Key_Home, Qt::ControlModifier);
    view_.SetFirstVisibleLine(30);
    EXPECT_FALSE(view_.AtBottom()) << "the line's start: its end is not on screen";
    qsizetype seen = 0;
    for (int step = 0; step < 2000 && !view_.AtBottom(); ++step) {
        QWheelEvent down(QPointF(10, 10), view_.mapToGlobal(QPointF(10, 10)), {}, QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_.viewport(), &down);
        const ViewPosition top = view_.PositionAt(QPoint(kTextLeft, 0));
        if (top.line == 30) {
            ASSERT_GE(top.column, seen) << "rows read in order";
            ASSERT_LE(top.column - seen, 3 * 80) << "no row skipped";
            seen = top.column;
        }
    }
    EXPECT_TRUE(view_.AtBottom());
    EXPECT_GT(seen, last.size() - 40 * 80);

    view_.SetWrap(false);
    const QString pieces[] = {QStringLiteral("tab\tstop "), QStringLiteral("e\u0301te\u0301 "),
                              QStringLiteral("\u05e9\u05dc\u05d5\u05dd abc ")};
    for (const QString& piece : pieces) {
        SCOPED_TRACE(piece.toStdString());
        ViewSnapshotBuilder wide;
        wide.Append(piece.repeated(40000 / piece.size()) + QStringLiteral("END"));
        wide.Append(pieces[2]);
        view_.SetSnapshot(wide.Build());
        const qsizetype length = view_.Snapshot().LineLength(0);
        QScrollBar* bar = view_.horizontalScrollBar();
        bar->setValue(0);
        EXPECT_TRUE(HasInk(Shot().copy(0, spacing_, 200, spacing_), 0, spacing_, base_))
            << "a right-to-left line starts at the left";
        for (int value = 0; value < bar->maximum(); value += bar->maximum() / 37) {
            bar->setValue(value);
            const qsizetype left = view_.PositionAt(QPoint(kTextLeft + 1, spacing_ / 2)).column;
            const qsizetype scrolled = qsizetype(value / QFontMetricsF(view_.font()).averageCharWidth());
            if (piece != pieces[2]) { // a right-to-left run puts its last letters first
                ASSERT_LE(std::abs(left - scrolled), 3) << value; // a character and a mark apart at most
            }
        }
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        bar->setValue(bar->maximum()); // the range may have grown once the end was measured
        const ViewPosition end = view_.PositionAt(QPoint(view_.viewport()->width() / 2, spacing_ / 2));
        EXPECT_GT(end.column, length - 200) << "the end is in view";
        EXPECT_TRUE(HasInk(Shot(), 0, spacing_, base_));
    }
}
