#include "engine/view_publishing.h"

#include <algorithm>

#include "engine/tail_window_port.h"

namespace {

constexpr QStringView kCrLf = u"\r\n";
// Places in the shown text where the new text may start that are checked line by line.
constexpr int kMaxTries = 8;

bool SameLine(const ViewSnapshot& shown, qint64 line, QStringView text) {
    const QByteArrayView bytes = shown.LineUtf8(line);
    // As many UTF-8 bytes as UTF-16 units only for ASCII.
    if (bytes.size() == text.size())
        return QLatin1StringView(bytes) == text;
    return shown.LineLength(line) == text.size() && shown.Line(line) == text;
}

// The offset in text after the lines of `shown` from `first` on, when text starts with them
// (each followed by CR LF); -1 otherwise.
qsizetype AfterShownLines(const ViewSnapshot& shown, qint64 first, QStringView text) {
    qsizetype at = 0;
    for (qint64 line = first; line < shown.LineCount(); ++line) {
        const qsizetype end = text.indexOf(kCrLf, at);
        if (end < 0 || !SameLine(shown, line, text.sliced(at, end - at)))
            return -1;
        at = end + kCrLf.size();
    }
    return at;
}

} // namespace

// A window that slid forward shows the end of the last text: that part is kept (shared, not
// copied), so the view keeps what it laid out and the two texts are not held twice.
ViewSnapshot BuildViewSnapshot(QStringView crlfText, const ViewSnapshot& shown) {
    const qsizetype firstEnd = crlfText.indexOf(kCrLf);
    const QStringView firstLine = crlfText.first(firstEnd < 0 ? crlfText.size() : firstEnd);
    int tries = 0;
    for (qint64 line = 0; firstEnd >= 0 && line < shown.LineCount() && tries < kMaxTries; ++line) {
        if (!SameLine(shown, line, firstLine))
            continue;
        ++tries;
        const qsizetype after = AfterShownLines(shown, line, crlfText);
        if (after < 0)
            continue;
        ViewSnapshotBuilder builder(shown);
        builder.DropFront(line);
        builder.AppendCrLfText(crlfText.sliced(after));
        return builder.Build();
    }
    ViewSnapshotBuilder builder;
    builder.AppendCrLfText(crlfText);
    return builder.Build();
}

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
