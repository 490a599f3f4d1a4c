// TailView: snapshot, scroll position, geometry and painting. Input and selection are in
// tail_view_input.cpp.
#include "widgets/tail_view.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int kMargin = TailView::TextMargin();

int ScrollValue(qint64 value) {
    return int(std::clamp<qint64>(value, 0, INT_MAX));
}

} // namespace

TailView::TailView(QWidget* parent) : QAbstractScrollArea(parent) {
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    layouts_.SetFont(font());
    layouts_.SetSnapshot(snapshot_);
    LayoutsFollowGeometry();
}

TailView::~TailView() = default;

void TailView::SetSnapshot(ViewSnapshot snapshot) {
    const qint64 first = FirstVisibleLine();
    const bool hadSelection = HasSelection();
    snapshot_ = std::move(snapshot);
    layouts_.SetSnapshot(snapshot_);
    anchor_ = cursor_ = Clamped(cursor_);
    currentMatch_.reset();
    UpdateScrollRanges();
    SetFirstVisibleLine(first);
    viewport()->update();
    RememberBottom();
    emit snapshotChanged();
    if (hadSelection)
        emit selectionChanged();
}

int TailView::RowsOnScreen() const {
    return std::max(1, viewport()->height() / layouts_.LineSpacing());
}

qreal TailView::TextLeft() const {
    return kMargin - (Wrap() ? 0 : horizontalScrollBar()->value());
}

void TailView::LayoutsFollowGeometry() {
    const bool atBottom = wasAtBottom_;
    followingGeometry_ = true;
    const qreal width = std::max<qreal>(layouts_.CharWidth(), viewport()->width() - 2 * kMargin);
    layouts_.SetWrap(layouts_.Wraps(), width);
    UpdateScrollRanges();
    if (atBottom)
        ScrollToEnd();
    followingGeometry_ = false;
    RememberBottom();
}

void TailView::RememberBottom() {
    if (!followingGeometry_)
        wasAtBottom_ = AtBottom();
}

qint64 TailView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

void TailView::SetFirstVisibleLine(qint64 line) {
    verticalScrollBar()->setValue(ScrollValue(line));
}

void TailView::ScrollLines(qint64 lines) {
    SetFirstVisibleLine(FirstVisibleLine() + lines);
}

void TailView::UpdateScrollRanges() {
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, ScrollValue(LastTop().line));
    bar->setSingleStep(1);
    bar->setPageStep(ScrollValue(LinesThatFit()));
    UpdateHorizontalRange();
}

void TailView::UpdateHorizontalRange() {
    QScrollBar* bar = horizontalScrollBar();
    if (Wrap()) {
        bar->setRange(0, 0);
        return;
    }
    const qreal charWidth = layouts_.CharWidth();
    const qreal content =
        std::max(widestSeen_, qreal(snapshot_.LongestLineLength()) * charWidth) + 2 * kMargin + charWidth;
    const qreal range = std::min<qreal>(INT_MAX, std::ceil(content) - viewport()->width());
    bar->setRange(0, std::max(0, int(range)));
    bar->setPageStep(viewport()->width());
    bar->setSingleStep(int(std::ceil(charWidth)));
}

qreal TailView::XOf(ViewPosition at) const {
    const ViewLineLayouts::Laid laid =
        layouts_.Get(at.line, horizontalScrollBar()->value() - kMargin, viewport()->width());
    const qsizetype column = at.column - laid.from;
    if (column < 0 || column > laid.length)
        return at.column * layouts_.CharWidth();
    const QTextLine row = laid.layout->lineForTextPosition(int(column));
    return laid.x + (row.isValid() ? row.cursorToX(int(column)) : 0);
}

void TailView::SetWrap(bool on) {
    if (on == Wrap())
        return;
    const qreal width = std::max<qreal>(layouts_.CharWidth(), viewport()->width() - 2 * kMargin);
    layouts_.SetWrap(on, width);
    widestSeen_ = 0;
    horizontalScrollBar()->setValue(0);
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    UpdateScrollRanges();
    viewport()->update();
}

void TailView::SetTabStopDistance(qreal pixels) {
    layouts_.SetTabStop(pixels);
    widestSeen_ = 0;
    UpdateScrollRanges();
    viewport()->update();
}

void TailView::SetMarksProvider(ViewMarksProvider provider) {
    layouts_.SetMarksProvider(std::move(provider));
    InvalidateMarks();
}

