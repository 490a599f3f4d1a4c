#include "widgets/view_find.h"

#include <algorithm>

#include <QEvent>

#include "widgets/tail_view.h"
#include "widgets/view_mark_layers.h"

namespace {

// Drawn over the filter and alert marks.
constexpr int kFindRank = 10;
// Lines compared by text when a republished snapshot no longer shares the current match's line.
constexpr qint64 kTextSearchLines = 100000;

} // namespace

ViewFind::ViewFind(QObject* parent) : QObject(parent) {}

ViewFind::~ViewFind() {
    StopCount();
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

QString ViewFind::PatternOf(const FindQuery& query) {
    if (query.regex)
        return query.text;
    QString pattern;
    for (QChar c : query.text) {
        if (c.unicode() < 0x80 && !c.isLetterOrNumber())
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern;
}

void ViewFind::SetQuery(const FindQuery& query) {
    query_ = query;
    valid_ = query.text.isEmpty() || matcher_.SetPattern(PatternOf(query), !query.matchCase);
    current_.reset();
    StartCount();
    if (Active() && view_)
        Go(Seek({view_->FirstVisibleLine(), 0}, 1, true));
    else
        Show();
    if (layers_)
        layers_->Changed();
}

bool ViewFind::Next() {
    if (!Active())
        return false;
    return Go(current_ ? Seek(current_->from, 1, false) : Seek({view_->FirstVisibleLine(), 0}, 1, true));
}

bool ViewFind::Previous() {
    if (!Active())
        return false;
    return Go(current_ ? Seek(current_->from, -1, false) : Seek({view_->FirstVisibleLine(), 0}, -1, false));
}

void ViewFind::Close() {
    SetQuery({});
}

bool ViewFind::Go(std::optional<ViewRange> match) {
    current_ = match;
    if (current_ && view_)
        view_->EnsureVisible(current_->from, TailView::Place::Center);
    Show();
    return current_.has_value();
}

void ViewFind::Show() {
    if (view_)
        view_->SetCurrentMatch(current_, colors_.current);
    emit changed();
}

std::vector<ViewFind::Span> ViewFind::LineMatches(PatternMatcher& matcher, const ViewSnapshot& snapshot,
                                                  qint64 line) {
    std::vector<Span> spans;
    const MatchResult result = matcher.ForEachMatch(snapshot.Line(line), [&](qsizetype start, qsizetype end) {
        if (end > start)
            spans.push_back({start, end});
    });
    if (result != MatchResult::NotFound)
        spans.clear(); // a search too costly to finish finds nothing on its line
    return spans;
}

// The first match after `from` (direction 1) or the last one before it (-1), in the text read as
// a ring; `inclusive` also takes a match starting at `from`.
std::optional<ViewRange> ViewFind::Seek(ViewPosition from, int direction, bool inclusive) {
    const qint64 count = snapshot_.LineCount();
    if (count == 0)
        return std::nullopt;
    from.line = std::clamp<qint64>(from.line, 0, count - 1);
    const auto range = [](qint64 line, const Span& span) {
        return ViewRange{{line, span.start}, {line, span.end}};
    };
    const std::vector<Span> here = LineMatches(matcher_, snapshot_, from.line);
    if (direction > 0) {
        const auto it = std::find_if(here.begin(), here.end(), [&](const Span& s) {
            return inclusive ? s.start >= from.column : s.start > from.column;
        });
        if (it != here.end())
            return range(from.line, *it);
    } else {
        const auto it =
            std::find_if(here.rbegin(), here.rend(), [&](const Span& s) { return s.start < from.column; });
        if (it != here.rend())
            return range(from.line, *it);
    }
    qint64 line = from.line;
    for (qint64 step = 0; step < count; ++step) {
        const std::optional<qint64> next = NextMatchLine(line, direction);
        if (!next)
            return std::nullopt;
        line = *next;
        const std::vector<Span> spans = LineMatches(matcher_, snapshot_, line);
        if (!spans.empty())
            return range(line, direction > 0 ? spans.front() : spans.back());
    }
    return std::nullopt;
}

// The next line, around the ring, that may hold a match: with the count known the next line that
// does, else simply the next line.
std::optional<qint64> ViewFind::NextMatchLine(qint64 line, int direction) const {
    const qint64 count = snapshot_.LineCount();
    if (!index_)
        return (line + direction + count) % count;
    const std::vector<qint64>& lines = index_->lines;
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
    return index_ ? std::optional<qint64>(index_->total) : std::nullopt;
}

std::optional<qint64> ViewFind::CurrentRank() const {
    if (!index_ || !current_)
        return std::nullopt;
    const std::vector<qint64>& lines = index_->lines;
    const auto it = std::lower_bound(lines.begin(), lines.end(), current_->from.line);
    if (it == lines.end() || *it != current_->from.line)
        return std::nullopt;
    const std::vector<Span> spans = LineMatches(matcher_, snapshot_, current_->from.line);
    const auto within = std::count_if(spans.begin(), spans.end(),
                                      [&](const Span& s) { return s.start < current_->from.column; });
    return index_->before[size_t(it - lines.begin())] + within + 1;
}

void ViewFind::OnSnapshot() {
    const ViewSnapshot old = snapshot_;
    snapshot_ = view_->Snapshot();
    if (Active() && current_)
        current_ = Relocated(old, *current_);
    else
        current_.reset();
    StartCount();
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
        const QByteArrayView text = old.LineUtf8(match.from.line);
        for (qint64 line = top; line >= 0 && line > top - kTextSearchLines && found < 0; --line)
            if (snapshot_.LineUtf8(line) == text)
                found = line;
    }
    if (found < 0)
        return std::nullopt;
    for (const Span& span : LineMatches(matcher_, snapshot_, found))
        if (span.start >= match.from.column)
            return ViewRange{{found, span.start}, {found, span.end}};
    return std::nullopt;
}

void ViewFind::StopCount() {
    if (cancel_)
        cancel_->store(true);
    if (worker_.joinable())
        worker_.join();
    cancel_.reset();
}

void ViewFind::StartCount() {
    StopCount();
    index_.reset();
    const quint64 generation = ++generation_;
    if (!Active())
        return;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = std::thread([this, generation, cancel = cancel_, snapshot = snapshot_, query = query_] {
        PatternMatcher matcher; // one per thread
        matcher.SetPattern(PatternOf(query), !query.matchCase);
        auto index = std::make_shared<MatchIndex>();
        for (qint64 line = 0; line < snapshot.LineCount(); ++line) {
            if (cancel->load(std::memory_order_relaxed))
                return;
            const auto found = qint64(LineMatches(matcher, snapshot, line).size());
            if (found > 0) {
                index->lines.push_back(line);
                index->before.push_back(index->total);
                index->total += found;
            }
        }
        // Posted to the GUI thread; the destructor joins this thread first, so `this` lives.
        QMetaObject::invokeMethod(
            this,
            [this, generation, index = std::shared_ptr<const MatchIndex>(index)] {
                CountDone(generation, index);
            },
            Qt::QueuedConnection);
    });
}

void ViewFind::CountDone(quint64 generation, std::shared_ptr<const MatchIndex> index) {
    if (generation != generation_)
        return;
    if (worker_.joinable())
        worker_.join();
    index_ = std::move(index);
    emit changed();
}

QList<ViewMark> ViewFind::MarksFor(QStringView text, qsizetype from) {
    QList<ViewMark> marks;
    if (!Active())
        return marks;
    const MatchResult result = matcher_.ForEachMatch(text, [&](qsizetype start, qsizetype end) {
        if (end > start)
            marks.push_back({from + start, end - start, colors_.find, false});
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
