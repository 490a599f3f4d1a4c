#pragma once
// MatchHighlighter: marks the parts of each line on a TailView's screen that match the filter
// pattern (filter on and not inverted: a light background) and the alert pattern (alert on and not
// inverted: bold on a red tint), so the user sees why a line was kept or raised an alert.
//
// The patterns compile exactly as the pass compiles them (PatternMatcher: PCRE2, UTF, case as the
// pattern says, the same match limits); the highlighter holds its own compiled copies because a
// PatternMatcher serves one thread and the pass's belong to the pass. Only lines that the view
// lays out for the screen are searched, so the cost follows the window, not the text. A line on
// which a pattern is too costly gets no marks from that pattern; an inverted pattern marks
// nothing (what it kept are lines that do not match). A filter that is blank, or an empty alert
// pattern, marks nothing either, as they decide nothing.
//
// Colours come from the view's palette (MarkColorsFor) and follow its changes. The switches and
// patterns are read from the source when the view gets a new snapshot and on Refresh().
// GUI thread only. The window makes it a child of the view; it may also outlive the view.
#include <functional>

#include "engine/regex.h"
#include "widgets/mark_colors.h"
#include "widgets/view_mark_layers.h"

struct HighlightPatterns {
    bool filterOn = false;
    bool filterInverted = false;
    QString filter;
    bool alertOn = false;
    bool alertInverted = false;
    QString alert;
    friend bool operator==(const HighlightPatterns&, const HighlightPatterns&) = default;
};
using HighlightPatternSource = std::function<HighlightPatterns()>;

class MatchHighlighter final : public ViewMarkLayer {
    Q_OBJECT

public:
    MatchHighlighter(TailView& view, HighlightPatternSource source, QObject* parent = nullptr);

    // Reads the source again; repaints when the patterns or switches changed.
    void Refresh() override;
    QList<ViewMark> MarksFor(QStringView text, qsizetype from) override;
    const MarkColors& Colors() const { return colors_; }

private:
    void PaletteChanged() override;
    void Mark(PatternMatcher& matcher, QStringView text, qsizetype from, const QColor& background, bool bold,
              QList<ViewMark>& marks);

    HighlightPatternSource source_;
    HighlightPatterns patterns_;
    bool loaded_ = false;
    bool filterActive_ = false;
    bool alertActive_ = false;
    PatternMatcher filter_;
    PatternMatcher alert_;
    MarkColors colors_;
};
