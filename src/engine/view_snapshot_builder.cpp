// ViewSnapshotBuilder: short lines are packed into an open chunk that is sealed when full or when
// a snapshot is built; a builder that appends again reopens its last chunk (a copy of at most
// 48 KiB) so chunks stay full however few lines each pass adds.
#include <algorithm>

#include <QStringEncoder>

#include "engine/utf8_scan.h"
#include "engine/view_snapshot.h"
#include "engine/view_snapshot_data.h"
#include "engine/view_snapshot_file.h"

using namespace view_snapshot_detail;

namespace {

// Column checkpoints of a long line that is not ASCII: one per kCheckpointBytes, each on the
// first character boundary at or after its mark.
std::vector<Checkpoint> CheckpointsOf(QByteArrayView bytes) {
    std::vector<Checkpoint> points;
    Checkpoint at;
    for (qsizetype mark = kCheckpointBytes; mark < bytes.size(); mark += kCheckpointBytes) {
        qsizetype byte = mark;
        while (byte < bytes.size() && (static_cast<unsigned char>(bytes[byte]) & 0xC0) == 0x80)
            ++byte;
        at.units += Utf8UnitsBefore(bytes.sliced(at.byte), byte - at.byte);
        at.byte = byte;
        points.push_back(at);
    }
    return points;
}

// The longest of a chunk's lines from `first` on.
qsizetype LongestFrom(const Chunk& chunk, qint64 first) {
    qsizetype longest = 0;
    for (qint64 i = first; i < chunk.Lines(); ++i)
        longest = std::max(longest, chunk.Units(i));
    return longest;
}

} // namespace

struct ViewSnapshotBuilder::Open {
    quint64 id = 0; // kept from a reopened chunk, else given when sealed
    QByteArray bytes;
    std::vector<quint16> ends;
    bool ascii = true;
    qsizetype longestUnits = 0;
    qint64 skip = 0;
    QByteArray scratch;              // encoding room for one line
    std::unique_ptr<FileLines> file; // a file chunk is open

    qint64 Lines() const { return (file ? file->lines : qint64(ends.size())) - skip; }
    bool Empty() const { return !file && ends.empty(); }
};

ViewSnapshotBuilder::ViewSnapshotBuilder() : open_(std::make_unique<Open>()) {}

ViewSnapshotBuilder::ViewSnapshotBuilder(const ViewSnapshot& base)
    : entries_(base.d_->entries), sealedLines_(base.d_->lines), open_(std::make_unique<Open>()) {}

ViewSnapshotBuilder::~ViewSnapshotBuilder() = default;
ViewSnapshotBuilder::ViewSnapshotBuilder(ViewSnapshotBuilder&&) noexcept = default;
ViewSnapshotBuilder& ViewSnapshotBuilder::operator=(ViewSnapshotBuilder&&) noexcept = default;

qint64 ViewSnapshotBuilder::LineCount() const {
    return sealedLines_ + open_->Lines();
}

void ViewSnapshotBuilder::DropFront(qint64 lines) {
    lines = std::clamp<qint64>(lines, 0, LineCount());
    auto whole = entries_.begin();
    while (whole != entries_.end() && whole->Lines() <= lines) {
        lines -= whole->Lines();
        sealedLines_ -= whole->Lines();
        ++whole;
    }
    entries_.erase(entries_.begin(), whole);
    if (!entries_.empty()) {
        entries_.front().skip += lines;
        sealedLines_ -= lines;
    } else {
        DropFromOpen(lines);
    }
}

void ViewSnapshotBuilder::DropFromOpen(qint64 lines) {
    open_->skip += lines;
    if (open_->Lines() == 0) {
        QByteArray scratch = std::move(open_->scratch);
        *open_ = Open();
        open_->scratch = std::move(scratch);
    }
}

void ViewSnapshotBuilder::Append(QStringView line) {
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    if (line.size() > kLongLineBytes) {
        // Exactly sized: a long line is never held at three bytes per unit.
        QByteArray bytes(Utf8Size(line), Qt::Uninitialized);
        encoder.appendToBuffer(bytes.data(), line);
        const bool ascii = bytes.size() == line.size();
        AppendLong(std::move(bytes), line.size(), ascii);
        return;
    }
    QByteArray& scratch = open_->scratch;
    scratch.resize(line.size() * 3);
    const char* end = encoder.appendToBuffer(scratch.data(), line);
    const qsizetype size = end - scratch.constData();
    // An unpaired surrogate became U+FFFD: still one unit.
    if (size > kLongLineBytes)
        AppendLong(QByteArray(scratch.constData(), size), line.size(), size == line.size());
    else
        AppendShort(QByteArrayView(scratch.constData(), size), line.size(), size == line.size());
}

