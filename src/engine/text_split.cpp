#include "engine/text_split.h"

#include <algorithm>
#include <cstring>

#include <QByteArray>
#include <QtEndian>

#include "engine/line_source.h"
#include "engine/line_stage.h"
#include "engine/literal_skipper.h"
#include "engine/pass_failure.h"
#include "engine/read_buffer.h"

namespace {

constexpr qint64 kBlock = LineSource::kBlockBytes;
constexpr int kLinesPerYield = 256;

// Reports every tenth of the units the way a unit-by-unit loop would: after each advance of i,
// when i has reached the next point (a step of 0 reports after every unit).
class ProgressTicker final {
public:
    ProgressTicker(qint64 units, const SplitProgress* report)
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
            if (report_ && *report_)
                (*report_)(v, units_);
            next_ += step_;
            ++v;
        }
    }

private:
    qint64 units_;
    qint64 step_;
    qint64 next_;
    const SplitProgress* report_;
};

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

template <typename Unit> bool HoldsMoreThanBlanks(const Unit* p, qint64 n) {
    return std::any_of(p, p + n, [](Unit c) { return std::make_unsigned_t<Unit>(c) > 0x20; });
}

// The position after the line end at e: CR LF and LF CR count as one end.
template <typename Unit> qint64 AfterLineEnd(const Unit* data, qint64 units, qint64 e) {
    const Unit other = data[e] == Unit('\n') ? Unit('\r') : Unit('\n');
    return e + 1 + (e + 1 < units && data[e + 1] == other ? 1 : 0);
}

// The stretch's bytes as pieces of whole blocks in the read buffer: data[0] is file position
// base, the current line starts at pos, and everything from pos on is kept across a refill.
class Pieces final {
public:
    Pieces(LineSource& source, ReadBuffer& buffer, qint64 from, qint64 to, bool wide, bool swap)
        : source_(source), buffer_(buffer), end_(to), next_(from / kBlock), pos_(from), wide_(wide),
          swap_(swap) {}

    // Reads the next piece after the bytes kept from pos on; false when a block failed its mark.
    bool Refill();
    char* Data() const { return data_; }
    qint64 Base() const { return base_; }
    // Bytes of the stretch in the buffer (up to the end), and whether they reach the end.
    qint64 Have() const { return std::min(base_ + have_, end_) - base_; }
    bool Final() const { return final_; }
    qint64 End() const { return end_; }
    // The unit right after the stretch's end is a CR or LF (it ends the stretch's last line).
    bool LineEndFollows() const;
    void SetPos(qint64 pos) { pos_ = pos; }

private:
    LineSource& source_;
    ReadBuffer& buffer_;
    qint64 end_;
    qint64 next_; // next block to read
    qint64 pos_;
    bool wide_;
    bool swap_;
    char* data_ = nullptr;
    qint64 base_ = 0;
    qint64 have_ = 0;
    bool final_ = false;
};

bool Pieces::Refill() {
    const qint64 lastBlock = (end_ - 1) / kBlock;
    const qint64 count = std::clamp<qint64>(lastBlock - next_ + 1, 1, kSplitPieceBlocks);
    const qint64 carry = data_ ? base_ + have_ - pos_ : 0;
    const char* kept = data_ ? data_ + (pos_ - base_) : nullptr;
    QByteArray saved;
    if (carry + count * kBlock > buffer_.Capacity() && carry > 0)
        saved = QByteArray(kept, carry); // a growing buffer drops its block
    char* data = buffer_.Ensure(carry + count * kBlock);
    if (!saved.isNull())
        std::memcpy(data, saved.constData(), size_t(carry));
    else if (carry > 0)
        std::memmove(data, kept, size_t(carry));
    const qint64 got = source_.ReadBlocks(next_, count, data + carry);
    if (got == -2)
        return false;
    if (got < 0)
        throw PassFailure(source_.ErrorString());
    if (swap_) {
        auto* units = reinterpret_cast<quint16*>(data + carry);
        for (qint64 i = 0; i < got / 2; ++i)
            units[i] = qbswap(units[i]);
    }
    data_ = data;
    base_ = carry > 0 ? pos_ : next_ * kBlock;
    have_ = carry + got;
    if (got < count * kBlock)
        end_ = std::max(std::min(end_, next_ * kBlock + got), pos_);
    next_ += count;
    final_ = got < count * kBlock || next_ > lastBlock;
    return true;
}

