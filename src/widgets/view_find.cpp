#include "widgets/view_find.h"

#include <algorithm>

#include <QEvent>

#include "widgets/tail_view.h"
#include "widgets/view_mark_layers.h"

namespace {

// Drawn over the filter and alert marks.
constexpr int kFindRank = 10;
// How long the window's thread searches for a move before the count is known; further than that,
// the move waits for the count.
constexpr std::chrono::milliseconds kSyncSeekBudget{10};
// How long a move with the count known may search lines the count found to hold a match (each
// within the line budget) before it gives up.
constexpr std::chrono::milliseconds kIndexedSeekBudget{100};

using Clock = std::chrono::steady_clock;

std::chrono::microseconds Left(Clock::time_point deadline) {
    return std::max(std::chrono::microseconds(1),
                    std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()));
}
// Lines compared by text when a republished snapshot no longer shares the current match's line.
constexpr qint64 kTextSearchLines = 100000;

ViewRange RangeOf(qint64 line, const FindSpan& span) {
    return {{line, span.start}, {line, span.end}};
}

} // namespace

ViewFind::ViewFind(QObject* parent) : QObject(parent) {
    matcher_.SetTimeBound(kFindLineBudget);
    connect(&counter_, &FindCounter::counted, this, &ViewFind::OnCounted);
}

ViewFind::~ViewFind() {
    counter_.Stop();
    ViewMarkLayers::Remove(layers_, layer_);
}

void ViewFind::Attach(TailView& view) {
    view_ = &view;
    viewObject_ = &view;
    layers_ = &ViewMarkLayers::Of(view);
    layer_ =
        layers_->Add(kFindRank, [this](QStringView text, qsizetype from) { return MarksFor(text, from); });
    colors_ = MarkColorsFor(view.palette());
    snapshot_ = view.Snapshot();
    view.installEventFilter(this);
    connect(&view, &TailView::snapshotChanged, this, &ViewFind::OnSnapshot);
}

void ViewFind::SetQuery(const FindQuery& query) {
    query_ = query;
    valid_ = query.text.isEmpty() || matcher_.SetPattern(FindPattern(query), !query.matchCase);
    current_.reset();
    pending_.reset();
    index_.reset();
    counter_.Stop();
    if (Active()) {
        counter_.Count(query_, snapshot_, serial_);
        Move({{view_->FirstVisibleLine(), 0}, 1, true});
    } else {
        Show();
    }
    if (layers_)
        layers_->Changed();
}

bool ViewFind::Next() {
    if (!Active())
        return false;
    return Move(current_ ? SeekFrom{current_->from, 1, false}
                         : SeekFrom{{view_->FirstVisibleLine(), 0}, 1, true});
}

bool ViewFind::Previous() {
    if (!Active())
        return false;
    return Move(SeekFrom{current_ ? current_->from : ViewPosition{view_->FirstVisibleLine(), 0}, -1, false});
}

void ViewFind::Close() {
    SetQuery({});
}

bool ViewFind::Move(SeekFrom from) {
    bool waiting = false;
    const std::optional<ViewRange> match = Seek(from, waiting);
    if (waiting) {
        pending_ = from;
        return false;
    }
    pending_.reset();
    Go(match);
    return match.has_value();
}

void ViewFind::Go(std::optional<ViewRange> match) {
    current_ = match;
    if (current_ && view_) {
        // A match already on screen does not move the text; one off screen comes to the middle.
        const qint64 first = view_->FirstVisibleLine();
        const bool shown =
            current_->from.line >= first && current_->from.line < first + view_->LinesThatFit();
        view_->EnsureVisible(current_->from, shown ? TailView::Place::Nearest : TailView::Place::Center);
    }
    Show();
}

void ViewFind::Show() {
    if (view_)
        view_->SetCurrentMatch(current_, colors_.current);
    emit changed();
}

const FindIndex* ViewFind::Index() const {
    return index_ && index_->serial == serial_ && index_->query == query_ ? index_.get() : nullptr;
}

// The first match after `from` (direction 1) or the last one before it (-1), in the text read as
// a ring; `inclusive` also takes a match starting at `from`.
std::optional<ViewRange> ViewFind::Seek(const SeekFrom& from, bool& waiting) {
    const qint64 count = snapshot_.LineCount();
    if (count == 0)
        return std::nullopt;
    const bool indexed = Index() != nullptr;
    const Clock::time_point deadline = Clock::now() + (indexed ? kIndexedSeekBudget : kSyncSeekBudget);
    const auto budget = [&] { return indexed ? std::chrono::microseconds(kFindLineBudget) : Left(deadline); };
    const qint64 start = std::clamp<qint64>(from.at.line, 0, count - 1);
    // A position past the last line stands for the end of the text.
    const qsizetype column =
        start == from.at.line ? from.at.column : (from.at.line > start ? snapshot_.LineLength(start) + 1 : 0);
    const std::vector<FindSpan> here = LineMatches(start, budget());
    if (from.direction > 0) {
        const auto it = std::find_if(here.begin(), here.end(), [&](const FindSpan& s) {
            return from.inclusive ? s.start >= column : s.start > column;
        });
        if (it != here.end())
            return RangeOf(start, *it);
    } else {
        const auto it =
            std::find_if(here.rbegin(), here.rend(), [&](const FindSpan& s) { return s.start < column; });
        if (it != here.rend())
            return RangeOf(start, *it);
    }
    qint64 line = start;
    for (qint64 step = 0; step < count; ++step) {
        if (Clock::now() >= deadline) {
            waiting = !indexed; // with the count known, lines it found that cost too much here
            return std::nullopt;
        }
        const std::optional<qint64> next = NextMatchLine(line, from.direction);
        if (!next)
            return std::nullopt;
        line = *next;
        const std::vector<FindSpan> spans = LineMatches(line, budget());
        if (!spans.empty())
            return RangeOf(line, from.direction > 0 ? spans.front() : spans.back());
    }
    return std::nullopt;
}

