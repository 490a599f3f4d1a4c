#include "engine/literal_skipper.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "engine/line_stage.h"

namespace {

// The literal's rarest-looking byte is found with memchr (vectorised), then the whole literal is
// compared around it; faster than a general substring search on long runs without a hit.
qint64 FindLiteral(const char* data, qint64 n, const QByteArray& literal) {
    const qint64 m = literal.size();
    if (m == 0 || n < m)
        return -1;
    // Prefer the last byte that is not a common letter: capitals, digits and punctuation are rarer
    // in log text than lower-case letters and blanks.
    qint64 anchor = m - 1;
    for (qint64 k = m - 1; k >= 0; --k) {
        const char c = literal[k];
        if (!(c >= 'a' && c <= 'z') && c != ' ') {
            anchor = k;
            break;
        }
    }
    const char key = literal[anchor];
    const char* p = data + anchor;
    const char* const last = data + n - (m - anchor) + 1;
    while (p < last) {
        p = static_cast<const char*>(std::memchr(p, key, static_cast<size_t>(last - p)));
        if (!p)
            return -1;
        const char* start = p - anchor;
        if (std::memcmp(start, literal.constData(), static_cast<size_t>(m)) == 0)
            return start - data;
        ++p;
    }
    return -1;
}

// LF bytes in [p, p + n), sixteen at a time: each lane's matches summed in bytes, at most 255 times
// between two folds.
qint64 CountLineFeeds(const char* p, qint64 n) {
    typedef char Lanes __attribute__((vector_size(16)));
    typedef unsigned char Counts __attribute__((vector_size(16)));
    const Lanes lf = {'\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n',
                      '\n', '\n', '\n', '\n', '\n', '\n', '\n', '\n'};
    qint64 total = 0, i = 0;
    while (n - i >= 16) {
        Counts sums = {};
        for (int round = 0; round < 255 && n - i >= 16; ++round, i += 16) {
            Lanes chunk;
            std::memcpy(&chunk, p + i, 16);
            sums -= reinterpret_cast<Counts>(chunk == lf); // a match is -1
        }
        for (int k = 0; k < 16; ++k)
            total += sums[k];
    }
    for (; i < n; ++i)
        total += p[i] == '\n';
    return total;
}

} // namespace

LiteralSkipper::LiteralSkipper(const char* data, qint64 units, qint64 base, LineStage& stage)
    : data_(data), units_(units), base_(base), stage_(stage), literal_(stage.RawLiteral()) {}

bool LiteralSkipper::Skip(qint64 pos, qint64 end) {
    if (literal_.isEmpty() || !stage_.CanSkipFailingLine())
        return false;
    const bool folds = stage_.KillsSpace();
    if (stage_.KillsBlankLines() &&
        std::all_of(data_ + pos, data_ + end, [folds](char c) { return c == ' ' || (folds && c == '\t'); }))
        return false; // kill line drops it uncounted: the full stage decides
    const bool found = NextHit(pos) + literal_.size() <= end; // a literal never crosses a line end
    if (found != stage_.FilterInverted())
        return false;
    stage_.SkipFailingLine(base_ + pos, end - pos);
    return true;
}

qint64 LiteralSkipper::SkipRun(qint64 pos) {
    if (literal_.isEmpty() || stage_.FilterInverted() || stage_.KillsBlankLines() ||
        !stage_.CanSkipFailingLine() || stage_.BeforeCount() > kMaxContext)
        return pos;
    const qint64 limit = std::min(NextHit(pos), NextCr(pos) - 1);
    if (limit - pos < kMinRun)
        return pos;
    const void* lastLf = memrchr(data_ + pos, '\n', static_cast<size_t>(limit - pos));
    if (!lastLf)
        return pos;
    const qint64 runEnd = static_cast<const char*>(lastLf) - data_ + 1;
    const qint64 lines = CountLineFeeds(data_ + pos, runEnd - pos);
    HoldLast(pos, runEnd, std::min<qint64>(lines, stage_.BeforeCount()), lines);
    return runEnd;
}

// Counts the run's lines; the last `held` of them go through the held-back ring in order.
void LiteralSkipper::HoldLast(qint64 pos, qint64 runEnd, qint64 held, qint64 lines) {
    std::array<std::pair<qint64, qint64>, kMaxContext> last; // [start, end), last line first
    qint64 end = runEnd - 1;
    for (qint64 i = 0; i < held; ++i) {
        const void* lf = memrchr(data_ + pos, '\n', static_cast<size_t>(end - pos));
        const qint64 start = lf ? static_cast<const char*>(lf) - data_ + 1 : pos;
        last[static_cast<size_t>(i)] = {start, end};
        end = start - 1;
    }
    stage_.CountSkippedLines(lines - held);
    for (qint64 i = held - 1; i >= 0; --i) {
        const auto& [start, stop] = last[static_cast<size_t>(i)];
        stage_.SkipFailingLine(base_ + start, stop - start);
    }
}

qint64 LiteralSkipper::NextHit(qint64 pos) {
    if (hit_ < pos) {
        hit_ = FindLiteral(data_ + pos, units_ - pos, literal_);
        hit_ = hit_ < 0 ? units_ : hit_ + pos;
    }
    return hit_;
}

// One past the end when there is none, so that NextCr - 1 never cuts a run short.
qint64 LiteralSkipper::NextCr(qint64 pos) {
    if (cr_ < pos) {
        const void* at = std::memchr(data_ + pos, '\r', static_cast<size_t>(units_ - pos));
        cr_ = at ? static_cast<const char*>(at) - data_ : units_ + 1;
    }
    return cr_;
}
