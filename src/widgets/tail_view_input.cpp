// TailView: selection by mouse and keyboard, the caret, and copying.
#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "widgets/selection_mime_data.h"
#include "widgets/tail_view.h"

namespace {

// Characters scanned around a position for word moves and double clicks.
constexpr qsizetype kWordWindow = 256;

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark() || c == u'_';
}

bool IsPair(QStringView two) {
    return two.size() == 2 && two[0].isHighSurrogate() && two[1].isLowSurrogate();
}

} // namespace

ViewPosition TailView::Clamped(ViewPosition at) const {
    if (LineCount() == 0)
        return {};
    at.line = std::clamp<qint64>(at.line, 0, LineCount() - 1);
    at.column = std::clamp<qsizetype>(at.column, 0, snapshot_.LineLength(at.line));
    return at;
}

ViewRange TailView::Selection() const {
    return anchor_ < cursor_ ? ViewRange{anchor_, cursor_} : ViewRange{cursor_, anchor_};
}

void TailView::SetSelection(ViewPosition anchor, ViewPosition cursor) {
    const ViewRange before = Selection();
    const bool had = HasSelection();
    anchor_ = Clamped(anchor);
    cursor_ = Clamped(cursor);
    viewport()->update();
    if (had != HasSelection() || (HasSelection() && before != Selection()))
        emit selectionChanged();
}

void TailView::Select(ViewRange range) {
    SetSelection(range.from, range.to);
}

void TailView::SelectAll() {
    if (LineCount() > 0)
        SetSelection({0, 0}, {LineCount() - 1, snapshot_.LineLength(LineCount() - 1)});
}

void TailView::ClearSelection() {
    SetSelection(cursor_, cursor_);
}

QString TailView::SelectedText() const {
    return HasSelection() ? snapshot_.TextBetween(Selection(), u"\r\n") : QString();
}

void TailView::Copy() const {
    if (HasSelection())
        QGuiApplication::clipboard()->setMimeData(
            MakeSelectionMimeData(snapshot_, Selection(), u"\n").release(), QClipboard::Clipboard);
}

void TailView::ShareSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(MakeSelectionMimeData(snapshot_, Selection(), u"\n").release(),
                               QClipboard::Selection);
}

ViewPosition TailView::NextCharacter(ViewPosition at, int direction) const {
    const qsizetype length = snapshot_.LineLength(at.line);
    if (direction > 0) {
        if (at.column >= length)
            return at.line + 1 < LineCount() ? ViewPosition{at.line + 1, 0} : at;
        return {at.line, at.column + (IsPair(snapshot_.LineSlice(at.line, at.column, 2)) ? 2 : 1)};
    }
    if (at.column <= 0)
        return at.line > 0 ? ViewPosition{at.line - 1, snapshot_.LineLength(at.line - 1)} : at;
    const bool pair = at.column >= 2 && IsPair(snapshot_.LineSlice(at.line, at.column - 2, 2));
    return {at.line, at.column - (pair ? 2 : 1)};
}

// The start of the next word (direction 1) or of this or the previous one (-1), within the line;
// at a line's edge the move goes to the next or previous line.
ViewPosition TailView::WordEdge(ViewPosition at, int direction) const {
    const qsizetype length = snapshot_.LineLength(at.line);
    if ((direction > 0 && at.column >= length) || (direction < 0 && at.column <= 0))
        return NextCharacter(at, direction);
    const qsizetype from = std::max<qsizetype>(0, at.column - kWordWindow);
    const QString text = snapshot_.LineSlice(at.line, from, 2 * kWordWindow);
    qsizetype i = at.column - from;
    if (direction > 0) {
        while (i < text.size() && IsWordCharacter(text[i]))
            ++i;
        while (i < text.size() && !IsWordCharacter(text[i]))
            ++i;
    } else {
        while (i > 0 && !IsWordCharacter(text[i - 1]))
            --i;
        while (i > 0 && IsWordCharacter(text[i - 1]))
            --i;
    }
    return {at.line, from + i};
}

ViewRange TailView::WordAt(ViewPosition at) const {
    const qsizetype from = std::max<qsizetype>(0, at.column - kWordWindow);
    const QString text = snapshot_.LineSlice(at.line, from, 2 * kWordWindow);
    if (text.isEmpty())
        return {at, at};
    const qsizetype i = std::min(at.column - from, text.size() - 1);
    qsizetype start = i, end = i + 1;
    if (IsWordCharacter(text[i])) {
        while (start > 0 && IsWordCharacter(text[start - 1]))
            --start;
        while (end < text.size() && IsWordCharacter(text[end]))
            ++end;
    } else if (text[i].isHighSurrogate() && end < text.size()) {
        ++end;
    }
    return {{at.line, from + start}, {at.line, from + end}};
}

void TailView::MoveCursor(ViewPosition to, bool extend, bool keepColumn) {
    if (!keepColumn)
        wantedColumn_ = -1;
    SetSelection(extend ? anchor_ : to, to);
    EnsureVisible(cursor_);
    if (extend)
        ShareSelection();
}

