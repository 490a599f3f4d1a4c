#pragma once
// What a find searches for, and the count of its matches over a snapshot made on a worker thread.
//
// FindCounter counts on a thread of its own over the immutable snapshot, so a million lines
// never hold up the window. A tail that republishes while a count runs does not restart it: the
// count finishes, and the next one, on the newest snapshot, reuses it for the lines the two
// snapshots share (lines dropped at the front, appended at the end, known by their keys) and
// searches only the new lines. So an open find costs the tail what it appends, not its size.
// GUI thread only (the worker touches only its own copies); the destructor stops and joins it.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <QObject>

#include "engine/regex.h"
#include "engine/view_snapshot.h"

struct FindQuery {
    QString text;
    bool matchCase = false;
    bool regex = false;
    friend bool operator==(const FindQuery&, const FindQuery&) = default;
};

// The query as a pattern: plain text escaped, an expression as it is.
QString FindPattern(const FindQuery& query);

// How long a search of one line may take, on the worker and on the window's thread alike, so both
// find the same lines; a line that needs longer is too costly and holds no match.
inline constexpr std::chrono::milliseconds kFindLineBudget{20};

struct FindSpan {
    qsizetype start = 0;
    qsizetype end = 0;
};
// The non-empty matches on a line; none when the search is too costly to finish there (the
// matcher's own bounds say when).
std::vector<FindSpan> FindLineMatches(PatternMatcher& matcher, const ViewSnapshot& snapshot, qint64 line);
std::vector<FindSpan> FindTextMatches(PatternMatcher& matcher, QStringView text);

// The lines holding matches, in order, with their match counts and the matches before each.
struct FindIndex {
    FindQuery query;
    ViewSnapshot snapshot;
    quint64 serial = 0; // the caller's name for the snapshot
    std::vector<qint64> lines;
    std::vector<qint64> counts;
    std::vector<qint64> before;
    qint64 total = 0;
    void Add(qint64 line, qint64 count);
};

class FindCounter final : public QObject {
    Q_OBJECT

public:
    explicit FindCounter(QObject* parent = nullptr);
    ~FindCounter() override;
    Q_DISABLE_COPY_MOVE(FindCounter)

    // Counts the query's matches in the snapshot; `counted` follows for the latest call.
    void Count(const FindQuery& query, const ViewSnapshot& snapshot, quint64 serial);
    void Stop();
    // How far the running count is, 0 to 100; nullopt when none runs.
    std::optional<int> Percent() const;

signals:
    void counted(std::shared_ptr<const FindIndex> index);
    // Internal: emitted on the worker when its result is ready; queued to the GUI thread.
    void workerFinished();

private:
    struct Job {
        FindQuery query;
        ViewSnapshot snapshot;
        quint64 serial = 0;
    };
    void Start(Job job);
    void Collect();
    void Done(quint64 id, std::shared_ptr<const FindIndex> index);
    static std::shared_ptr<FindIndex> Run(const Job& job, const std::shared_ptr<const FindIndex>& base,
                                          const std::atomic<bool>& cancel, std::atomic<qint64>& reached);

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::shared_ptr<std::atomic<qint64>> reached_; // the running count's next line
    std::optional<Job> running_;
    quint64 runningId_ = 0;
    std::optional<Job> wanted_;
    std::shared_ptr<const FindIndex> last_;
    // The worker's result, handed over under the lock (the lock, not the event queue, orders it).
    std::mutex mutex_;
    std::optional<std::pair<quint64, std::shared_ptr<const FindIndex>>> finished_;
};
