#pragma once
// The line stage: every line the pass cuts out of the read window goes through EndLine, which may
// drop it (kill line), annotate its addresses (R. DNS), test it against the filter, hold it back
// as context, put it into the output, and test it against the alert pattern.
//
// The output is a sequence of lines handed to a StageOutput: a line whose text is what its bytes
// give (decoded, kill space folded) goes out as its place in the file; only a line whose text is
// not (an annotated line, a "... (N)" line) goes out as text. So a kept line costs no copy, and a
// line is decoded only when a switch needs its text (kill line looks at its bytes, a literal
// filter searches them). Lines held back by the filter are counted, and only the last `before
// count` of them are kept, as places: no more can ever be shown.
// One object per stretch of the window read; used by the pass thread only.
#include <atomic>
#include <vector>

#include <QByteArray>
#include <QString>

#include "engine/regex.h"

class AddressResolver;

struct LineStageSettings {
    bool killLine = false;   // ItemCompactLine
    bool reverseDns = false; // CheckBoxReverseDNS
    bool filterOn = false;   // CheckBoxFilter
    bool alertOn = false;    // CheckBoxAlert
    int beforeCount = 0;
    int afterCount = 0;
    bool showRemLineInfo = false;
    bool wide = false; // 16-bit units
    QString filterPattern;
    QString alertPattern;
    bool filterInverted = false;
    bool alertInverted = false;
    bool killSpace = false; // CheckBoxCompactSpace: blanks are folded in the line's text
    // Set when the pass must end (a stop or a close): EndLine then throws PassCancelled, so a
    // long analysis ends at the next line. Null: never.
    const std::atomic<bool>* cancel = nullptr;
};

// Where the stage's output lines go, in order.
class StageOutput {
public:
    virtual ~StageOutput() = default;
    // The line is bytes [start, start + length) of the file, shaped.
    virtual void FileLine(qint64 start, qint64 length) = 0;
    virtual void StoredLine(const QString& text) = 0;
};

// One line handed to the stage: its units (bytes for 8-bit types, native 16-bit units for wide
// ones) and where it lies in the file.
struct StageLine {
    const void* units = nullptr;
    qsizetype count = 0; // units
    qint64 start = 0;    // file position of its first byte
    qint64 end = 0;      // file position of the unit that ended it (the window's end for the last)
    qint64 Bytes(bool wide) const { return wide ? 2 * count : count; }
};

class LineStage final {
public:
    LineStage(LineStageSettings settings, PatternMatcher& filter, PatternMatcher& alert,
              AddressResolver* resolver, StageOutput& output);

    // Throws PassCancelled once the cancel flag is set.
    void EndLine(const StageLine& line);

    // The next line ended begins inside a line of the file (the read window started in it): the
    // token at its start may be the end of an address, which R. DNS must not take for another.
    void NextLineCutAtStart() { cutAtStart_ = true; }

    // The last EndLine put its line out as a passing line (not as context, not dropped): after it
    // nothing is held back and the after-context starts afresh, whatever came before.
    bool LastLinePassed() const { return lastPassed_; }
    // Starts this stage as it stands right after a passing line, to go on from there.
    void ResumeAfterPassingLine() { afterCountdown_ = s_.filterOn ? s_.afterCount : 0; }
    // A held-back line: its place, or its text when annotating changed it.
    struct HeldLine {
        qint64 start = 0;
        qint64 length = 0;
        bool stored = false;
        QString text;
    };
    // Between lines while no after-context runs, the held-back lines are all the stage carries on:
    // how many there were since the last output line, and the last `before count` of them.
    struct HeldLines {
        qint64 count = 0;
        std::vector<HeldLine> last; // oldest first
    };
    HeldLines Held() const;
    // Starts this stage with those held-back lines and no after-context running.
    void ResumeHeld(const HeldLines& held);

    // The filter pattern's UTF-8 bytes when it is a plain literal that can be searched in the raw
    // bytes of an 8-bit line (no R. DNS rewriting the line first, no blank that kill space could
    // fold); empty otherwise.
    const QByteArray& RawLiteral() const { return rawLiteral_; }
    // The filter is on with a pattern that is not blank.
    bool FilterActive() const { return filterActive_; }
    bool FilterInverted() const { return s_.filterInverted; }
    bool KillsBlankLines() const { return s_.killLine; }
    bool KillsSpace() const { return s_.killSpace; }
    // Whether a failing line would only be held back (no after-context running).
    bool CanSkipFailingLine() const { return afterCountdown_ == 0; }
    // Lines are held back since the last output line.
    bool HoldsLines() const { return heldCount_ > 0; }
    // Holds back a failing 8-bit line by its place.
    void SkipFailingLine(qint64 start, qint64 length);
    // Counts failing lines that context can never show (more than the before count back).
    void CountSkippedLines(qint64 count) {
        linesRead_ += count;
        linesFiltered_ += count;
        heldCount_ += count;
        ringPos_ = heldRing_.empty() ? 0 : size_t((qint64(ringPos_) + count) % qint64(heldRing_.size()));
    }
    int BeforeCount() const { return static_cast<int>(heldRing_.size()); }

    qint64 LinesRead() const { return linesRead_; }
    // Lines on which a pattern was too costly to decide; each counted as not matching it.
    qint64 CostlyLines() const { return costlyLines_; }
    qint64 LinesFiltered() const { return linesFiltered_; }
    qint64 OutputLines() const { return outputLines_; }
    // File position of the end of the last output line; -1 when none.
    qint64 LastKeptLineEnd() const { return lastKeptLineEnd_; }
    // The last output line that met the alert condition: its number (1 for the stage's first
    // output line; 0: none) and its text.
    qint64 AlertLine() const { return alertLine_; }
    const QString& AlertText() const { return alertText_; }

private:
    const QString& Text(const StageLine& line);
    bool Blank(const StageLine& line) const;
    bool Filtered(const StageLine& line);
    // Search, with a search that hit its bounds counted and taken as not matching.
    MatchResult Decide(PatternMatcher& matcher, QStringView line);
    void Hold(const StageLine& line, bool stored);
    HeldLine& NextSlot();
    void EmitHeld();
    void Emit(const HeldLine& line);
    bool Annotate(const StageLine& line, bool cut);
    void TestAlert(const StageLine& line);

    LineStageSettings s_;
    PatternMatcher& filter_;
    PatternMatcher& alert_;
    AddressResolver* resolver_;
    StageOutput& out_;
    bool filterActive_ = false;
    bool cutAtStart_ = false;
    QByteArray rawLiteral_;
    bool alertActive_ = false;

    qint64 linesRead_ = 0;
    qint64 linesFiltered_ = 0;
    qint64 costlyLines_ = 0;
    qint64 outputLines_ = 0;
    int afterCountdown_ = 0;
    bool lastPassed_ = false;
    qint64 lastKeptLineEnd_ = -1;
    qint64 alertLine_ = 0;
    QString alertText_;

    qint64 heldCount_ = 0;
    std::vector<HeldLine> heldRing_; // the last beforeCount held-back lines
    size_t ringPos_ = 0;             // heldCount_ modulo the ring's size: the next slot
    QString text_;                   // the current line's text
    bool textReady_ = false;
};
