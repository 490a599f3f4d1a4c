#pragma once
// What one read of the window leaves behind for the next: where its passing lines lie and how much
// output, counting and alerting came up to each.
//
// A passing line (put out, not as context) is a point where the line stage forgets everything
// before it: nothing is held back and the after-context starts afresh. So the output after such a
// line depends only on the lines after it, which is what lets a read that only slid forward keep
// the output between two of them and redo only the front and the end of the window.
//
// Counts are kept from an origin of the reads' own, not from the window's start: a window that
// slid moves its origin, never the records, so a read costs what it redid, not the window.
#include <limits>
#include <memory>

#include <QString>
#include <QtGlobal>

#include "engine/line_stage.h"
#include "engine/view_snapshot.h"

struct LineCounts {
    qint64 outLines = 0;
    qint64 linesRead = 0;
    qint64 linesFiltered = 0;
    qint64 costly = 0;
    friend LineCounts operator+(LineCounts a, const LineCounts& b) {
        return {a.outLines + b.outLines, a.linesRead + b.linesRead, a.linesFiltered + b.linesFiltered,
                a.costly + b.costly};
    }
    friend LineCounts operator-(LineCounts a, const LineCounts& b) {
        return {a.outLines - b.outLines, a.linesRead - b.linesRead, a.linesFiltered - b.linesFiltered,
                a.costly - b.costly};
    }
};

inline constexpr qint64 kNoAlert = std::numeric_limits<qint64>::min();

// One passing line of the window, or a line start where the stage only held lines back (a
// checkpoint: the stage can go on from there given those lines). Positions are file bytes; counts
// are up to and including this line (up to the line start for a checkpoint).
struct PassedLine {
    qint64 lineStart = 0;
    qint64 lineEnd = 0; // the CR or LF that ends it; -2 for a checkpoint
    qint64 next = 0;    // where the line after it starts (a checkpoint: its line start)
    char16_t endUnit = 0;
    std::shared_ptr<const LineStage::HeldLines> held; // a checkpoint's; null for a passing line
    qint64 lastKeptLineEnd = -1;                      // file bytes, the last output line's end up to here
    LineCounts counts;
    qint64 alertLine = kNoAlert; // the last alert line up to here, as a count of output lines
    QString alertText;
};

enum class WindowReadKind { Full, Unchanged, Slid };

// The outcome of one read of the window, as the full read gives it.
struct WindowOutcome {
    WindowReadKind kind = WindowReadKind::Full;
    qint64 size = 0;  // the file's size when opened
    qint64 start = 0; // first byte of the window
    qint64 n = 0;     // bytes the window holds
    ViewSnapshot output;
    qint64 outLines = 0;
    qint64 linesRead = 0;
    qint64 linesFiltered = 0;
    qint64 costly = 0;
    qint64 lastKeptLineEnd = -1; // from start, in bytes; -1: no kept line
    bool hasAlert = false;
    QString alertLine;
};
