#pragma once
// The storage behind ViewSnapshot, shared by the snapshot and its builder only.
#include <atomic>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "engine/line_source.h"
#include "engine/line_text.h"

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

// A file chunk keeps the decoder's state every that many lines.
inline constexpr qint64 kSampleLines = 64;
// A file chunk's stored lines are sealed into the next chunk past this many bytes.
inline constexpr qsizetype kStoredBytes = 65536;
// A file line longer than this is decoded in pieces, through its column places.
inline constexpr qint64 kLongFileLine = 65536;

// The state of a file chunk's line decoder before one of its lines.
struct FileSample {
    qint64 pos = 0;     // end of the last file line before it (the chunk's first line: its start)
    quint32 stream = 0; // offset in the stream
    quint32 stored = 0; // offset in the stored bytes
};

// One line of a file chunk: a range of the file, or a stretch of the chunk's stored bytes.
struct FileLineRef {
    bool stored = false;
    qint64 start = 0; // file position, or offset in the stored bytes
    qint64 length = 0;
};

// The lines of a file chunk, in order, each as one varint in `stream`: (length << 2) | code, where
// code 0 and 1 say the line starts 1 or 2 bytes after the last file line's end (one line end
// between them), 2 that a second varint gives that distance, and 3 that the line is stored: its
// UTF-8 bytes follow the last stored line's in `stored`. So a log line costs about two bytes.
struct FileLines {
    std::shared_ptr<LineSource> source;
    LineShape shape;
    std::vector<quint8> stream;
    std::vector<FileSample> samples; // before lines 0, kSampleLines, 2 kSampleLines...
    QByteArray stored;
    qint64 lines = 0;
    qint64 fileBytes = 0;       // bytes of its file lines
    qsizetype longestUnits = 0; // file lines: their bytes (no fewer than their units); stored: exact
    FileSample end;             // the decoder's state after the last line (for appending)

    // Decodes one line at `state` and moves the state past it.
    FileLineRef Next(FileSample& state) const;
    FileLineRef Ref(qint64 index) const;
    FileSample StateBefore(qint64 index) const;
    void AppendFile(qint64 start, qint64 length);
    void AppendStored(QByteArrayView utf8, qsizetype units);
    qint64 HeapBytes() const;
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
    std::unique_ptr<FileLines> file; // set: the lines come from the file (bytes and ends unused)

    bool IsLong() const { return !file && ends.empty(); }
    qint64 Lines() const { return file ? file->lines : IsLong() ? 1 : qint64(ends.size()); }
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
    bool hasFile = false; // some chunk is a file chunk
};

} // namespace view_snapshot_detail