bool Pieces::LineEndFollows() const {
    char unit[2] = {};
    const qint64 bytes = swap_ || wide_ ? 2 : 1;
    if (base_ + have_ >= end_ + bytes)
        std::memcpy(unit, data_ + (end_ - base_), size_t(bytes)); // already in native order
    else if (source_.ReadRaw(end_, unit, bytes) != bytes)
        return false;
    else if (swap_)
        std::swap(unit[0], unit[1]);
    char16_t c = 0;
    std::memcpy(&c, unit, size_t(bytes));
    if (bytes == 1)
        c = char16_t(uchar(unit[0]));
    return c == u'\n' || c == u'\r';
}

template <typename Unit, typename Finder, typename Skipper> class Splitter final {
public:
    Splitter(qint64 from, qint64 units, LineStage& stage, const SplitHooks& hooks)
        : from_(from), stage_(stage), hooks_(hooks), ticker_(units, hooks.progress) {}

    // Splits the lines of the piece from pos on; answers where the next line starts (the rest is
    // carried into the next piece unless the piece is the last).
    qint64 Run(const Pieces& pieces, qint64 pos) {
        constexpr qint64 kUnit = sizeof(Unit);
        const Unit* data = reinterpret_cast<const Unit*>(pieces.Data());
        const qint64 base = pieces.Base();
        const qint64 units = pieces.Have() / kUnit;
        const auto at = [&](qint64 i) { return base + i * kUnit; };
        const auto rel = [&](qint64 i) { return (at(i) - from_) / kUnit; };
        Finder finder(data, units);
        Skipper skipper(reinterpret_cast<const char*>(data), units, base, stage_);
        qint64 i = (pos - base) / kUnit;
        while (i < units) {
            if (hooks_.sink && at(i) > from_ && at(i) != lastStart_)
                hooks_.sink->LineStart(lastStart_ = at(i));
            if (const qint64 runEnd = skipper.SkipRun(i); runEnd > i) {
                ticker_.Reach(rel(i) + 1, rel(runEnd)); // no CR in the run: i took every value
                i = runEnd;
                continue;
            }
            const qint64 e = finder.Next(i);
            if (e == units || (e + 1 == units && !pieces.Final())) {
                if (!pieces.Final())
                    return at(i); // the line (or its end's pair) goes on in the next piece
                if (e == units) {
                    ticker_.Reach(rel(i) + 1, rel(units));
                    const bool cut = hooks_.endCutsLine && !pieces.LineEndFollows();
                    if (!cut && HoldsMoreThanBlanks(data + i, units - i))
                        stage_.EndLine({data + i, units - i, at(i), at(units)});
                    return at(units);
                }
            }
            const qint64 next = AfterLineEnd(data, units, e);
            ticker_.Reach(rel(i) + 1, rel(e));
            if (!skipper.Skip(i, e)) {
                stage_.EndLine({data + i, e - i, at(i), at(e)});
                if (hooks_.sink && stage_.LastLinePassed())
                    hooks_.sink->Passed(at(i), at(e), at(next), char16_t(data[e]));
            }
            ticker_.Reach(rel(next), rel(next));
            i = next;
            if (hooks_.yield && *hooks_.yield && ++lines_ % kLinesPerYield == 0)
                (*hooks_.yield)();
        }
        return at(i);
    }

private:
    qint64 from_;
    LineStage& stage_;
    const SplitHooks& hooks_;
    ProgressTicker ticker_;
    qint64 lastStart_ = -1;
    qint64 lines_ = 0;
};

template <typename Unit, typename Finder, typename Skipper>
SplitResult Split(Pieces& pieces, qint64 from, qint64 to, LineStage& stage, const SplitHooks& hooks) {
    Splitter<Unit, Finder, Skipper> splitter(from, (to - from) / qint64(sizeof(Unit)), stage, hooks);
    qint64 pos = from;
    do {
        if (!pieces.Refill())
            return {false, pos};
        pos = splitter.Run(pieces, pos);
        pieces.SetPos(pos);
    } while (!pieces.Final());
    return {true, pieces.End()};
}

} // namespace

SplitResult SplitStretch(LineSource& source, ReadBuffer& buffer, qint64 from, qint64 to, TFileType type,
                         LineStage& stage, const SplitHooks& hooks) {
    if (to <= from)
        return {true, from};
    const bool wide = IsWideType(type);
    const bool swap = wide && ((type == TFileType::UNIBIG) == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN));
    Pieces pieces(source, buffer, from, to, wide, swap);
    if (!wide)
        return Split<char, LineEndFinder, LiteralSkipper>(pieces, from, to, stage, hooks);
    return Split<char16_t, WideLineEndFinder, NoSkipper>(pieces, from, to & ~qint64(1), stage, hooks);
}
