#pragma once
// JournalLevels: the level of each line of a journal's text, from its entry's priority, so the
// view colours journal lines as the journal ranks them rather than by the words in them.
//
// Lines are known by their text (LineTextKey), as the view has them: the view knows no place in
// the source. Only the lines of entries that are coloured (error, warning, debug) are kept, the
// newest kMaxLines of them; a line not kept is plain (info, notice, a boot line, an entry too old,
// a line that R. DNS rewrote). Threads: Add on the rendering thread, Of on any, under one lock.
#include <deque>
#include <mutex>
#include <optional>

#include <QByteArrayView>
#include <QHash>
#include <QStringView>

#include "util/line_level.h"

class JournalLevels final {
public:
    static constexpr qsizetype kMaxLines = 1 << 18;

    // The lines of one rendered entry (each ending with LF) and its PRIORITY field (null: none).
    void Add(QByteArrayView lines, QByteArrayView priority);
    LineLevel Of(QStringView line) const;

private:
    mutable std::mutex lock_;
    struct Kept {
        LineLevel level = LineLevel::Plain; // of the newest line with the key
        quint32 lines = 0;                  // lines with the key in order_
    };
    QHash<quint64, Kept> levels_;
    std::deque<quint64> order_; // oldest first
};