void ViewSnapshotBuilder::AppendUtf8(const QByteArray& line) {
    const Utf8Scan scan = ScanUtf8(line);
    if (!scan.valid) {
        Append(QString(LineUtf8Decoder().decode(line)));
    } else if (line.size() > kLongLineBytes) {
        // Bytes borrowed with fromRawData could go away: those are copied.
        QByteArray bytes = line;
        if (!bytes.data_ptr().isMutable())
            bytes = QByteArray(line.constData(), line.size());
        AppendLong(std::move(bytes), scan.units, scan.ascii);
    } else {
        AppendShort(line, scan.units, scan.ascii);
    }
}

void ViewSnapshotBuilder::AppendCrLfText(QStringView text) {
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf(u"\r\n", start);
        if (end < 0) {
            Append(text.sliced(start));
            return;
        }
        Append(text.sliced(start, end - start));
        start = end + 2;
    }
}

void ViewSnapshotBuilder::AppendLines(const ViewSnapshot& source, qint64 from, qint64 to) {
    from = std::clamp<qint64>(from, 0, source.LineCount());
    to = std::clamp<qint64>(to, from, source.LineCount());
    if (from == to)
        return;
    Seal();
    qint64 first = 0; // number, in the source, of the entry's first line
    for (const Entry& e : source.d_->entries) {
        const qint64 end = first + e.Lines();
        const qint64 lo = std::max(from, first), hi = std::min(to, end);
        if (lo < hi && hi == end) {
            entries_.push_back(Entry{e.chunk, e.skip + (lo - first), 0});
            sealedLines_ += hi - lo;
        } else if (lo < hi) {
            // Entries hold a chunk to its end: the lines before a cut are copied.
            AppendLinesOf(e, e.skip + (lo - first), e.skip + (hi - first));
        }
        if (end >= to)
            break;
        first = end;
    }
}

// Lines [from, to) of an entry's chunk, copied (a long stored line has a chunk of its own, so only
// short stored lines are ever cut off).
void ViewSnapshotBuilder::AppendLinesOf(const Entry& e, qint64 from, qint64 to) {
    const FileLines* file = e.chunk->file.get();
    if (!file) {
        for (qint64 index = from; index < to; ++index) {
            const QByteArrayView line = e.chunk->Line(index);
            const qsizetype units = e.chunk->Units(index);
            AppendShort(line, units, units == line.size());
        }
        return;
    }
    FileSample state = file->StateBefore(from);
    for (qint64 index = from; index < to; ++index) {
        const FileLineRef ref = file->Next(state);
        if (!ref.stored) {
            AppendFileLine(file->source, file->shape, ref.start, ref.length);
            continue;
        }
        ReopenFile(file->source, file->shape);
        const QByteArrayView bytes = QByteArrayView(file->stored).sliced(ref.start, ref.length);
        AppendShort(bytes, Utf8UnitsBefore(bytes, bytes.size()), false);
    }
}

void ViewSnapshotBuilder::AppendFileLine(const std::shared_ptr<LineSource>& source, LineShape shape,
                                         qint64 start, qint64 length) {
    ReopenFile(source, shape);
    FileLines& file = *open_->file;
    if (file.lines >= kChunkLines) {
        Seal();
        ReopenFile(source, shape);
    }
    open_->file->AppendFile(start, length);
}

// Makes the open chunk a file chunk of this source and shape: the open one when it is, else the
// last chunk when it is one and small (copied, as stored chunks are), else a new one.
void ViewSnapshotBuilder::ReopenFile(const std::shared_ptr<LineSource>& source, LineShape shape) {
    Open& open = *open_;
    if (open.file && open.file->source == source && open.file->shape == shape)
        return;
    Seal();
    if (!entries_.empty()) {
        const Entry& last = entries_.back();
        const FileLines* old = last.chunk->file.get();
        if (old && old->source == source && old->shape == shape && old->lines < kChunkLines / 2 &&
            old->stored.size() < kStoredBytes / 2) {
            open.id = last.chunk->extended.exchange(true) ? 0 : last.chunk->id;
            open.file = std::make_unique<FileLines>(*old);
            open.skip = last.skip;
            sealedLines_ -= last.Lines();
            entries_.pop_back();
            return;
        }
    }
    open.file = std::make_unique<FileLines>();
    open.file->source = source;
    open.file->shape = shape;
    open.file->stream.reserve(2 * kChunkLines + 64); // two bytes a line for most logs
}

