#pragma once
// Putting text into the tail view. The snapshots are built on the thread that runs the pass (the
// worker in worker mode); the window thread only swaps one in and paints.
#include <QStringView>

#include "engine/view_snapshot.h"

class TailWindowPort;

// The notices appended to the view (a missing file adds one per pass) keep it to this many lines.
inline constexpr qint64 kMaxNoticeLines = 1000;

// The pass's output (each line followed by CR LF) as the view's next snapshot, sharing the lines
// that `shown` ends with when the text starts with them. The one place where the output of a pass
// becomes the view's text.
ViewSnapshot BuildViewSnapshot(QStringView crlfText, const ViewSnapshot& shown = {});

// Appends one line to the view, dropping the first lines beyond kMaxNoticeLines. A view showing
// its end shows the new end; otherwise the same line stays on top, and the selection stays on its
// text while that text is still in the view.
void AppendViewNotice(TailWindowPort& window, QStringView line);

// Empties the view.
void ClearViewText(TailWindowPort& window);
