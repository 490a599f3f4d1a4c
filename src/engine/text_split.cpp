#include "engine/text_split.h"

#include <algorithm>
#include <cstring>

#include <QtEndian>

#include "engine/byte_text.h"
#include "engine/line_stage.h"
#include "engine/literal_skipper.h"

namespace {

// Reports every tenth of the units the way a unit-by-unit loop would: after each advance of i,
// when i has reached the next point (a step of 0 reports after every unit).
class ProgressTicker final {
public:
    ProgressTicker(qint64 units, const SplitProgress& report)
        : units_(units), step_(units / 10), next_(units / 10), report_(report) {}

    // i took every value from lo to hi (inclusive).
    void Reach(qint64 lo, qint64 hi) {
        qint64 v = lo;
        while (v <= hi) {
            if (next_ > v) {
                v = next_;
                if (v > hi)
                    break;
            }
            if (report_)
                report_(v, units_);
            next_ += step_;
            ++v;
        }
    }

private:
    qint64 units_;
    qint64 step_;
    qint64 next_;
    const SplitProgress& report_;
};

// Appends one line's units, turning every run of blanks into one space unless the line being
// built already ends with a space.
void AppendKillSpace(QString& out, qsizetype lineStart, const char* p, const char* end) {
    const qsizetype base = out.size();
    AppendFoldedBytes(out, p, end - p, base > lineStart && out.at(base - 1) == u' ');
}
void AppendKillSpace(QString& out, qsizetype lineStart, const char16_t* p, const char16_t* end) {
    const qsizetype base = out.size();
    const bool afterSpace = base > lineStart && out.at(base - 1) == u' ';
    out.append(reinterpret_cast<const QChar*>(p), end - p);
    FoldBlanks(out, base, afterSpace);
}

inline void AppendRun(QString& out, const char* p, qsizetype n) {
    AppendDecodedBytes(out, p, n);
}
inline void AppendRun(QString& out, const char16_t* p, qsizetype n) {
    out.append(reinterpret_cast<const QChar*>(p), n);
}

template <typename Unit>
void AppendLine(QString& out, qsizetype lineStart, const Unit* p, const Unit* end, bool killSpace) {
    if (killSpace)
        AppendKillSpace(out, lineStart, p, end);
    else if (end > p)
        AppendRun(out, p, end - p);
}

// Position of the next CR or LF at or after pos (end when none), caching each kind's next hit.
class LineEndFinder final {
public:
    LineEndFinder(const char* data, qint64 units) : data_(data), units_(units) {}
    qint64 Next(qint64 pos) { return std::min(Find(pos, '\n', lf_), Find(pos, '\r', cr_)); }

private:
    qint64 Find(qint64 pos, char c, qint64& cached) {
        if (cached >= pos)
            return cached;
        const void* hit = std::memchr(data_ + pos, c, static_cast<size_t>(units_ - pos));
        cached = hit ? static_cast<const char*>(hit) - data_ : units_;
        return cached;
    }
    const char* data_;
    qint64 units_;
    qint64 lf_ = -1;
    qint64 cr_ = -1;
};

class WideLineEndFinder final {
public:
    WideLineEndFinder(const char16_t* data, qint64 units) : data_(data), units_(units) {}
    qint64 Next(qint64 pos) {
        const char16_t* hit =
            std::find_if(data_ + pos, data_ + units_, [](char16_t c) { return c == u'\n' || c == u'\r'; });
        return hit - data_;
    }

private:
    const char16_t* data_;
    qint64 units_;
};

class NoSkipper final {
public:
    template <typename... Args> explicit NoSkipper(Args&&...) {}
    bool Skip(qint64, qint64) { return false; }
    qint64 SkipRun(qint64 pos) { return pos; }
};

bool HoldsMoreThanBlanks(const QString& out, qsizetype lineStart) {
    return std::any_of(out.begin() + lineStart, out.end(), [](QChar c) { return c.unicode() > 0x20; });
}

// The position after the line end at e: CR LF and LF CR count as one end.
template <typename Unit> qint64 AfterLineEnd(const Unit* data, qint64 units, qint64 e) {
    const Unit other = data[e] == Unit('\n') ? Unit('\r') : Unit('\n');
    return e + 1 + (e + 1 < units && data[e + 1] == other ? 1 : 0);
}

template <typename Unit, typename Finder, typename Skipper>
void Split(const Unit* data, qint64 units, bool killSpace, LineStage& stage, QString& out,
           const SplitProgress& progress, PassedLineSink* sink) {
    ProgressTicker ticker(units, progress);
    Finder finder(data, units);
    Skipper skipper(data, units, stage);
    qint64 pos = 0;
    while (pos < units) {
        if (sink && pos > 0)
            sink->LineStart(pos);
        if (const qint64 runEnd = skipper.SkipRun(pos); runEnd > pos) {
            ticker.Reach(pos + 1, runEnd); // no CR in the run: i took every value
            pos = runEnd;
            continue;
        }
        const qint64 e = finder.Next(pos);
        const qsizetype lineStart = out.size();
        if (e == units) {
            AppendLine(out, lineStart, data + pos, data + e, killSpace);
            ticker.Reach(pos + 1, units);
            if (HoldsMoreThanBlanks(out, lineStart))
                stage.EndLine(out, lineStart, units);
            else
                out.truncate(lineStart);
            return;
        }
        const qint64 next = AfterLineEnd(data, units, e);
        ticker.Reach(pos + 1, e);
        if (!skipper.Skip(pos, e)) {
            AppendLine(out, lineStart, data + pos, data + e, killSpace);
            stage.EndLine(out, lineStart, e);
            if (sink && stage.LastLinePassed())
                sink->Passed(pos, e, next, char16_t(data[e]));
        }
        ticker.Reach(next, next);
        pos = next;
    }
}

// Unfiltered, the output is about the window's size (a CR LF per line end): reserve it once
// rather than regrow. A filter keeps a part only, so the text grows as needed.
void ReserveOutput(QString& out, qint64 units, const LineStage& stage) {
    if (!stage.FilterActive())
        out.reserve(static_cast<qsizetype>(units + units / 32 + 16));
}

} // namespace

qint64 SplitWindow(char* data, qint64 n, TFileType type, LineStage& stage, QString& out,
                   const SplitProgress& progress, PassedLineSink* sink) {
    const bool killSpace = stage.KillsSpace();
    if (!IsWideType(type)) {
        ReserveOutput(out, n, stage);
        Split<char, LineEndFinder, LiteralSkipper>(data, n, killSpace, stage, out, progress, sink);
        return n;
    }
    const qint64 units = n / 2;
    auto* wide = reinterpret_cast<char16_t*>(data);
    if (type == TFileType::UNIBIG) {
        for (qint64 i = 0; i < units; ++i)
            wide[i] = qFromBigEndian(wide[i]);
    } else if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint64 i = 0; i < units; ++i)
            wide[i] = qFromLittleEndian(wide[i]);
    }
    ReserveOutput(out, units, stage);
    Split<char16_t, WideLineEndFinder, NoSkipper>(wide, units, killSpace, stage, out, progress, sink);
    return units;
}
