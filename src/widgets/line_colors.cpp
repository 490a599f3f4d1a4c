#include "widgets/line_colors.h"

#include "widgets/tail_view.h"

namespace {

// Under the filter's and alert's marks (0) and the find bar's.
constexpr int kLineColorRank = -10;

bool SameSettings(const LineColorSettings& a, const LineColorSettings& b) {
    return a.byLevel == b.byLevel && a.rules == b.rules && a.levelsOf == b.levelsOf &&
           bool(a.levels) == bool(b.levels);
}

} // namespace

LineColorizer::LineColorizer(TailView& view, LineColorSource source, QObject* parent)
    : ViewMarkLayer(view, kLineColorRank, parent), source_(std::move(source)),
      levelColors_(LevelColorsFor(view.palette())) {
    Refresh();
}

void LineColorizer::Refresh() {
    LineColorSettings settings = source_ ? source_() : LineColorSettings{};
    if (loaded_ && SameSettings(settings, settings_))
        return;
    loaded_ = true;
    settings_ = std::move(settings);
    rules_.clear();
    for (const HighlightRule& rule : settings_.rules) {
        auto matcher = std::make_unique<PatternMatcher>();
        matcher->SetTimeBound(kMarksSearchBudget);
        if (!rule.pattern.isEmpty() && matcher->SetPattern(rule.pattern))
            rules_.push_back(Rule{rule, {}, {}, std::move(matcher)});
    }
    PaletteChanged();
}

void LineColorizer::PaletteChanged() {
    const QPalette palette = view_.palette();
    levelColors_ = LevelColorsFor(palette);
    for (Rule& r : rules_) {
        r.background = QColor(r.rule.color & 0xFF, (r.rule.color >> 8) & 0xFF, (r.rule.color >> 16) & 0xFF);
        r.text = TextColorOn(r.background, palette);
    }
    Changed();
}

QList<ViewMark> LineColorizer::MarksFor(QStringView text, qsizetype from) {
    QList<ViewMark> marks;
    if (settings_.byLevel)
        AddLevelMark(text, from, marks);
    // The last rule first: a later mark is drawn over an earlier one.
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule)
        AddRuleMarks(*rule, text, from, marks);
    return marks;
}

void LineColorizer::AddLevelMark(QStringView text, qsizetype from, QList<ViewMark>& marks) const {
    if (from != 0 || text.isEmpty())
        return;
    const LineLevel level = settings_.levels ? settings_.levels(text) : LevelOfText(text);
    const QColor color = level == LineLevel::Error     ? levelColors_.error
                         : level == LineLevel::Warning ? levelColors_.warning
                         : level == LineLevel::Debug   ? levelColors_.debug
                                                       : QColor();
    if (color.isValid())
        marks.push_back({0, text.size(), QColor(), false, color});
}

void LineColorizer::AddRuleMarks(Rule& rule, QStringView text, qsizetype from, QList<ViewMark>& marks) {
    const qsizetype before = marks.size();
    const bool whole = rule.rule.wholeLine;
    const MatchResult result =
        whole ? rule.matcher->Search(text)
              : rule.matcher->ForEachMatch(text, [&](qsizetype start, qsizetype end) {
                    if (end > start)
                        marks.push_back({from + start, end - start, rule.background, false, rule.text});
                });
    if (result != MatchResult::NotFound && result != MatchResult::Found) {
        marks.resize(before); // too costly or failed: this rule marks nothing on this line
        return;
    }
    if (whole && result == MatchResult::Found)
        marks.push_back({from, text.size(), rule.background, false, rule.text, true});
}
