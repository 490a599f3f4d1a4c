#pragma once
// ViewFind: searches what a TailView shows. It keeps a current match (shown with SetCurrentMatch
// and scrolled to), marks every match on screen, and has the matches counted over the whole
// snapshot on a worker (FindCounter), so a view of a million lines never freezes the window: the
// count, and the current match's rank k in "k of n", are known once the worker is done. Next and
// Previous wrap around. With the count known they jump straight to the next line holding a
// match; before, they search a bounded number of lines on the window's thread and, finding
// nothing there, finish the move when the count arrives.
//
// A new snapshot (the tail republished: lines dropped at the front, appended at the end) keeps
// the current match where its line is still shown, found by the line's key (or its text) and the
// match's column. An invalid expression finds nothing. Empty matches are never a find result.
// GUI thread only.
#include <optional>

#include <QObject>
#include <QPointer>

#include "engine/regex.h"
#include "engine/view_snapshot.h"
#include "widgets/find_count.h"
#include "widgets/mark_colors.h"
#include "widgets/view_line_layouts.h"

class TailView;
class ViewMarkLayers;

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
    // Move to the next or previous match, wrapping around; false when there is none (yet: a move
    // that waits for the count answers false and moves when it comes).
    bool Next();
    bool Previous();
    // Ends the search: no marks, no current match, no count running.
    void Close();

    std::optional<ViewRange> Current() const { return current_; }
    std::optional<qint64> Count() const;
    // While the count runs: how far it is, 0 to 100.
    std::optional<int> CountPercent() const { return Count() ? std::nullopt : counter_.Percent(); }
    // 1 for the first match of the text; known with the count.
    std::optional<qint64> CurrentRank() const;

signals:
    // The current match, the count or the query's validity changed.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SeekFrom {
        ViewPosition at;
        int direction = 1;
        bool inclusive = false;
    };
    bool Active() const { return view_ && valid_ && !query_.text.isEmpty(); }
    const FindIndex* Index() const;
    bool Move(SeekFrom from);
    // The match sought, nullopt when there is none, or, without the count and past the time the
    // window's thread searches, `waiting` set.
    std::optional<ViewRange> Seek(const SeekFrom& from, bool& waiting);
    // The line's matches, the search bounded by `budget`.
    std::vector<FindSpan> LineMatches(qint64 line, std::chrono::microseconds budget) const;
    std::optional<qint64> NextMatchLine(qint64 line, int direction) const;
    void Go(std::optional<ViewRange> match);
    void Show();
    void OnSnapshot();
    void OnCounted(std::shared_ptr<const FindIndex> index);
    std::optional<ViewRange> Relocated(const ViewSnapshot& old, const ViewRange& match);
    QList<ViewMark> MarksFor(QStringView text, qsizetype from);

    QPointer<TailView> view_;
    const QObject* viewObject_ = nullptr; // compared with while the view is being destroyed
    QPointer<ViewMarkLayers> layers_;
    int layer_ = 0;
    MarkColors colors_;
    ViewSnapshot snapshot_;
    quint64 serial_ = 0; // of snapshot_
    FindQuery query_;
    bool valid_ = true;
    mutable PatternMatcher matcher_; // GUI thread: seeking, marks and ranks
    std::optional<ViewRange> current_;
    std::optional<SeekFrom> pending_; // a move waiting for the count
    FindCounter counter_;
    std::shared_ptr<const FindIndex> index_;
};