void TailView::InvalidateMarks() {
    layouts_.Clear();
    UpdateScrollRanges();
    viewport()->update();
}

void TailView::SetCurrentMatch(std::optional<ViewRange> match, QColor background) {
    currentMatch_ = match;
    currentMatchColor_ = background;
    viewport()->update();
}

void TailView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    LayoutsFollowGeometry();
}

void TailView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        layouts_.SetFont(font());
        widestSeen_ = 0;
        LayoutsFollowGeometry();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

void TailView::scrollContentsBy(int, int) {
    RememberBottom();
    viewport()->update();
}

QList<QTextLayout::FormatRange> TailView::DrawnRanges(qint64 line, const ViewLineLayouts::Laid& laid) const {
    QList<QTextLayout::FormatRange> ranges;
    const auto add = [&](const ViewRange& range, const QTextCharFormat& format) {
        if (range.to.line < line || range.from.line > line)
            return;
        const qsizetype start = std::max(range.from.line < line ? 0 : range.from.column, laid.from);
        const qsizetype end =
            std::min(range.to.line > line ? laid.lineLength : range.to.column, laid.from + laid.length);
        if (end > start)
            ranges.push_back({int(start - laid.from), int(end - start), format});
    };
    if (HasSelection()) {
        QTextCharFormat selected;
        selected.setBackground(palette().brush(QPalette::Highlight));
        selected.setForeground(palette().brush(QPalette::HighlightedText));
        add(Selection(), selected);
    }
    if (currentMatch_) {
        QTextCharFormat match;
        match.setBackground(currentMatchColor_);
        match.setForeground(palette().brush(QPalette::Text)); // over a level's or a rule's colour
        add(*currentMatch_, match);
    }
    return ranges;
}

void TailView::PaintLine(QPainter& painter, qint64 line, const ViewLineLayouts::Laid& laid, qreal y) {
    const QPointF origin(TextLeft() + laid.x, y);
    const int spacing = layouts_.LineSpacing();
    if (laid.lineBackground.isValid())
        painter.fillRect(QRectF(0, y, viewport()->width(), qreal(laid.rows) * spacing), laid.lineBackground);
    laid.layout->draw(&painter, origin, DrawnRanges(line, laid));
    // A selected line end shows as a selected blank after the text.
    const ViewPosition lineEnd{line, laid.lineLength};
    const ViewRange selection = Selection();
    if (HasSelection() && selection.from <= lineEnd && lineEnd < selection.to &&
        laid.from + laid.length >= laid.lineLength) {
        const QTextLine last = laid.layout->lineAt(laid.layout->lineCount() - 1);
        const qreal x = origin.x() + last.cursorToX(int(laid.length));
        painter.fillRect(QRectF(x, y + last.y(), layouts_.CharWidth(), spacing), palette().highlight());
    }
    const qsizetype caret = cursor_.column - laid.from;
    // At a boundary between two segments the caret is drawn in the second.
    const bool inLayout =
        caret >= 0 &&
        (caret < laid.length || (caret == laid.length && laid.from + laid.length >= laid.lineLength));
    if (hasFocus() && cursor_.line == line && inLayout) {
        const QTextLine row = laid.layout->lineForTextPosition(int(caret));
        if (row.isValid())
            painter.fillRect(QRectF(origin.x() + row.cursorToX(int(caret)), y + row.y(), 1, spacing),
                             palette().text());
    }
}

void TailView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const int height = viewport()->height();
    const int spacing = layouts_.LineSpacing();
    qreal widest = 0;
    RowPos at = Top();
    // The first layout starts above the screen by the rows of it scrolled past.
    qreal y = -qreal(at.row) * spacing;
    while (at.line < LineCount() && y < height) {
        const ViewLineLayouts::Laid laid = LaidAt(at.line, at.segment);
        const qreal rowsHeight = qreal(laid.rows) * spacing;
        if (QRectF(0, y, viewport()->width(), rowsHeight).intersects(event->rect()))
            PaintLine(painter, at.line, laid, y);
        if (!Wrap())
            widest = std::max(widest, laid.x + laid.layout->maximumWidth());
        y += rowsHeight;
        at = Next(at);
    }
    if (widest > widestSeen_) {
        // A line wider than its length suggests (wide glyphs, tabs): widen the range afterwards.
        widestSeen_ = widest;
        QMetaObject::invokeMethod(this, &TailView::UpdateHorizontalRange, Qt::QueuedConnection);
    }
}
