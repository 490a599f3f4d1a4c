#pragma once
// LiteralSkipper: the shortcut of the split loop for a plain literal filter on 8-bit text. Lines
// that fail the filter while no after-context runs are only counted and held back by their place
// in the file, never decoded; long runs of such lines (up to the literal's next occurrence) are
// counted in bulk. The outcome is the line stage's own, line for line. Works on one buffer of the
// window (its byte 0 at file position `base`); used by the pass thread only.
#include <QByteArray>
#include <QtGlobal>

class LineStage;

class LiteralSkipper final {
public:
    LiteralSkipper(const char* data, qint64 units, qint64 base, LineStage& stage);

    // One line [pos, end) ended by a CR or LF at end: true when it failed and was held back.
    bool Skip(qint64 pos, qint64 end);
    // The whole LF-ended lines from pos up to the line of the literal's next occurrence all fail
    // (without inversion): counts them and holds back only the last ones that context may show.
    // Answers the end of that run (pos when there is none). Lines near a CR are left to the
    // line-by-line path, which pairs CR LF and LF CR.
    qint64 SkipRun(qint64 pos);

private:
    void HoldLast(qint64 pos, qint64 runEnd, qint64 held, qint64 lines);
    qint64 NextHit(qint64 pos);
    qint64 NextCr(qint64 pos);

    static constexpr qint64 kMinRun = 1024;    // shorter runs cost less line by line
    static constexpr qint64 kMaxContext = 100; // RzSpinEditFilterHistory goes to 99

    const char* data_;
    qint64 units_;
    qint64 base_;
    LineStage& stage_;
    const QByteArray& literal_;
    qint64 hit_ = -1;
    qint64 cr_ = -1;
};
