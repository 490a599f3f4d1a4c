#pragma once
// The storage behind ViewSnapshot, shared by the snapshot and its builder only.
#include <atomic>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

namespace view_snapshot_detail {

// A short-line chunk holds at most this many bytes (its line ends fit 16 bits) and lines.
inline constexpr qsizetype kChunkBytes = 65535;
inline constexpr qsizetype kChunkLines = 16384;
// Lines longer than this get a chunk of their own.
inline constexpr qsizetype kLongLineBytes = 8192;
// A builder extends the last chunk of its base in place of starting a new one below this size.
inline constexpr qsizetype kReopenBelow = 49152;
// A long line that is not ASCII keeps a column checkpoint every that many bytes.
inline constexpr qsizetype kCheckpointBytes = 16384;

struct Checkpoint {
    qsizetype byte = 0;  // a character boundary
    qsizetype units = 0; // UTF-16 units before it
};

// Immutable once shared. `id` names the lines' content: a builder that extends the chunk keeps the
// id (the first lines stay the same), so keys stay valid; `extended` lets only one do so.
struct Chunk {
    quint64 id = 0;
    QByteArray bytes;
    std::vector<quint16> ends; // short-line chunk: end offset of each line; empty for a long line
    bool ascii = true;
    qsizetype longestUnits = 0;          // the longest line's UTF-16 length
    std::vector<Checkpoint> checkpoints; // long non-ASCII line only
    mutable std::atomic<bool> extended{false};

    bool IsLong() const { return ends.empty(); }
    qint64 Lines() const { return IsLong() ? 1 : qint64(ends.size()); }
    qsizetype Start(qint64 index) const { return index == 0 || IsLong() ? 0 : ends[size_t(index - 1)]; }
    qsizetype End(qint64 index) const { return IsLong() ? bytes.size() : ends[size_t(index)]; }
    QByteArrayView Line(qint64 index) const {
        const qsizetype start = Start(index);
        return QByteArrayView(bytes.constData() + start, End(index) - start);
    }
    qsizetype Units(qint64 index) const; // UTF-16 length of a line
    // Byte offset of a column of a line, and the column that byte starts (see Utf8FindUnit).
    struct Place {
        qsizetype byte;
        qsizetype unit;
    };
    Place FindColumn(qint64 index, qsizetype column) const;
    qsizetype ColumnOfByte(qint64 index, qsizetype byte) const; // byte: relative to the line
    qint64 HeapBytes() const;
};

quint64 NextChunkId();

struct Entry {
    std::shared_ptr<const Chunk> chunk;
    qint64 skip = 0;  // lines of the chunk dropped at the front
    qint64 first = 0; // number, in the snapshot, of the entry's first line
    qint64 Lines() const { return chunk->Lines() - skip; }
};

struct Data {
    std::vector<Entry> entries;
    qint64 lines = 0;
    qint64 bytes = 0;
    qsizetype longest = 0;
};

} // namespace view_snapshot_detail