bool TailView::MoveByKey(QKeyEvent* event) {
    using K = QKeySequence;
    const auto is = [event](K::StandardKey move, K::StandardKey select, bool& extend) {
        extend = event->matches(select);
        return extend || event->matches(move);
    };
    if (LineCount() == 0)
        return false;
    bool extend = false;
    const ViewPosition at = cursor_;
    const auto vertical = [&](qint64 lines) {
        const qint64 line = std::clamp<qint64>(at.line + lines, 0, LineCount() - 1);
        wantedColumn_ = wantedColumn_ < 0 ? at.column : wantedColumn_;
        MoveCursor({line, std::min(wantedColumn_, snapshot_.LineLength(line))}, extend, true);
    };
    if (is(K::MoveToNextChar, K::SelectNextChar, extend)) {
        MoveCursor(NextCharacter(at, 1), extend);
    } else if (is(K::MoveToPreviousChar, K::SelectPreviousChar, extend)) {
        MoveCursor(NextCharacter(at, -1), extend);
    } else if (is(K::MoveToNextWord, K::SelectNextWord, extend)) {
        MoveCursor(WordEdge(at, 1), extend);
    } else if (is(K::MoveToPreviousWord, K::SelectPreviousWord, extend)) {
        MoveCursor(WordEdge(at, -1), extend);
    } else if (is(K::MoveToNextLine, K::SelectNextLine, extend)) {
        vertical(1);
    } else if (is(K::MoveToPreviousLine, K::SelectPreviousLine, extend)) {
        vertical(-1);
    } else if (is(K::MoveToNextPage, K::SelectNextPage, extend)) {
        if (Wrap()) {
            PageRows(1, extend);
        } else {
            const qint64 page = LinesThatFit();
            ScrollLines(page);
            vertical(page);
        }
    } else if (is(K::MoveToPreviousPage, K::SelectPreviousPage, extend)) {
        if (Wrap()) {
            PageRows(-1, extend);
        } else {
            const qint64 page = LinesThatFit();
            ScrollLines(-page);
            vertical(-page);
        }
    } else if (is(K::MoveToStartOfLine, K::SelectStartOfLine, extend)) {
        MoveCursor({at.line, 0}, extend);
    } else if (is(K::MoveToEndOfLine, K::SelectEndOfLine, extend)) {
        MoveCursor({at.line, snapshot_.LineLength(at.line)}, extend);
    } else if (is(K::MoveToStartOfDocument, K::SelectStartOfDocument, extend)) {
        MoveCursor({0, 0}, extend);
    } else if (is(K::MoveToEndOfDocument, K::SelectEndOfDocument, extend)) {
        MoveCursor({LineCount() - 1, snapshot_.LineLength(LineCount() - 1)}, extend);
        ScrollToEnd();
    } else {
        return false;
    }
    return true;
}

void TailView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        ShareSelection();
    } else if (event->matches(QKeySequence::Copy)) {
        Copy();
    } else if (!MoveByKey(event)) {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TailView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const ViewPosition at = PositionAt(point);
    wantedColumn_ = -1;
    if (tripleClick_.isActive() &&
        (point - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance()) {
        tripleClick_.stop();
        SetSelection({at.line, 0}, {at.line, snapshot_.LineLength(at.line)});
        ShareSelection();
        return;
    }
    SetSelection(event->modifiers() & Qt::ShiftModifier ? anchor_ : at, at);
    dragging_ = true;
    dragPoint_ = point;
}

void TailView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    doubleClickPoint_ = event->position().toPoint();
    const ViewRange word = WordAt(PositionAt(doubleClickPoint_));
    SetSelection(word.from, word.to);
    ShareSelection();
    dragging_ = false;
    tripleClick_.start(QApplication::doubleClickInterval(), this);
}

void TailView::DragTo(QPoint point) {
    dragPoint_ = point;
    const QPoint inside(point.x(), std::clamp(point.y(), 0, viewport()->height() - 1));
    SetSelection(anchor_, PositionAt(inside));
}

void TailView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    DragTo(event->position().toPoint());
    // Outside the viewport the view scrolls on its own while the button is held.
    if (viewport()->rect().contains(dragPoint_))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start(50, this);
}

void TailView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (dragging_) {
        dragging_ = false;
        autoScroll_.stop();
        ShareSelection();
    }
}

void TailView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == tripleClick_.timerId()) {
        tripleClick_.stop();
    } else if (event->timerId() == autoScroll_.timerId()) {
        const int spacing = layouts_.LineSpacing();
        const auto scroll = [this](qint64 n) { Wrap() ? ScrollRows(n) : ScrollLines(n); };
        if (dragPoint_.y() < 0)
            scroll(-1 - (-dragPoint_.y()) / spacing);
        else if (dragPoint_.y() >= viewport()->height())
            scroll(1 + (dragPoint_.y() - viewport()->height()) / spacing);
        QScrollBar* bar = horizontalScrollBar();
        const int step = 4 * bar->singleStep();
        if (dragPoint_.x() < 0)
            bar->setValue(bar->value() - step);
        else if (dragPoint_.x() >= viewport()->width())
            bar->setValue(bar->value() + step);
        DragTo(dragPoint_);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TailView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TailView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
