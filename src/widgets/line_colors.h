#pragma once
// LineColorizer: colours the lines on a TailView's screen by the level they show (error red,
// warning amber, debug dimmed: LevelColorsFor the view's palette) and marks the user's highlight
// rules in their colours, on each match or on the whole line's rows. A rule above another in the
// list wins where both mark.
//
// Its marks lie under the filter's, the alert's and the find bar's (a lower rank), so those stay
// visible over level and rule colours. Only lines laid out for the screen are looked at. The rules
// compile as the filter does (PatternMatcher, PCRE2 with the same limits); a rule whose pattern
// does not compile marks nothing, and one that is too costly on a line marks nothing on it.
//
// A line's level comes from the source's own ranking where it has one (the levels lookup: the
// journal's priorities), else from the first level word of its text (util/line_level.h); a slice
// of a long line that does not start it shows no level.
//
// The settings are read from the source when the view gets a new snapshot and on Refresh().
// GUI thread only. The window makes it a child of the view; it may also outlive the view.
#include <functional>
#include <memory>
#include <vector>

#include "engine/regex.h"
#include "settings/highlight_rules.h"
#include "util/line_level.h"
#include "widgets/mark_colors.h"
#include "widgets/view_mark_layers.h"

struct LineColorSettings {
    bool byLevel = true;
    std::vector<HighlightRule> rules;
    // The source's ranking of its lines; null: the words of each line. levelsOf names what the
    // lookup belongs to (a new name is a new lookup).
    std::function<LineLevel(QStringView line)> levels;
    QString levelsOf;
};
using LineColorSource = std::function<LineColorSettings()>;

class LineColorizer final : public ViewMarkLayer {
    Q_OBJECT

public:
    LineColorizer(TailView& view, LineColorSource source, QObject* parent = nullptr);

    // Reads the source again; repaints when something changed.
    void Refresh() override;
    QList<ViewMark> MarksFor(QStringView text, qsizetype from) override;
    const LevelColors& Colors() const { return levelColors_; }

private:
    struct Rule {
        HighlightRule rule;
        QColor background;
        QColor text; // invalid: the palette's
        std::unique_ptr<PatternMatcher> matcher;
    };
    void PaletteChanged() override;
    void AddLevelMark(QStringView text, qsizetype from, QList<ViewMark>& marks) const;
    void AddRuleMarks(Rule& rule, QStringView text, qsizetype from, QList<ViewMark>& marks);

    LineColorSource source_;
    LineColorSettings settings_;
    bool loaded_ = false;
    std::vector<Rule> rules_; // valid patterns only, in the list's order
    LevelColors levelColors_;
};
