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

void ViewLineLayouts::SetWrap(bool wrap, qreal wrapWidth, int rowsOnScreen) {
    // Enough characters for a screen of rows of the narrowest common glyphs.
    const QFontMetricsF metrics(font_);
    qreal narrowest = charWidth_;
    for (QChar c : QStringLiteral("il.| "))
        narrowest = std::min(narrowest, metrics.horizontalAdvance(c));
    const qsizetype perRow = qsizetype(wrapWidth / std::max<qreal>(1, narrowest)) + 1;
    const qsizetype prefix = std::max(kLongLineUnits, (rowsOnScreen + 2) * perRow);
    if (wrap == wrap_ && (!wrap || (wrapWidth == wrapWidth_ && prefix == prefixUnits_)))
        return;
    wrap_ = wrap;
    wrapWidth_ = wrapWidth;
    prefixUnits_ = prefix;
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
    Key key{snapshot_.LineKey(line), 0, length};
    if (length > kLongLineUnits) {
        if (wrap_) {
            key.length = std::min(length, prefixUnits_);
        } else {
            const qsizetype columns = qsizetype(std::ceil(visibleWidth / charWidth_));
            const qsizetype first = qsizetype(std::max<qreal>(0, visibleX) / charWidth_);
            key.from = std::min(first, length) / kSliceStep * kSliceStep;
            key.length = 2 * kSliceStep + 2 * ((columns + 511) / 512 * 512);
        }
    }
    Entry* entry = cache_.object(key);
    if (!entry) {
        const bool whole = key.from == 0 && key.length >= length;
        entry =
            Make(whole ? snapshot_.Line(line) : snapshot_.LineSlice(line, key.from, key.length), key.from);
        cache_.insert(key, entry, 1 + int(entry->layout.text().size() / 64));
    }
    return {&entry->layout,        key.from,    entry->layout.text().size(), length,
            key.from * charWidth_, entry->rows, entry->lineBackground};
}
