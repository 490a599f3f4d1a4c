#include "widgets/match_highlight.h"

#include <algorithm>

#include "widgets/tail_view.h"

namespace {

// Marks drawn under the find bar's.
constexpr int kHighlightRank = 0;

// A filter whose text trimmed of blanks and control characters is empty filters nothing.
bool BlankPattern(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0x20; });
}

} // namespace

MatchHighlighter::MatchHighlighter(TailView& view, HighlightPatternSource source, QObject* parent)
    : ViewMarkLayer(view, kHighlightRank, parent), source_(std::move(source)),
      colors_(MarkColorsFor(view.palette())) {
    filter_.SetTimeBound(kMarksSearchBudget);
    alert_.SetTimeBound(kMarksSearchBudget);
    Refresh();
}

void MatchHighlighter::Refresh() {
    HighlightPatterns patterns = source_ ? source_() : HighlightPatterns{};
    if (loaded_ && patterns == patterns_)
        return;
    loaded_ = true;
    patterns_ = std::move(patterns);
    filterActive_ = patterns_.filterOn && !patterns_.filterInverted && !BlankPattern(patterns_.filter) &&
                    filter_.SetPattern(patterns_.filter);
    alertActive_ = patterns_.alertOn && !patterns_.alertInverted && !patterns_.alert.isEmpty() &&
                   alert_.SetPattern(patterns_.alert);
    Changed();
}

void MatchHighlighter::PaletteChanged() {
    colors_ = MarkColorsFor(view_.palette());
    Changed();
}

QList<ViewMark> MatchHighlighter::MarksFor(QStringView text, qsizetype from) {
    QList<ViewMark> marks;
    if (filterActive_)
        Mark(filter_, text, from, colors_.filter, false, marks);
    if (alertActive_)
        Mark(alert_, text, from, colors_.alert, true, marks);
    return marks;
}

void MatchHighlighter::Mark(PatternMatcher& matcher, QStringView text, qsizetype from,
                            const QColor& background, bool bold, QList<ViewMark>& marks) {
    const qsizetype before = marks.size();
    const MatchResult result = matcher.ForEachMatch(text, [&](qsizetype start, qsizetype end) {
        if (end > start)
            marks.push_back({from + start, end - start, background, bold, colors_.text});
    });
    if (result != MatchResult::NotFound)
        marks.resize(before); // too costly or failed: this line is not marked at all
}