void ViewSnapshotBuilder::AppendShort(QByteArrayView bytes, qsizetype units, bool ascii) {
    Open& open = *open_;
    if (open.file) {
        if (open.file->lines >= kChunkLines || open.file->stored.size() + bytes.size() > kStoredBytes)
            Seal();
        else
            return open.file->AppendStored(bytes, units);
    }
    if (open.ends.empty())
        Reopen();
    if (!open.ends.empty() &&
        (open.bytes.size() + bytes.size() > kChunkBytes || qsizetype(open.ends.size()) >= kChunkLines))
        Seal();
    if (open.bytes.capacity() < kChunkBytes)
        open.bytes.reserve(kChunkBytes);
    open.bytes.append(bytes);
    open.ends.push_back(quint16(open.bytes.size()));
    open.ascii = open.ascii && ascii;
    open.longestUnits = std::max(open.longestUnits, units);
}

void ViewSnapshotBuilder::AppendLong(QByteArray bytes, qsizetype units, bool ascii) {
    if (open_->file && open_->file->lines < kChunkLines && open_->file->stored.size() < kStoredBytes)
        return open_->file->AppendStored(bytes, units);
    Seal();
    auto chunk = std::make_shared<Chunk>();
    chunk->id = NextChunkId();
    chunk->ascii = ascii;
    chunk->longestUnits = units;
    if (!ascii)
        chunk->checkpoints = CheckpointsOf(bytes);
    chunk->bytes = std::move(bytes);
    entries_.push_back(Entry{std::move(chunk), 0, 0});
    ++sealedLines_;
}

void ViewSnapshotBuilder::Reopen() {
    if (entries_.empty())
        return;
    const Entry& last = entries_.back();
    const Chunk& chunk = *last.chunk;
    if (chunk.file || chunk.IsLong() || chunk.bytes.size() >= kReopenBelow ||
        qsizetype(chunk.ends.size()) >= kChunkLines)
        return;
    // Only the first builder to extend a chunk keeps its id: the lines it adds are then the only
    // ones ever stored under that id past the chunk's end.
    const bool keepId = !chunk.extended.exchange(true);
    Open& open = *open_;
    open.id = keepId ? chunk.id : 0;
    open.bytes = chunk.bytes;
    open.bytes.reserve(kChunkBytes);
    open.ends = chunk.ends;
    open.ascii = chunk.ascii;
    open.longestUnits = chunk.longestUnits;
    open.skip = last.skip;
    sealedLines_ -= last.Lines();
    entries_.pop_back();
}

void ViewSnapshotBuilder::Seal() {
    Open& open = *open_;
    if (const qint64 lines = open.Lines(); lines > 0 && open.file) {
        auto chunk = std::make_shared<Chunk>();
        chunk->id = open.id != 0 ? open.id : NextChunkId();
        open.file->stream.shrink_to_fit();
        open.file->stored.squeeze();
        open.file->samples.shrink_to_fit();
        chunk->file = std::move(open.file);
        entries_.push_back(Entry{std::move(chunk), open.skip, 0});
        sealedLines_ += lines;
    } else if (lines > 0) {
        auto chunk = std::make_shared<Chunk>();
        chunk->id = open.id != 0 ? open.id : NextChunkId();
        if (open.bytes.capacity() - open.bytes.size() > 4096)
            open.bytes.squeeze();
        chunk->bytes = std::move(open.bytes);
        open.ends.shrink_to_fit();
        chunk->ends = std::move(open.ends);
        chunk->ascii = open.ascii;
        chunk->longestUnits = open.longestUnits;
        entries_.push_back(Entry{std::move(chunk), open.skip, 0});
        sealedLines_ += lines;
    }
    QByteArray scratch = std::move(open.scratch);
    open = Open();
    open.scratch = std::move(scratch);
}

ViewSnapshot ViewSnapshotBuilder::Build() {
    Seal();
    auto data = std::make_shared<Data>();
    data->entries = entries_;
    qint64 line = 0;
    for (Entry& e : data->entries) {
        e.first = line;
        line += e.Lines();
        if (const FileLines* file = e.chunk->file.get()) {
            // Not worth reading the lines a front cut dropped: the bound stays an upper bound.
            data->bytes += file->fileBytes + file->stored.size();
            data->longest = std::max(data->longest, file->longestUnits);
            data->hasFile = true;
            continue;
        }
        data->bytes += e.chunk->End(e.chunk->Lines() - 1) - e.chunk->Start(e.skip);
        data->longest =
            std::max(data->longest, e.skip > 0 ? LongestFrom(*e.chunk, e.skip) : e.chunk->longestUnits);
    }
    data->lines = line;
    return ViewSnapshot(std::move(data));
}
