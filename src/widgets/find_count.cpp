#include "widgets/find_count.h"

namespace {

// Lines of the base whose keys are compared, between cancel checks.
constexpr qint64 kCancelStep = 4096;

// Lines between the key comparisons that check an overlap.
constexpr qint64 kCheckStep = 1024;

// Where the base's lines sit in the snapshot: the base's line `dropped` is the snapshot's line 0
// and `shared` lines follow alike. Empty when the snapshot was not made from the base that way.
// Keys name stored lines across all snapshots, and a builder only drops lines at the front and
// appends at the end, so equal keys at both ends (and every kCheckStep lines between, to be safe)
// mean the lines between are the same.
struct Overlap {
    qint64 dropped = 0;
    qint64 shared = 0;
};
std::optional<Overlap> OverlapOf(const ViewSnapshot& base, const ViewSnapshot& next,
                                 const std::atomic<bool>& cancel) {
    if (next.IsEmpty() || base.IsEmpty())
        return std::nullopt;
    const ViewLineKey first = next.LineKey(0);
    qint64 dropped = 0;
    while (dropped < base.LineCount() && base.LineKey(dropped) != first) {
        if (++dropped % kCancelStep == 0 && cancel.load(std::memory_order_relaxed))
            return std::nullopt;
    }
    if (dropped == base.LineCount())
        return std::nullopt;
    const qint64 shared = std::min(base.LineCount() - dropped, next.LineCount());
    const auto same = [&](qint64 line) { return next.LineKey(line) == base.LineKey(line + dropped); };
    for (qint64 line = 0; line < shared; line += kCheckStep)
        if (!same(line))
            return std::nullopt;
    if (!same(shared - 1))
        return std::nullopt;
    return Overlap{dropped, shared};
}

} // namespace

QString FindPattern(const FindQuery& query) {
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

std::vector<FindSpan> FindLineMatches(PatternMatcher& matcher, const ViewSnapshot& snapshot, qint64 line) {
    return FindTextMatches(matcher, snapshot.Line(line));
}

std::vector<FindSpan> FindTextMatches(PatternMatcher& matcher, QStringView text) {
    std::vector<FindSpan> spans;
    const MatchResult result = matcher.ForEachMatch(text, [&](qsizetype start, qsizetype end) {
        if (end > start)
            spans.push_back({start, end});
    });
    if (result != MatchResult::NotFound)
        spans.clear();
    return spans;
}

void FindIndex::Add(qint64 line, qint64 count) {
    lines.push_back(line);
    counts.push_back(count);
    before.push_back(total);
    total += count;
}

FindCounter::FindCounter(QObject* parent) : QObject(parent) {
    connect(this, &FindCounter::workerFinished, this, &FindCounter::Collect, Qt::QueuedConnection);
}

void FindCounter::Collect() {
    std::optional<std::pair<quint64, std::shared_ptr<const FindIndex>>> finished;
    {
        const std::lock_guard lock(mutex_);
        finished.swap(finished_);
    }
    if (finished)
        Done(finished->first, std::move(finished->second));
}

FindCounter::~FindCounter() {
    Stop();
}

void FindCounter::Stop() {
    if (cancel_)
        cancel_->store(true);
    if (worker_.joinable())
        worker_.join();
    cancel_.reset();
    running_.reset();
    wanted_.reset();
}

void FindCounter::Count(const FindQuery& query, const ViewSnapshot& snapshot, quint64 serial) {
    Job job{query, snapshot, serial};
    if (running_ && running_->query == query) {
        wanted_ = std::move(job); // only the snapshot changed: let the running count serve as a base
        return;
    }
    Stop();
    Start(std::move(job));
}

void FindCounter::Start(Job job) {
    std::shared_ptr<const FindIndex> base = last_ && last_->query == job.query ? last_ : nullptr;
    running_ = job;
    const quint64 id = ++runningId_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    reached_ = std::make_shared<std::atomic<qint64>>(0);
    worker_ = std::thread(
        [this, id, job = std::move(job), base = std::move(base), cancel = cancel_, reached = reached_] {
            std::shared_ptr<const FindIndex> index = Run(job, base, *cancel, *reached);
            if (!index)
                return;
            {
                const std::lock_guard lock(mutex_);
                finished_.emplace(id, std::move(index));
            }
            emit workerFinished(); // Stop() joins this thread before the object can go
        });
}

std::shared_ptr<FindIndex> FindCounter::Run(const Job& job, const std::shared_ptr<const FindIndex>& base,
                                            const std::atomic<bool>& cancel, std::atomic<qint64>& reached) {
    PatternMatcher matcher;                         // one per thread
    matcher.SetTimeBound(kFindLineBudget, &cancel); // a stop ends even a search that runs long
    matcher.SetPattern(FindPattern(job.query), !job.query.matchCase);
    auto index = std::make_shared<FindIndex>();
    index->query = job.query;
    index->snapshot = job.snapshot;
    index->serial = job.serial;
    qint64 line = 0;
    if (const std::optional<Overlap> overlap =
            base ? OverlapOf(base->snapshot, job.snapshot, cancel) : std::nullopt) {
        for (size_t i = 0; i < base->lines.size(); ++i) {
            const qint64 at = base->lines[i] - overlap->dropped;
            if (at >= 0 && at < overlap->shared)
                index->Add(at, base->counts[i]);
        }
        line = overlap->shared;
    }
    // In order, through a reader: lines kept as places in the file are read a block at a time.
    for (ViewLineReader reader(job.snapshot, line); !reader.AtEnd(); reader.Next()) {
        if (cancel.load(std::memory_order_relaxed))
            return nullptr;
        const auto found = qint64(FindTextMatches(matcher, reader.Text()).size());
        if (found > 0)
            index->Add(reader.Line(), found);
        reached.store(reader.Line() + 1, std::memory_order_relaxed);
    }
    return index;
}

std::optional<int> FindCounter::Percent() const {
    if (!running_ || !reached_ || running_->snapshot.IsEmpty())
        return std::nullopt;
    return int(reached_->load(std::memory_order_relaxed) * 100 / running_->snapshot.LineCount());
}

void FindCounter::Done(quint64 id, std::shared_ptr<const FindIndex> index) {
    if (!running_ || id != runningId_)
        return; // a count stopped after it had posted
    if (worker_.joinable())
        worker_.join();
    running_.reset();
    cancel_.reset();
    last_ = index;
    if (wanted_) {
        Job next = std::move(*wanted_);
        wanted_.reset();
        Start(std::move(next));
        return;
    }
    emit counted(std::move(index));
}
