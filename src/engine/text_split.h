#pragma once
// Cuts a stretch of the followed file into lines and feeds each finished line to the line stage,
// reading the stretch through its LineSource in pieces of at most kSplitPieceBlocks blocks into
// the read buffer: a window of any size costs one piece of memory (more only for a line longer
// than a piece, which is carried whole).
//
// 8-bit types are decoded as UTF-8, every byte outside a valid sequence becoming the character of
// its own code (byte_text.h); UNI and UNIBIG are 16-bit units. Line ends and blanks are ASCII, so
// lines are cut and positions counted in bytes before any decoding. CR LF, LF CR, a lone CR and a
// lone LF each end one line; CR CR and LF LF end two. A last line without end is kept when it
// holds more than blanks and control characters, unless the pass itself cut it (endCutsLine).
// Lines are located with bulk scans.
#include <functional>

#include "engine/file_type.h"

class LineSource;
class LineStage;
class ReadBuffer;

// A piece of two blocks stays in the processor's cache between the read that copies it and the
// scans that follow.
inline constexpr qint64 kSplitPieceBlocks = 2;

// Receives the "Analyzing N%" points: i is the unit index reached, units the stretch's unit count.
using SplitProgress = std::function<void(qint64 i, qint64 units)>;

// Told of every line ended by a CR or LF that the stage put out as a passing line (an unterminated
// last line is not told): the line is bytes [start, end) of the file, ended by the unit at end
// (endUnit), and the next line starts at next.
class PassedLineSink {
public:
    virtual ~PassedLineSink() = default;
    virtual void Passed(qint64 start, qint64 end, qint64 next, char16_t endUnit) = 0;
    // A line starts at file position pos (after the stretch's first, before its last unit); the
    // stage stands between lines.
    virtual void LineStart(qint64 pos) = 0;
};

struct SplitHooks {
    const SplitProgress* progress = nullptr;
    PassedLineSink* sink = nullptr;
    // Called every few hundred lines (timer mode lets the window handle its events there).
    const std::function<void()>* yield = nullptr;
    // The auto offset chose where the stretch ends, before the file's end: a last line without an
    // end there that the next unit does not end either was cut by the pass, and is dropped.
    bool endCutsLine = false;
};

struct SplitResult {
    bool verified = true; // false: a block no longer held what its mark says: read the window afresh
    qint64 end = 0;       // where the stretch ended: `to`, or sooner when the file was shorter
};

// Splits bytes [from, to) of the file (from: a line start, or the window's start) as the window's
// split loop does. Throws PassFailure when the file cannot be read, PassCancelled from the stage.
SplitResult SplitStretch(LineSource& source, ReadBuffer& buffer, qint64 from, qint64 to, TFileType type,
                         LineStage& stage, const SplitHooks& hooks);
