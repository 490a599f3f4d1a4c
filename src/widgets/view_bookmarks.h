#pragma once
// ViewBookmarks: lines of a TailView the user marked to come back to. Toggle() marks or unmarks
// the lines under the selection (or the caret's line); a narrow gutter left of the text shows a
// mark beside each bookmarked line on screen; Next() and Previous() put the caret on the next or
// previous bookmark after or before the caret's line, wrapping round at the ends.
//
// Bookmarks hold the snapshot's line identities (ViewLineId), so a bookmark stays on its line while
// the window slides forward and goes when its line leaves the view (or the text is made again).
//
// InstallBookmarks gives a view its bookmarks and the window the actions Toggle bookmark (Ctrl+B),
// Next bookmark (F2) and Previous bookmark (Shift+F2), working while the focus is anywhere inside
// host. Qt parent ownership throughout: the bookmarks and their gutter are the view's children.
// GUI thread only.
#include <vector>

#include <QObject>

#include "engine/view_snapshot.h"

class QAction;
class QWidget;
class TailView;

class ViewBookmarks final : public QObject {
    Q_OBJECT

public:
    static constexpr int kGutterWidth = 10;
    // At most this many bookmarks: a toggle over more lines marks the first ones only.
    static constexpr qsizetype kMaxBookmarks = 10000;

    explicit ViewBookmarks(TailView& view);
    Q_DISABLE_COPY_MOVE(ViewBookmarks)

    void Toggle();
    void Next();
    void Previous();
    // The bookmarked lines of the shown snapshot, in order.
    const std::vector<qint64>& Lines() const { return lines_; }
    bool IsBookmarked(qint64 line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow();
    void Place();
    void Paint();
    void GoTo(qint64 line);

    TailView& view_;
    // Compared with while the view is being destroyed.
    const QObject* viewObject_;
    const QObject* viewport_;
    QWidget* gutter_;
    std::vector<ViewLineId> ids_; // in the order of lines_
    std::vector<qint64> lines_;   // sorted
};

struct InstalledBookmarks {
    ViewBookmarks* bookmarks = nullptr;
    QAction* toggle = nullptr;
    QAction* next = nullptr;
    QAction* previous = nullptr;
};
InstalledBookmarks InstallBookmarks(TailView& view, QWidget& host);
