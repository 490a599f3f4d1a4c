#include "engine/view_snapshot.h"

#include <algorithm>
#include <cstring>

#include <QHashFunctions>

#include "engine/utf8_scan.h"
#include "engine/view_snapshot_data.h"

using namespace view_snapshot_detail;

namespace {

std::shared_ptr<const Data> EmptyData() {
    static const std::shared_ptr<const Data> empty = std::make_shared<const Data>();
    return empty;
}

QString DecodeUtf8(QByteArrayView bytes) {
    return LineUtf8Decoder().decode(bytes);
}

// Walks the lines of a snapshot in order without a search per line.
class LineWalker {
public:
    LineWalker(const Data& data, qint64 line) : d_(data) {
        if (line >= d_.lines) {
            entry_ = d_.entries.size();
            return;
        }
        auto it = std::upper_bound(d_.entries.begin(), d_.entries.end(), line,
                                   [](qint64 n, const Entry& e) { return n < e.first; });
        entry_ = size_t(it - d_.entries.begin()) - 1;
        index_ = Current().skip + (line - Current().first);
    }
    bool AtEnd() const { return entry_ >= d_.entries.size(); }
    const Entry& Current() const { return d_.entries[entry_]; }
    QByteArrayView Line() const { return Current().chunk->Line(index_); }
    qint64 Index() const { return index_; }
    // Lines left in the current entry, this one included.
    qint64 LeftInEntry() const { return Current().chunk->Lines() - index_; }
    void Advance(qint64 lines) { // at most LeftInEntry()
        index_ += lines;
        if (index_ >= Current().chunk->Lines() && ++entry_ < d_.entries.size())
            index_ = Current().skip;
    }
    void Retreat() { // not before the first line
        if (index_ > Current().skip) {
            --index_;
        } else {
            --entry_;
            index_ = Current().chunk->Lines() - 1;
        }
    }

private:
    const Data& d_;
    size_t entry_ = 0;
    qint64 index_ = 0;
};

bool StartsWith(QByteArrayView line, const QByteArray& part) {
    return line.size() >= part.size() && std::memcmp(line.data(), part.constData(), size_t(part.size())) == 0;
}

bool EndsWith(QByteArrayView line, const QByteArray& part) {
    return line.size() >= part.size() &&
           std::memcmp(line.data() + line.size() - part.size(), part.constData(), size_t(part.size())) == 0;
}

} // namespace

size_t qHash(const ViewLineKey& key, size_t seed) noexcept {
    return qHashMulti(seed, key.chunk, key.index);
}

namespace view_snapshot_detail {

quint64 NextChunkId() {
    static std::atomic<quint64> last{0};
    return ++last;
}

qsizetype Chunk::Units(qint64 index) const {
    if (IsLong())
        return longestUnits;
    const QByteArrayView line = Line(index);
    return ascii ? line.size() : Utf8UnitsBefore(line, line.size());
}

Chunk::Place Chunk::FindColumn(qint64 index, qsizetype column) const {
    const QByteArrayView line = Line(index);
    if (ascii) {
        const qsizetype at = std::clamp<qsizetype>(column, 0, line.size());
        return {at, at};
    }
    Utf8Place from;
    auto after = std::upper_bound(checkpoints.begin(), checkpoints.end(), column,
                                  [](qsizetype c, const Checkpoint& p) { return c < p.units; });
    if (after != checkpoints.begin())
        from = {std::prev(after)->byte, std::prev(after)->units};
    const Utf8Place at = Utf8FindUnit(line, from, std::max<qsizetype>(column, 0));
    return {at.byte, at.unit};
}

qsizetype Chunk::ColumnOfByte(qint64 index, qsizetype byte) const {
    if (ascii)
        return byte;
    const QByteArrayView line = Line(index);
    auto after = std::upper_bound(checkpoints.begin(), checkpoints.end(), byte,
                                  [](qsizetype b, const Checkpoint& p) { return b < p.byte; });
    if (after == checkpoints.begin())
        return Utf8UnitsBefore(line, byte);
    const Checkpoint& at = *std::prev(after);
    return at.units + Utf8UnitsBefore(line.sliced(at.byte), byte - at.byte);
}

qint64 Chunk::HeapBytes() const {
    return qint64(sizeof(Chunk)) + bytes.capacity() + qint64(ends.capacity() * sizeof(quint16)) +
           qint64(checkpoints.capacity() * sizeof(Checkpoint));
}

} // namespace view_snapshot_detail

