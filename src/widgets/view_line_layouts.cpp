#include "widgets/view_line_layouts.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QTextOption>

namespace {

// Width given to an unwrapped line: wider than any line that is laid out whole.
constexpr qreal kNoWrapWidth = 4e6;
// Cache cost of a layout: one per 64 characters, so the cache holds about 512K characters.
constexpr int kCacheCost = 8192;
// Slices of long lines start on multiples of this many columns, so a small scroll reuses them.
constexpr qsizetype kSliceStep = 2048;

QList<QTextLayout::FormatRange> FormatsOf(const QList<ViewMark>& marks, qsizetype from, qsizetype size) {
    QList<QTextLayout::FormatRange> formats;
    for (const ViewMark& mark : marks) {
        const qsizetype start = std::max(mark.start, from);
        const qsizetype end = std::min(mark.start + mark.length, from + size);
        if (end <= start)
            continue;
        QTextLayout::FormatRange range;
        range.start = int(start - from);
        range.length = int(end - start);
        if (mark.background.isValid() && !mark.wholeLine)
            range.format.setBackground(mark.background);
        if (mark.foreground.isValid())
            range.format.setForeground(mark.foreground);
        if (mark.bold)
            range.format.setFontWeight(QFont::Bold);
        formats.push_back(range);
    }
    return formats;
}

} // namespace

ViewLineLayouts::ViewLineLayouts() : cache_(kCacheCost) {
    SetFont(font_);
}

void ViewLineLayouts::SetFont(const QFont& font) {
    font_ = font;
    const QFontMetricsF metrics(font_);
    charWidth_ = std::max<qreal>(1, metrics.averageCharWidth());
    lineSpacing_ = std::max(1, int(std::ceil(metrics.lineSpacing())));
    cache_.clear();
}

void ViewLineLayouts::SetTabStop(qreal pixels) {
    if (pixels == tabStop_)
        return;
    tabStop_ = pixels;
    cache_.clear();
}

void ViewLineLayouts::SetWrap(bool wrap, qreal wrapWidth) {
    if (wrap == wrap_ && (!wrap || wrapWidth == wrapWidth_))
        return;
    wrap_ = wrap;
    wrapWidth_ = wrapWidth;
    cache_.clear();
}

void ViewLineLayouts::SetMarksProvider(ViewMarksProvider provider) {
    marks_ = std::move(provider);
    cache_.clear();
}

ViewLineLayouts::Entry* ViewLineLayouts::Make(const QString& text, qsizetype from) {
    auto entry = std::make_unique<Entry>();
    QTextLayout& layout = entry->layout;
    layout.setText(text);
    layout.setFont(font_);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTabStopDistance(tabStop_);
    option.setWrapMode(wrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    if (marks_) {
        const QList<ViewMark> marks = marks_(text, from);
        layout.setFormats(FormatsOf(marks, from, text.size()));
        for (const ViewMark& mark : marks) {
            if (mark.wholeLine && mark.background.isValid())
                entry->lineBackground = mark.background;
        }
    }
    layout.beginLayout();
    int rows = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(wrap_ ? wrapWidth_ : kNoWrapWidth);
        row.setPosition(QPointF(0, rows * lineSpacing_));
        ++rows;
    }
    layout.endLayout();
    entry->rows = std::max(1, rows);
    return entry.release();
}

ViewLineLayouts::Laid ViewLineLayouts::Get(qint64 line, qreal visibleX, qreal visibleWidth) {
    const qsizetype length = snapshot_.LineLength(line);
    if (wrap_ || length <= kLongLineUnits)
        return Segment(line, 0);
    if (visibleWidth <= 0)
        visibleWidth = kSliceStep * charWidth_;
    // The column at the left edge, and a slice around it that covers the screen.
    const qsizetype left = std::min(length, qsizetype(std::max<qreal>(0, visibleX) / charWidth_));
    const qsizetype columns = qsizetype(std::ceil(visibleWidth / charWidth_));
    const qsizetype from = StartAt(line, left / kSliceStep * kSliceStep);
    const Key key{snapshot_.LineKey(line), from, 2 * kSliceStep + 2 * ((columns + 511) / 512 * 512)};
    Laid laid = Cached(line, key);
    const QTextLine row = laid.layout->lineAt(0);
    laid.x = left * charWidth_ - (row.isValid() ? row.cursorToX(int(left - from)) : 0);
    return laid;
}

int ViewLineLayouts::Segments(qint64 line) const {
    const qsizetype length = snapshot_.LineLength(line);
    return wrap_ && length > kLongLineUnits ? int((length + kLongLineUnits - 1) / kLongLineUnits) : 1;
}

qsizetype ViewLineLayouts::StartAt(qint64 line, qsizetype column) const {
    if (column <= 0)
        return 0;
    constexpr qsizetype kLookBack = 64;
    const qsizetype from = std::max<qsizetype>(0, column - kLookBack);
    const QString around = snapshot_.LineSlice(line, from, column - from + 1);
    qsizetype at = column - from;
    while (at > 0 && at < around.size() && (around[at].isLowSurrogate() || around[at].isMark()))
        --at;
    return from + at;
}

int ViewLineLayouts::SegmentOf(qint64 line, qsizetype column) const {
    const int count = Segments(line);
    if (count == 1)
        return 0;
    const int segment = int(std::min<qsizetype>(column / kLongLineUnits, count - 1));
    return segment + 1 < count && column >= StartAt(line, qsizetype(segment + 1) * kLongLineUnits)
               ? segment + 1
               : segment;
}

ViewLineLayouts::Laid ViewLineLayouts::Segment(qint64 line, int segment) {
    const qsizetype length = snapshot_.LineLength(line);
    if (Segments(line) == 1)
        return length <= kLongLineUnits ? Cached(line, {snapshot_.LineKey(line), 0, length}) : Get(line);
    const qsizetype from = StartAt(line, qsizetype(segment) * kLongLineUnits);
    const qsizetype to =
        segment + 1 < Segments(line) ? StartAt(line, qsizetype(segment + 1) * kLongLineUnits) : length;
    return Cached(line, {snapshot_.LineKey(line), from, to - from});
}

ViewLineLayouts::Laid ViewLineLayouts::Cached(qint64 line, const Key& key) {
    const qsizetype length = snapshot_.LineLength(line);
    Entry* entry = cache_.object(key);
    if (!entry) {
        const bool whole = key.from == 0 && key.length >= length;
        entry =
            Make(whole ? snapshot_.Line(line) : snapshot_.LineSlice(line, key.from, key.length), key.from);
        cache_.insert(key, entry, 1 + int(entry->layout.text().size() / 64));
    }
    // Segments start rows of their own; a slice is placed by Get.
    return {&entry->layout,       key.from, entry->layout.text().size(), length, 0, entry->rows,
            entry->lineBackground};
}
