#include "engine/view_publishing.h"

#include <algorithm>

#include "engine/tail_window_port.h"

void AppendViewNotice(TailWindowPort& window, QStringView line) {
    const TailViewState view = window.ViewState();
    ViewSnapshotBuilder next(view.shown);
    const qint64 dropped = std::max<qint64>(0, next.LineCount() + 1 - kMaxNoticeLines);
    next.DropFront(dropped);
    next.Append(line);
    TailViewUpdate update{
        next.Build(), view.AtBottom(), std::max<qint64>(0, view.firstVisibleLine - dropped), {}};
    if (!view.selection.IsEmpty() && view.selection.from.line >= dropped) {
        ViewRange moved = view.selection;
        moved.from.line -= dropped;
        moved.to.line -= dropped;
        update.selection = moved;
    }
    window.PublishView(update);
}

void ClearViewText(TailWindowPort& window) {
    window.PublishView(TailViewUpdate{});
}