struct ViewSnapshot::Located {
    const Entry* entry;
    qint64 index; // in the chunk
    const Chunk& chunk() const { return *entry->chunk; }
};

ViewSnapshot::ViewSnapshot() : d_(EmptyData()) {}

ViewSnapshot::ViewSnapshot(std::shared_ptr<const Data> data) : d_(std::move(data)) {}

qint64 ViewSnapshot::LineCount() const {
    return d_->lines;
}

qint64 ViewSnapshot::ByteCount() const {
    return d_->bytes;
}

qsizetype ViewSnapshot::LongestLineLength() const {
    return d_->longest;
}

ViewSnapshot::Located ViewSnapshot::Locate(qint64 line) const {
    Q_ASSERT(line >= 0 && line < d_->lines);
    auto it = std::upper_bound(d_->entries.begin(), d_->entries.end(), line,
                               [](qint64 n, const Entry& e) { return n < e.first; });
    const Entry& entry = *std::prev(it);
    return {&entry, entry.skip + (line - entry.first)};
}

QByteArrayView ViewSnapshot::LineUtf8(qint64 line) const {
    const Located at = Locate(line);
    return at.chunk().Line(at.index);
}

QString ViewSnapshot::Line(qint64 line) const {
    return DecodeUtf8(LineUtf8(line));
}

qsizetype ViewSnapshot::LineLength(qint64 line) const {
    const Located at = Locate(line);
    return at.chunk().Units(at.index);
}

ViewLineKey ViewSnapshot::LineKey(qint64 line) const {
    const Located at = Locate(line);
    return {at.chunk().id, quint32(at.index)};
}

QString ViewSnapshot::LineSlice(qint64 line, qsizetype from, qsizetype length) const {
    const Located at = Locate(line);
    const Chunk& chunk = at.chunk();
    const QByteArrayView bytes = chunk.Line(at.index);
    from = std::max<qsizetype>(from, 0);
    if (length <= 0)
        return {};
    if (chunk.ascii) {
        from = std::min(from, bytes.size());
        return QString::fromLatin1(bytes.sliced(from, std::min(length, bytes.size() - from)));
    }
    const Chunk::Place start = chunk.FindColumn(at.index, from);
    Utf8Place end = Utf8FindUnit(bytes, {start.byte, start.unit}, from + length);
    const bool endCutsPair = end.byte < bytes.size() && end.unit < from + length;
    if (endCutsPair)
        end.byte += 4; // keep the first half: the slice keeps its length
    QString slice = DecodeUtf8(bytes.sliced(start.byte, end.byte - start.byte));
    if (endCutsPair)
        slice.chop(1);
    if (start.unit < from)
        slice.remove(0, 1); // the slice starts on a pair's second half
    return slice;
}

QString ViewSnapshot::Text(QStringView lineEnd) const {
    if (IsEmpty())
        return {};
    const qint64 last = LineCount() - 1;
    QString text = TextBetween({{0, 0}, {last, LineLength(last)}}, lineEnd);
    text.append(lineEnd);
    return text;
}

QString ViewSnapshot::TextBetween(ViewRange range, QStringView lineBreak) const {
    if (IsEmpty())
        return {};
    if (range.to < range.from)
        std::swap(range.from, range.to);
    const qint64 last = LineCount() - 1;
    const qint64 first = std::clamp<qint64>(range.from.line, 0, last);
    const qint64 end = std::clamp<qint64>(range.to.line, 0, last);
    if (first == end)
        return LineSlice(first, range.from.column, range.to.column - range.from.column);
    // Whole middle lines are decoded straight into the result; units never exceed bytes.
    qint64 bound = 0;
    LineWalker sizes(*d_, first + 1);
    for (qint64 line = first + 1; line < end; ++line, sizes.Advance(1))
        bound += sizes.Line().size() + lineBreak.size();
    QString text = LineSlice(first, range.from.column, LineLength(first));
    text.append(lineBreak);
    qsizetype size = text.size();
    text.resize(size + bound);
    QChar* out = text.data() + size;
    QStringDecoder decoder = LineUtf8Decoder();
    LineWalker w(*d_, first + 1);
    for (qint64 line = first + 1; line < end; ++line, w.Advance(1)) {
        out = decoder.appendToBuffer(out, w.Line());
        std::memcpy(static_cast<void*>(out), lineBreak.data(), size_t(lineBreak.size()) * sizeof(QChar));
        out += lineBreak.size();
    }
    size = out - text.constData();
    text.truncate(size);
    text.append(LineSlice(end, 0, range.to.column));
    return text;
}

