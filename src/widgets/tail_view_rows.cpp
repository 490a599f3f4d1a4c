// TailView: the rows of the text on screen. Without wrap a row is a line; with wrap a line is
// laid out in segments (one for a line of common length) whose rows are the rows of the screen.
// Every walk here goes row by row from a known place and stops after a screen or so, so a line of
// any length costs the segments that show.
#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include "widgets/tail_view.h"

ViewLineLayouts::Laid TailView::LaidAt(qint64 line, int segment) const {
    return Wrap() ? layouts_.Segment(line, segment)
                  : layouts_.Get(line, horizontalScrollBar()->value() - TextMargin(), viewport()->width());
}

TailView::RowPos TailView::Top() const {
    const qint64 line = FirstVisibleLine();
    if (!Wrap() || !topKept_ || line >= LineCount() || !(snapshot_.LineKey(line) == topKey_))
        return {line, 0, 0};
    // The line's rows may have changed since (another width): the row stays within them.
    const int segment = std::min(topSegment_, layouts_.Segments(line) - 1);
    return {line, segment, std::min(topRow_, layouts_.Segment(line, segment).rows - 1)};
}

void TailView::SetTop(RowPos top) {
    topKept_ = top.line < LineCount() && (top.segment > 0 || top.row > 0);
    if (topKept_) {
        topKey_ = snapshot_.LineKey(top.line);
        topSegment_ = top.segment;
        topRow_ = top.row;
    }
    SetFirstVisibleLine(top.line);
    viewport()->update(); // the same line from another row moves no scroll bar
    RememberBottom();
}

TailView::RowPos TailView::Next(RowPos at) const {
    return at.segment + 1 < layouts_.Segments(at.line) ? RowPos{at.line, at.segment + 1, 0}
                                                       : RowPos{at.line + 1, 0, 0};
}

TailView::RowPos TailView::Step(RowPos at, qint64 rows) const {
    const qint64 count = LineCount();
    if (!Wrap())
        return {std::clamp<qint64>(at.line + rows, 0, count), 0, 0};
    while (rows > 0 && at.line < count) {
        const int after = LaidAt(at.line, at.segment).rows - 1 - at.row;
        if (rows <= after) {
            at.row += int(rows);
            return at;
        }
        rows -= after + 1;
        at = Next(at);
    }
    while (rows < 0 && at > RowPos{}) {
        if (at.row >= -rows) {
            at.row += int(rows);
            return at;
        }
        rows += at.row + 1;
        if (at.segment > 0) {
            --at.segment;
        } else {
            --at.line;
            at.segment = layouts_.Segments(at.line) - 1;
        }
        at.row = LaidAt(at.line, at.segment).rows - 1;
    }
    return at;
}

// The end of the text in the last row of the screen, the top moved on to a line's start when
// that leaves the end on screen: only a last line taller than the screen is shown from a row
// inside it.
TailView::RowPos TailView::LastTop() const {
    const RowPos top = Step({LineCount(), 0, 0}, -(RowsOnScreen() - 1));
    if ((top.segment == 0 && top.row == 0) || top.line >= LineCount() - 1)
        return top;
    return {top.line + 1, 0, 0};
}

TailView::RowPos TailView::RowOf(ViewPosition at) const {
    if (!Wrap() || at.line >= LineCount())
        return {at.line, 0, 0};
    const int segment = layouts_.SegmentOf(at.line, at.column);
    const ViewLineLayouts::Laid laid = layouts_.Segment(at.line, segment);
    const QTextLine row = laid.layout->lineForTextPosition(int(at.column - laid.from));
    return {at.line, segment, row.isValid() ? row.lineNumber() : 0};
}

int TailView::RowsToLineEnd(RowPos from, int limit) const {
    if (!Wrap())
        return 1;
    int rows = LaidAt(from.line, from.segment).rows - from.row;
    for (int segment = from.segment + 1; segment < layouts_.Segments(from.line) && rows <= limit; ++segment)
        rows += LaidAt(from.line, segment).rows;
    return rows;
}

qint64 TailView::LinesThatFit() const {
    const int rows = RowsOnScreen();
    if (!Wrap())
        return rows;
    RowPos at = Top();
    int used = 0;
    qint64 fit = 0;
    for (; at.line < LineCount(); at = {at.line + 1, 0, 0}) {
        const int needed = RowsToLineEnd(at, rows - used);
        if (used + needed > rows)
            return std::max<qint64>(1, fit);
        used += needed;
        ++fit;
    }
    return std::max<qint64>(1, fit + (rows - used));
}

void TailView::ScrollToEnd() {
    SetTop(LastTop());
}

