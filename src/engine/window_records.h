#pragma once
// What one read of the window leaves behind for the next: where its passing lines lie and how much
// output, counting and alerting came before each, and the change of the output from one read to
// the next.
//
// A passing line (put out, not as context) is a point where the line stage forgets everything
// before it: nothing is held back and the after-context starts afresh. So the output after such a
// line depends only on the lines after it, which is what lets a read that only slid forward keep
// the output between two of them and redo only the front and the end of the window.
#include <memory>

#include <QString>
#include <QtGlobal>

#include "engine/line_stage.h"

// One passing line of the window, or a line start where the stage only held lines back (a
// checkpoint: the stage can go on from there given those lines). Positions are file bytes; counts
// are from the window's start up to and including this line (up to the line start).
struct PassedLine {
    qint64 lineStart = 0;
    qint64 lineEnd = 0; // the CR or LF that ends it; -2 for a checkpoint
    qint64 next = 0;    // where the line after it starts (a checkpoint: its line start)
    char16_t endUnit = 0;
    std::shared_ptr<const LineStage::HeldLines> held; // a checkpoint's; null for a passing line
    qint64 lastKeptLineEnd = -1;                      // file bytes, the last output line's end up to here
    qint64 outLines = 0;
    qint64 outChars = 0; // output text up to and including its CR LF
    qint64 linesRead = 0;
    qint64 linesFiltered = 0;
    qint64 costly = 0;
    qint64 alertStart = -1; // the last alert line so far, in the output text; -1: none
    qint64 alertLength = 0;
};

// How the output changed: the lines [dropFront, old count - dropBack) of the last output stay, with
// `front` before them and `back` after them (texts in the engine's form, each line followed by CR
// LF). replaceAll: nothing stays and the whole output is the outcome's `out` (not copied here, so
// the next full read can write into its memory). A read without change has everything zero and
// empty.
struct OutputDelta {
    bool replaceAll = true;
    qint64 dropFront = 0;
    QString front;
    qint64 frontLines = 0;
    qint64 dropBack = 0;
    QString back;
    qint64 backLines = 0;
};

enum class WindowReadKind { Full, Unchanged, Slid };

// The outcome of one read of the window, as the full read gives it.
struct WindowOutcome {
    WindowReadKind kind = WindowReadKind::Full;
    qint64 size = 0;  // the file's size when opened
    qint64 start = 0; // first byte of the window
    qint64 n = 0;     // bytes the window holds
    QString out;      // every output line followed by CR LF
    qint64 outLines = 0;
    qint64 linesRead = 0;
    qint64 linesFiltered = 0;
    qint64 costly = 0;
    qint64 lastKeptLineEnd = -1; // from start, in bytes; -1: no kept line
    bool hasAlert = false;
    QString alertLine;
    OutputDelta delta;
};