ViewRange ViewSnapshot::RangeAt(qsizetype entry, qint64 index, qsizetype byte, qsizetype units) const {
    const Entry& e = d_->entries[size_t(entry)];
    const qint64 line = e.first + (index - e.skip);
    const qsizetype column = e.chunk->ColumnOfByte(index, byte - e.chunk->Start(index));
    return {{line, column}, {line, column + units}};
}

std::optional<ViewRange> ViewSnapshot::FindLastInLine(const QByteArray& needle, qsizetype units) const {
    // Lines lie end to end in a chunk, so one search covers a chunk; a hit that runs over a line's
    // end is no match, and the search goes on before it.
    for (qsizetype e = qsizetype(d_->entries.size()) - 1; e >= 0; --e) {
        const Entry& entry = d_->entries[size_t(e)];
        const Chunk& chunk = *entry.chunk;
        const qsizetype base = chunk.Start(entry.skip);
        const QByteArrayView region = QByteArrayView(chunk.bytes).sliced(base);
        for (qsizetype from = region.size() - needle.size(); from >= 0;) {
            const qsizetype pos = region.lastIndexOf(needle, from);
            if (pos < 0)
                break;
            const qsizetype byte = base + pos;
            qint64 index = 0;
            if (!chunk.IsLong())
                index = std::upper_bound(chunk.ends.begin(), chunk.ends.end(), quint16(byte)) -
                        chunk.ends.begin();
            if (byte + needle.size() <= chunk.End(index))
                return RangeAt(e, index, byte, units);
            from = pos - 1;
        }
    }
    return std::nullopt;
}

std::optional<ViewRange> ViewSnapshot::FindLastAcrossLines(const std::vector<QByteArray>& parts,
                                                           const std::vector<qsizetype>& units) const {
    const qint64 k = qint64(parts.size()) - 1;
    if (LineCount() <= k)
        return std::nullopt;
    LineWalker candidate(*d_, LineCount() - 1 - k);
    for (qint64 j = LineCount() - 1 - k; j >= 0; --j) {
        if (j < LineCount() - 1 - k)
            candidate.Retreat();
        if (!EndsWith(candidate.Line(), parts.front()))
            continue;
        LineWalker w = candidate;
        bool match = true;
        for (qint64 i = 1; match && i <= k; ++i) {
            w.Advance(1);
            const QByteArrayView line = w.Line();
            match = i < k ? line == QByteArrayView(parts[size_t(i)]) : StartsWith(line, parts.back());
        }
        if (match)
            return ViewRange{{j, LineLength(j) - units.front()}, {j + k, units.back()}};
    }
    return std::nullopt;
}

std::optional<ViewRange> ViewSnapshot::FindLast(QStringView text) const {
    if (text.isEmpty())
        return std::nullopt;
    std::vector<QByteArray> parts;
    std::vector<qsizetype> units;
    for (QStringView part : text.tokenize(u"\r\n")) {
        if (part.contains(u'\r') || part.contains(u'\n'))
            return std::nullopt;
        parts.push_back(part.toUtf8());
        units.push_back(part.size());
    }
    if (parts.size() == 1)
        return FindLastInLine(parts.front(), units.front());
    return FindLastAcrossLines(parts, units);
}

bool ViewSnapshot::SameText(const ViewSnapshot& other) const {
    if (d_ == other.d_)
        return true;
    if (LineCount() != other.LineCount() || ByteCount() != other.ByteCount())
        return false;
    LineWalker a(*d_, 0), b(*other.d_, 0);
    while (!a.AtEnd()) {
        if (a.Current().chunk->id == b.Current().chunk->id && a.Index() == b.Index()) {
            const qint64 run = std::min(a.LeftInEntry(), b.LeftInEntry());
            a.Advance(run);
            b.Advance(run);
            continue;
        }
        if (a.Line() != b.Line())
            return false;
        a.Advance(1);
        b.Advance(1);
    }
    return true;
}

qint64 ViewSnapshot::MemoryBytes() const {
    qint64 total = qint64(sizeof(Data)) + qint64(d_->entries.capacity() * sizeof(Entry));
    for (const Entry& e : d_->entries)
        total += e.chunk->HeapBytes();
    return total;
}
