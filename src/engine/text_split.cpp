#include "engine/text_split.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include <QtEndian>

#include "engine/line_stage.h"

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

inline void AppendRun(QString& out, const char* p, qsizetype n) { out.append(QLatin1String(p, n)); }
inline void AppendRun(QString& out, const char16_t* p, qsizetype n) {
    out.append(reinterpret_cast<const QChar*>(p), n);
}

// Appends one line's units, turning every run of blanks into one space unless the line being
// built already ends with a space. Writes straight into the text: the result is never longer.
template <typename Unit>
void AppendKillSpace(QString& out, qsizetype lineStart, const Unit* p, const Unit* end) {
    const qsizetype base = out.size();
    out.resize(base + (end - p));
    char16_t* const text = reinterpret_cast<char16_t*>(out.data());
    char16_t* dst = text + base;
    bool afterSpace = base > lineStart && dst[-1] == u' ';
    for (; p < end; ++p) {
        const auto c = static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(*p));
        if (c == u' ' || c == u'\t') {
            if (!afterSpace)
                *dst++ = u' ';
            afterSpace = true;
        } else {
            *dst++ = c;
            afterSpace = false;
        }
    }
    out.truncate(dst - text);
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

bool HoldsMoreThanBlanks(const QString& out, qsizetype lineStart) {
    return std::any_of(out.begin() + lineStart, out.end(), [](QChar c) { return c.unicode() > 0x20; });
}

template <typename Unit, typename Finder>
void Split(const Unit* data, qint64 units, bool killSpace, LineStage& stage, QString& out,
           const SplitProgress& progress) {
    ProgressTicker ticker(units, progress);
    Finder finder(data, units);
    qint64 pos = 0;
    while (pos < units) {
        const qint64 e = finder.Next(pos);
        const qsizetype lineStart = out.size();
        AppendLine(out, lineStart, data + pos, data + e, killSpace);
        if (e == units) {
            ticker.Reach(pos + 1, units);
            if (HoldsMoreThanBlanks(out, lineStart))
                stage.EndLine(out, lineStart, units);
            else
                out.truncate(lineStart);
            return;
        }
        const Unit other = data[e] == Unit('\n') ? Unit('\r') : Unit('\n');
        const bool skip = e + 1 < units && data[e + 1] == other;
        ticker.Reach(pos + 1, e);
        stage.EndLine(out, lineStart, e);
        const qint64 next = e + 1 + (skip ? 1 : 0);
        ticker.Reach(next, next);
        pos = next;
    }
}

} // namespace

qint64 SplitWindow(char* data, qint64 n, TFileType type, bool killSpace, LineStage& stage, QString& out,
                   const SplitProgress& progress) {
    if (!IsWideType(type)) {
        out.reserve(static_cast<qsizetype>(n + n / 32 + 16));
        Split<char, LineEndFinder>(data, n, killSpace, stage, out, progress);
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
    out.reserve(static_cast<qsizetype>(units + units / 32 + 16));
    Split<char16_t, WideLineEndFinder>(wide, units, killSpace, stage, out, progress);
    return units;
}