std::vector<FindSpan> ViewFind::LineMatches(qint64 line, std::chrono::microseconds budget) const {
    matcher_.SetTimeBound(budget);
    return FindLineMatches(matcher_, snapshot_, line);
}

// The next line, around the ring, that may hold a match: with the count known the next line that
// does, else simply the next line.
std::optional<qint64> ViewFind::NextMatchLine(qint64 line, int direction) const {
    const FindIndex* index = Index();
    if (!index)
        return (line + direction + snapshot_.LineCount()) % snapshot_.LineCount();
    const std::vector<qint64>& lines = index->lines;
    if (lines.empty())
        return std::nullopt;
    if (direction > 0) {
        const auto it = std::upper_bound(lines.begin(), lines.end(), line);
        return it == lines.end() ? lines.front() : *it;
    }
    const auto it = std::lower_bound(lines.begin(), lines.end(), line);
    return it == lines.begin() ? lines.back() : *std::prev(it);
}

std::optional<qint64> ViewFind::Count() const {
    if (!Active())
        return 0;
    const FindIndex* index = Index();
    return index ? std::optional<qint64>(index->total) : std::nullopt;
}

std::optional<qint64> ViewFind::CurrentRank() const {
    const FindIndex* index = Index();
    if (!index || !current_)
        return std::nullopt;
    const auto it = std::lower_bound(index->lines.begin(), index->lines.end(), current_->from.line);
    if (it == index->lines.end() || *it != current_->from.line)
        return std::nullopt;
    const std::vector<FindSpan> spans = LineMatches(current_->from.line, kFindLineBudget);
    const auto within = std::count_if(spans.begin(), spans.end(),
                                      [&](const FindSpan& s) { return s.start < current_->from.column; });
    return index->before[size_t(it - index->lines.begin())] + within + 1;
}

void ViewFind::OnCounted(std::shared_ptr<const FindIndex> index) {
    index_ = std::move(index);
    if (pending_ && Index())
        Move(*pending_); // shows and tells
    else
        emit changed();
}

void ViewFind::OnSnapshot() {
    const ViewSnapshot old = snapshot_;
    snapshot_ = view_->Snapshot();
    ++serial_;
    if (Active() && current_)
        current_ = Relocated(old, *current_);
    else
        current_.reset();
    if (Active())
        counter_.Count(query_, snapshot_, serial_);
    Show();
}

// The same match in the new snapshot: on the line with the same key (or, failing that, the same
// text) at or above its old number, at the same column; or, on that line, the next match.
std::optional<ViewRange> ViewFind::Relocated(const ViewSnapshot& old, const ViewRange& match) {
    if (match.from.line >= old.LineCount() || snapshot_.IsEmpty())
        return std::nullopt;
    const ViewLineKey key = old.LineKey(match.from.line);
    const qint64 top = std::min(match.from.line, snapshot_.LineCount() - 1);
    qint64 found = -1;
    for (qint64 line = top; line >= 0 && found < 0; --line)
        if (snapshot_.LineKey(line) == key)
            found = line;
    if (found < 0) {
        const QString text = old.Line(match.from.line);
        for (qint64 line = top; line >= 0 && line > top - kTextSearchLines && found < 0; --line)
            if (snapshot_.Line(line) == text)
                found = line;
    }
    if (found < 0)
        return std::nullopt;
    for (const FindSpan& span : LineMatches(found, kFindLineBudget))
        if (span.start >= match.from.column)
            return RangeOf(found, span);
    return std::nullopt;
}

QList<ViewMark> ViewFind::MarksFor(QStringView text, qsizetype from) {
    QList<ViewMark> marks;
    if (!Active())
        return marks;
    matcher_.SetTimeBound(kMarksSearchBudget);
    const MatchResult result = matcher_.ForEachMatch(text, [&](qsizetype start, qsizetype end) {
        if (end > start)
            marks.push_back({from + start, end - start, colors_.find, false, colors_.text});
    });
    if (result != MatchResult::NotFound)
        marks.clear();
    return marks;
}

bool ViewFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewObject_ && event->type() == QEvent::PaletteChange && view_) {
        colors_ = MarkColorsFor(view_->palette());
        if (layers_)
            layers_->Changed();
        Show();
    }
    return QObject::eventFilter(watched, event);
}