void TailView::ScrollRows(qint64 rows) {
    SetTop(std::min(Step(Top(), rows), LastTop()));
}

void TailView::EnsureVisible(ViewPosition at, Place place) {
    if (LineCount() == 0)
        return;
    at = Clamped(at);
    const RowPos target = RowOf(at);
    const int rows = RowsOnScreen();
    const RowPos top = Top();
    // A top inside a line above the target's goes to the next line's start: whole lines above it.
    const auto lineStart = [&](RowPos p) {
        return (p.segment == 0 && p.row == 0) || p.line >= target.line ? p : RowPos{p.line + 1, 0, 0};
    };
    if (place == Place::Center) {
        SetTop(std::min(lineStart(Step(target, -(rows / 2))), LastTop()));
    } else if (target < top) {
        const RowPos start{target.line, 0, 0};
        SetTop(Step(start, rows - 1) >= target ? start : target);
    } else if (Step(top, rows - 1) < target) {
        SetTop(std::min(lineStart(Step(target, -(rows - 1))), LastTop()));
    }
    if (Wrap())
        return;
    QScrollBar* bar = horizontalScrollBar();
    const qreal x = XOf(at);
    const qreal width = viewport()->width() - 2 * TextMargin() - layouts_.CharWidth();
    if (place == Place::Center)
        bar->setValue(int(x - width / 2));
    else if (x < bar->value())
        bar->setValue(int(x));
    else if (x > bar->value() + width)
        bar->setValue(int(std::ceil(x - width)));
}

ViewPosition TailView::PositionAt(QPoint point) const {
    const qint64 count = LineCount();
    if (count == 0)
        return {};
    const RowPos at = Step(Top(), std::max(0, point.y()) / layouts_.LineSpacing());
    if (at.line >= count)
        return {count - 1, snapshot_.LineLength(count - 1)};
    const ViewLineLayouts::Laid laid = LaidAt(at.line, at.segment);
    const QTextLine row = laid.layout->lineAt(std::clamp(at.row, 0, laid.layout->lineCount() - 1));
    const qsizetype column = laid.from + row.xToCursor(point.x() - TextLeft() - laid.x);
    return {at.line, std::clamp<qsizetype>(column, 0, laid.lineLength)};
}

QRect TailView::LineRect(qint64 line) const {
    const RowPos top = Top();
    if (line < top.line || line >= LineCount())
        return {};
    const int spacing = layouts_.LineSpacing();
    const int limit = viewport()->height() / spacing + 1; // a row cut by the bottom edge counts
    int above = 0;
    for (RowPos at = top; at.line < line; at = {at.line + 1, 0, 0}) {
        above += RowsToLineEnd(at, limit - above);
        if (above * spacing >= viewport()->height())
            return {};
    }
    const RowPos from = line == top.line ? top : RowPos{line, 0, 0};
    const int rows = std::min(RowsToLineEnd(from, limit - above), limit - above);
    return QRect(0, above * spacing, viewport()->width(), rows * spacing);
}

void TailView::wheelEvent(QWheelEvent* event) {
    if (!Wrap() || event->modifiers() != Qt::NoModifier) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Rows, not lines: a wrapped line taller than the screen is read through, not jumped over.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        ScrollRows(-qint64(notches) * QApplication::wheelScrollLines());
    event->accept();
}

// The text moves by a screen less a row and the caret keeps its place on the screen; at the end
// of the text the caret goes to it.
void TailView::PageRows(int direction, bool extend) {
    const int rows = std::max(1, RowsOnScreen() - 1);
    const RowPos caretRow = RowOf(cursor_);
    const RowPos top = Top();
    int onScreen = 0;
    for (RowPos at = top; at < caretRow && onScreen < RowsOnScreen(); at = Step(at, 1))
        ++onScreen;
    if (caretRow < top || onScreen >= RowsOnScreen())
        onScreen = 0;
    const ViewLineLayouts::Laid laid = LaidAt(caretRow.line, caretRow.segment);
    const QTextLine row = laid.layout->lineAt(std::clamp(caretRow.row, 0, laid.layout->lineCount() - 1));
    const QPoint caret(int(TextLeft() + laid.x + row.cursorToX(int(cursor_.column - laid.from))),
                       onScreen * layouts_.LineSpacing() + layouts_.LineSpacing() / 2);
    ScrollRows(direction * rows);
    if (Top() == top) {
        const qint64 last = LineCount() - 1;
        MoveCursor(direction > 0 ? ViewPosition{last, snapshot_.LineLength(last)} : ViewPosition{}, extend);
        return;
    }
    MoveCursor(PositionAt(caret), extend);
}
