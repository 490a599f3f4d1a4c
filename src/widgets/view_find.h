#pragma once
// ViewFind: searches what a TailView shows. It keeps a current match (shown with SetCurrentMatch
// and scrolled to), marks every match on screen, and counts the matches over the whole snapshot
// on a worker thread, so a view of a million lines never freezes the window: the count, and the
// current match's rank k in "k of n", are known once the worker is done. Next and Previous wrap
// around; with the count known they jump straight to the next line holding a match.
//
// A new snapshot (the tail republished: lines dropped at the front, appended at the end) keeps
// the current match where its line is still shown, found by the line's key (or its text) and the
// match's column; the count starts again on the new snapshot.
//
// The query is plain text or a regular expression (PatternMatcher, as the filter compiles), case
// sensitive or not. An invalid expression finds nothing. Empty matches are never a find result.
// GUI thread only; the worker reads only the immutable snapshot and is stopped and joined before
// a new count starts and when the object dies.
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <QObject>
#include <QPointer>

#include "engine/regex.h"
#include "engine/view_snapshot.h"
#include "widgets/mark_colors.h"
#include "widgets/view_line_layouts.h"

class TailView;
class ViewMarkLayers;

struct FindQuery {
    QString text;
    bool matchCase = false;
    bool regex = false;
    friend bool operator==(const FindQuery&, const FindQuery&) = default;
};

class ViewFind final : public QObject {
    Q_OBJECT

public:
    explicit ViewFind(QObject* parent = nullptr);
    ~ViewFind() override;
    Q_DISABLE_COPY_MOVE(ViewFind)

    void Attach(TailView& view);
    // A new query: the current match becomes the first one at or after the top of the screen.
    void SetQuery(const FindQuery& query);
    const FindQuery& Query() const { return query_; }
    bool QueryValid() const { return valid_; }
    // Move to the next or previous match, wrapping around; false when there is none.
    bool Next();
    bool Previous();
    // Ends the search: no marks, no current match, no count running.
    void Close();

    std::optional<ViewRange> Current() const { return current_; }
    std::optional<qint64> Count() const;
    // 1 for the first match of the text; known with the count.
    std::optional<qint64> CurrentRank() const;

signals:
    // The current match, the count or the query's validity changed.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Lines that hold matches and how many matches come before each: what the worker finds.
    struct MatchIndex {
        std::vector<qint64> lines;
        std::vector<qint64> before;
        qint64 total = 0;
    };
    struct Span {
        qsizetype start = 0;
        qsizetype end = 0;
    };
    static std::vector<Span> LineMatches(PatternMatcher& matcher, const ViewSnapshot& snapshot, qint64 line);
    static QString PatternOf(const FindQuery& query);
    bool Active() const { return view_ && valid_ && !query_.text.isEmpty(); }
    std::optional<ViewRange> Seek(ViewPosition from, int direction, bool inclusive);
    std::optional<qint64> NextMatchLine(qint64 line, int direction) const;
    bool Go(std::optional<ViewRange> match);
    void Show();
    void OnSnapshot();
    std::optional<ViewRange> Relocated(const ViewSnapshot& old, const ViewRange& match);
    void StartCount();
    void StopCount();
    void CountDone(quint64 generation, std::shared_ptr<const MatchIndex> index);
    QList<ViewMark> MarksFor(QStringView text, qsizetype from);

    QPointer<TailView> view_;
    const QObject* viewObject_ = nullptr; // compared with while the view is being destroyed
    QPointer<ViewMarkLayers> layers_;
    int layer_ = 0;
    MarkColors colors_;
    ViewSnapshot snapshot_;
    FindQuery query_;
    bool valid_ = true;
    mutable PatternMatcher matcher_; // GUI thread: seeking, marks and ranks
    std::optional<ViewRange> current_;

    std::shared_ptr<const MatchIndex> index_; // for snapshot_ and query_, once counted
    quint64 generation_ = 0;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
};
