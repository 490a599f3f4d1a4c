#include "engine/view_snapshot.h"

#include <algorithm>
#include <cstring>
#include <set>

#include <QHashFunctions>

#include "engine/utf8_scan.h"
#include "engine/view_snapshot_data.h"
#include "engine/view_snapshot_walk.h"

using namespace view_snapshot_detail;

namespace {

std::shared_ptr<const Data> EmptyData() {
    static const std::shared_ptr<const Data> empty = std::make_shared<const Data>();
    return empty;
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
           qint64(checkpoints.capacity() * sizeof(Checkpoint)) + (file ? file->HeapBytes() : 0);
}

LineWalker::LineWalker(const Data& data, qint64 line) : d_(&data) {
    if (line >= d_->lines) {
        entry_ = d_->entries.size();
        return;
    }
    auto it = std::upper_bound(d_->entries.begin(), d_->entries.end(), line,
                               [](qint64 n, const Entry& e) { return n < e.first; });
    entry_ = size_t(it - d_->entries.begin()) - 1;
    index_ = Current().skip + (line - Current().first);
    Enter();
}

void LineWalker::Enter() {
    if (const FileLines* file = CurrentChunk().file.get()) {
        state_ = file->StateBefore(index_);
        ref_ = file->Next(state_);
    }
}

void LineWalker::Advance(qint64 lines) {
    index_ += lines;
    if (index_ >= CurrentChunk().Lines()) {
        if (++entry_ < d_->entries.size()) {
            index_ = Current().skip;
            Enter();
        }
    } else if (const FileLines* file = CurrentChunk().file.get()) {
        if (lines == 1)
            ref_ = file->Next(state_);
        else
            Enter();
    }
}

void LineWalker::Retreat() {
    if (index_ > Current().skip) {
        --index_;
    } else {
        --entry_;
        index_ = CurrentChunk().Lines() - 1;
    }
    Enter();
}

void LineTexts::Append(QString& out, const LineWalker& at) {
    if (at.IsFile())
        AppendFileLineText(out, *at.CurrentChunk().file, at.Ref(), reader_);
    else
        out.append(DecodeStoredUtf8(at.Utf8()));
}

qsizetype LineTexts::Units(const LineWalker& at) {
    if (at.IsFile())
        return FileLineUnits(*at.CurrentChunk().file, at.Ref(), reader_);
    return at.CurrentChunk().Units(at.Index());
}

bool LineTexts::Same(const LineWalker& a, const LineWalker& b, LineTexts& other) {
    if (!a.IsFile() && !b.IsFile())
        return a.Utf8() == b.Utf8();
    if (a.IsFile() && b.IsFile()) {
        const FileLines& fa = *a.CurrentChunk().file;
        const FileLines& fb = *b.CurrentChunk().file;
        const FileLineRef& ra = a.Ref();
        const FileLineRef& rb = b.Ref();
        if (!ra.stored && !rb.stored && fa.source == fb.source && fa.shape == fb.shape &&
            ra.start == rb.start && ra.length == rb.length)
            return true;
    }
    return Text(a) == other.Text(b);
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

QString ViewSnapshot::Line(qint64 line) const {
    const Located at = Locate(line);
    if (const FileLines* file = at.chunk().file.get()) {
        FileLineReader reader;
        QString text;
        AppendFileLineText(text, *file, file->Ref(at.index), reader);
        return text;
    }
    return DecodeStoredUtf8(at.chunk().Line(at.index));
}

qsizetype ViewSnapshot::LineLength(qint64 line) const {
    const Located at = Locate(line);
    if (const FileLines* file = at.chunk().file.get()) {
        FileLineReader reader;
        return FileLineUnits(*file, file->Ref(at.index), reader);
    }
    return at.chunk().Units(at.index);
}

ViewLineKey ViewSnapshot::LineKey(qint64 line) const {
    const Located at = Locate(line);
    return {at.chunk().id, quint32(at.index)};
}

QString ViewSnapshot::LineSlice(qint64 line, qsizetype from, qsizetype length) const {
    const Located at = Locate(line);
    const Chunk& chunk = at.chunk();
    from = std::max<qsizetype>(from, 0);
    if (length <= 0)
        return {};
    if (const FileLines* file = chunk.file.get())
        return FileLineSlice(*file, file->Ref(at.index), from, length);
    const QByteArrayView bytes = chunk.Line(at.index);
    if (chunk.ascii) {
        from = std::min(from, bytes.size());
        return QString::fromLatin1(bytes.sliced(from, std::min(length, bytes.size() - from)));
    }
    const Chunk::Place start = chunk.FindColumn(at.index, from);
    Utf8Place end = Utf8FindUnit(bytes, {start.byte, start.unit}, from + length);
    const bool endCutsPair = end.byte < bytes.size() && end.unit < from + length;
    if (endCutsPair)
        end.byte += 4; // keep the first half: the slice keeps its length
    QString slice = DecodeStoredUtf8(bytes.sliced(start.byte, end.byte - start.byte));
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
    QString text = LineSlice(first, range.from.column, LineLength(first));
    text.append(lineBreak);
    LineTexts texts;
    LineWalker w(*d_, first + 1);
    for (qint64 line = first + 1; line < end; ++line, w.Advance(1)) {
        texts.Append(text, w);
        text.append(lineBreak);
    }
    text.append(LineSlice(end, 0, range.to.column));
    return text;
}

qint64 ViewSnapshot::MemoryBytes() const {
    qint64 total = qint64(sizeof(Data)) + qint64(d_->entries.capacity() * sizeof(Entry));
    std::set<const LineSource*> sources;
    for (const Entry& e : d_->entries) {
        total += e.chunk->HeapBytes();
        if (e.chunk->file && sources.insert(e.chunk->file->source.get()).second)
            total += e.chunk->file->source->MemoryBytes();
    }
    return total;
}

struct ViewLineReader::State {
    explicit State(const Data& data, qint64 from) : walker(data, from), line(from) {}
    LineWalker walker;
    LineTexts texts;
    qint64 line;
    QString text;
    bool read = false;
};

ViewLineReader::ViewLineReader(const ViewSnapshot& snapshot, qint64 from)
    : snapshot_(snapshot), s_(std::make_unique<State>(*snapshot.d_, std::max<qint64>(0, from))) {}

ViewLineReader::~ViewLineReader() = default;

bool ViewLineReader::AtEnd() const {
    return s_->line >= snapshot_.LineCount();
}

qint64 ViewLineReader::Line() const {
    return s_->line;
}

const QString& ViewLineReader::Text() {
    if (!s_->read) {
        s_->text.resize(0);
        s_->texts.Append(s_->text, s_->walker);
        s_->read = true;
    }
    return s_->text;
}

void ViewLineReader::Next() {
    ++s_->line;
    s_->read = false;
    if (!AtEnd())
        s_->walker.Advance(1);
}
