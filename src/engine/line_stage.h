#pragma once
// The line stage: every line the pass cuts out of the read window goes through EndLine, which may
// drop it (kill line), annotate its addresses (R. DNS), test it against the filter, hold it back
// as context, put it into the output, and test it against the alert pattern.
//
// The output is one text holding every output line followed by CR LF; the line being built sits
// at its end (from lineStart on), so a kept line costs no copy. Lines held back by the filter are
// counted, and only the last `before count` of them are kept: no more can ever be shown.
// One object per read of the window; used by the pass thread only.
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
    bool wide = false; // 16-bit units: line ends are reported in bytes (index * 2)
    QString filterPattern;
    QString alertPattern;
    bool filterInverted = false;
    bool alertInverted = false;
    bool killSpace = false; // CheckBoxCompactSpace: blanks were folded while the line was built
    // Set when the pass must end (a stop or a close): EndLine then throws PassCancelled, so a
    // long analysis ends at the next line. Null: never.
    const std::atomic<bool>* cancel = nullptr;
};

class LineStage final {
public:
    LineStage(LineStageSettings settings, PatternMatcher& filter, PatternMatcher& alert,
              AddressResolver* resolver);

    // The line being built is out[lineStart, end); index is the unit that ended it (the unit count
    // for the last, unterminated line). Leaves out ending after the last output line. Throws
    // PassCancelled once the cancel flag is set.
    void EndLine(QString& out, qsizetype lineStart, qint64 index);

    // The next line ended begins inside a line of the file (the read window started in it): the
    // token at its start may be the end of an address, which R. DNS must not take for another.
    void NextLineCutAtStart() { cutAtStart_ = true; }

    // The last EndLine put its line out as a passing line (not as context, not dropped): after it
    // nothing is held back and the after-context starts afresh, whatever came before.
    bool LastLinePassed() const { return lastPassed_; }
    // Starts this stage as it stands right after a passing line, to go on from there.
    void ResumeAfterPassingLine() { afterCountdown_ = s_.filterOn ? s_.afterCount : 0; }
    // Between lines while no after-context runs, the held-back lines are all the stage carries on:
    // how many there were since the last output line, and the last `before count` of them as text.
    struct HeldLines {
        qint64 count = 0;
        std::vector<QString> last; // oldest first
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
    // Holds back a failing 8-bit line by its raw bytes (valid for the whole read): it is decoded
    // (and folded, with kill space) only if it is shown as context.
    void SkipFailingLine(const char* raw, qsizetype length);
    // Counts failing lines that context can never show (more than the before count back).
    void CountSkippedLines(qint64 count) {
        linesRead_ += static_cast<int>(count);
        linesFiltered_ += static_cast<int>(count);
        heldCount_ += count;
    }
    int BeforeCount() const { return static_cast<int>(heldRing_.size()); }

    int LinesRead() const { return linesRead_; }
    // Lines on which a pattern was too costly to decide; each counted as not matching it.
    int CostlyLines() const { return costlyLines_; }
    int LinesFiltered() const { return linesFiltered_; }
    int OutputLines() const { return outputLines_; }
    // Byte position, from the window's start, of the end of the last output line; -1 when none.
    qint64 LastKeptLineEnd() const { return lastKeptLineEnd_; }
    bool HasAlertLine() const { return alertLength_ >= 0; }
    // The last output line that met the alert condition; out is the output text given to EndLine.
    QString AlertLine(const QString& out) const;
    // Where that line lies in the output text (start -1: none).
    qsizetype AlertStart() const { return alertLength_ < 0 ? -1 : alertStart_; }
    qsizetype AlertLength() const { return alertLength_; }

private:
    bool Filtered(QStringView line);
    // Search, with a search that hit its bounds counted and taken as not matching.
    MatchResult Decide(PatternMatcher& matcher, QStringView line);
    void Hold(QStringView line);
    void EmitHeld(QString& out, qsizetype lineStart);
    void Annotate(QString& out, qsizetype lineStart, bool cut);
    void TestAlert(const QString& out, qsizetype lineStart, qsizetype length);

    LineStageSettings s_;
    PatternMatcher& filter_;
    PatternMatcher& alert_;
    AddressResolver* resolver_;
    bool filterActive_ = false;
    bool cutAtStart_ = false;
    QByteArray rawLiteral_;
    bool alertActive_ = false;

    int linesRead_ = 0;
    int linesFiltered_ = 0;
    int costlyLines_ = 0;
    int outputLines_ = 0;
    int afterCountdown_ = 0;
    bool lastPassed_ = false;
    qint64 lastKeptLineEnd_ = -1;
    qsizetype alertStart_ = 0;
    qsizetype alertLength_ = -1;

    // A held-back line: its text, or its raw 8-bit bytes when it was skipped undecoded.
    struct HeldLine {
        QString text;
        const char* raw = nullptr;
        qsizetype rawLength = 0;
    };
    qint64 heldCount_ = 0;
    std::vector<HeldLine> heldRing_; // the last beforeCount held-back lines
    QString scratch_;
};
