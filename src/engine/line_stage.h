#pragma once
// The line stage: every line the pass cuts out of the read window goes through EndLine, which may
// drop it (kill line), annotate its addresses (R. DNS), test it against the filter, hold it back
// as context, put it into the output, and test it against the alert pattern.
//
// The output is one text holding every output line followed by CR LF; the line being built sits
// at its end (from lineStart on), so a kept line costs no copy. Lines held back by the filter are
// counted, and only the last `before count` of them are kept: no more can ever be shown.
// One object per read of the window; used by the pass thread only.
#include <vector>

#include <QString>

class AddressResolver;
class PatternMatcher;

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
};

class LineStage final {
public:
    LineStage(LineStageSettings settings, PatternMatcher& filter, PatternMatcher& alert, AddressResolver* resolver);

    // The line being built is out[lineStart, end); index is the unit that ended it (the unit count
    // for the last, unterminated line). Leaves out ending after the last output line.
    void EndLine(QString& out, qsizetype lineStart, qint64 index);

    int LinesRead() const { return linesRead_; }
    int LinesFiltered() const { return linesFiltered_; }
    int OutputLines() const { return outputLines_; }
    // Byte position, from the window's start, of the end of the last output line; -1 when none.
    qint64 LastKeptLineEnd() const { return lastKeptLineEnd_; }
    bool HasAlertLine() const { return alertLength_ >= 0; }
    // The last output line that met the alert condition; out is the output text given to EndLine.
    QString AlertLine(const QString& out) const;

private:
    bool Filtered(QStringView line);
    void Hold(QStringView line);
    void EmitHeld(QString& out, qsizetype lineStart);
    void Annotate(QString& out, qsizetype lineStart);
    void TestAlert(const QString& out, qsizetype lineStart, qsizetype length);

    LineStageSettings s_;
    PatternMatcher& filter_;
    PatternMatcher& alert_;
    AddressResolver* resolver_;
    bool filterActive_ = false;
    bool alertActive_ = false;

    int linesRead_ = 0;
    int linesFiltered_ = 0;
    int outputLines_ = 0;
    int afterCountdown_ = 0;
    qint64 lastKeptLineEnd_ = -1;
    qsizetype alertStart_ = 0;
    qsizetype alertLength_ = -1;

    qint64 heldCount_ = 0;
    std::vector<QString> heldRing_; // the last beforeCount held-back lines
    QString scratch_;
};
