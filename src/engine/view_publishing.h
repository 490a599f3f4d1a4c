#pragma once
// Putting notices into the tail view and emptying it. The snapshots are built on the thread that
// runs the pass (the worker in worker mode); the window thread only swaps one in and paints. The
// pass's own output is a snapshot already (IncrementalWindow).
#include <QStringView>

#include "engine/view_snapshot.h"

class TailWindowPort;

// The notices appended to the view (a missing file adds one per pass) keep it to this many lines.
inline constexpr qint64 kMaxNoticeLines = 1000;

// Appends one line to the view, dropping the first lines beyond kMaxNoticeLines. A view showing
// its end shows the new end; otherwise the same line stays on top, and the selection stays on its
// text while that text is still in the view.
void AppendViewNotice(TailWindowPort& window, QStringView line);

// Empties the view.
void ClearViewText(TailWindowPort& window);
