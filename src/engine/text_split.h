#pragma once
// Cuts the bytes of a read window into lines and feeds each finished line to the line stage.
//
// 8-bit types are decoded as UTF-8, every byte outside a valid sequence becoming the character of
// its own code (byte_text.h); UNI and UNIBIG are 16-bit units. Line ends and blanks are ASCII, so
// lines are cut and positions counted in bytes before any decoding. CR LF, LF CR, a lone CR and a lone LF
// each end one line; CR CR and LF LF end two. With kill space (the stage's setting), tabs become spaces and
// every run of blanks one space. A last line without end is kept when it holds more than blanks and control
// characters. Lines are located with bulk scans and appended to the output in one piece each, not character
// by character.
#include <functional>

#include <QString>

#include "engine/file_type.h"

class LineStage;

// Receives the "Analyzing N%" points: i is the unit index reached, units the window's unit count.
using SplitProgress = std::function<void(qint64 i, qint64 units)>;

// Told of every line ended by a CR or LF that the stage put out as a passing line (an unterminated
// last line is not told): the line is units [start, end), ended by the unit at end (endUnit), and
// the next line starts at next.
class PassedLineSink {
public:
    virtual ~PassedLineSink() = default;
    virtual void Passed(qint64 start, qint64 end, qint64 next, char16_t endUnit) = 0;
    // A line starts at pos (after the window's first, before its last unit); the stage stands
    // between lines.
    virtual void LineStart(qint64 pos) = 0;
};

// data holds n bytes; for UNIBIG it is byte-swapped in place. out receives the output text (every
// output line followed by CR LF). Answers the number of units. sink may be null.
qint64 SplitWindow(char* data, qint64 n, TFileType type, LineStage& stage, QString& out,
                   const SplitProgress& progress, PassedLineSink* sink = nullptr);
