#pragma once
// LineSource: the followed file's bytes as the passes found them, read again whenever a snapshot
// line is shown, searched, copied or printed, so no pass keeps a copy of its window.
//
// Passes read the file in 64 KiB blocks and mark every block they read: how many bytes it held
// and a hash of them. Every later read of a block (a line shown after its block left the cache, a
// pass keeping part of its last window) is held to that mark: a block that now holds fewer bytes
// or other ones is never taken for the indexed text. The read then fails, Changed() turns true,
// and the next pass reads its window afresh into a new source. Nothing is mapped, so a file that
// shrinks costs a short read, never a signal.
//
// The cache keeps the most recently used blocks up to a budget; a block handed out is shared, so
// a reader keeps it even when the cache lets it go.
//
// Threads: any. One lock guards the cache and the marks and is never held while the file is read;
// the file is read under a second lock, one read at a time (the file object is single-threaded).
// Shared (std::shared_ptr) by the pass that reads through it and every snapshot chunk whose lines
// come from it.
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QString>

#include "engine/followed_file.h"
#include "engine/line_text.h"

// A fast 64-bit hash of bytes (two running sums, so a changed byte and swapped words both show).
quint64 BlockHash(const char* data, qsizetype n);

class LineSource final {
public:
    static constexpr qint64 kBlockBytes = 65536;
    static constexpr int kCachedBlocks = 64;

    explicit LineSource(std::unique_ptr<FollowedFile> file);
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    quint64 Id() const { return id_; }
    // The file as this source opened it.
    const FileStamp& Stamp() const { return stamp_; }
    // A read found the file no longer holding what was indexed.
    bool Changed() const;
    void SetChanged();

    // --- The pass
    // Reads the whole blocks [first, first + count) straight from the file (the last may be short
    // at the end of the file) into data, which has room for count blocks, and answers the bytes
    // read. A block that holds less than its mark, or other bytes in the marked part, fails the
    // read with -2 (and marks the source changed); -1 is a read error (ErrorString()). The marks
    // grow to what was read.
    qint64 ReadBlocks(qint64 first, qint64 count, char* data);
    // Up to n bytes from position on, as the file holds them now (unchecked); -1 on a read error.
    qint64 ReadRaw(qint64 position, char* data, qint64 n) { return ReadFile(position, data, n); }
    // Reads from now on through file, the same name opened again.
    void UseFile(std::unique_ptr<FollowedFile> file);
    // Reads block again from the file and holds it to its mark (false: changed or unreadable).
    bool Verify(qint64 block);
    QString ErrorString() const;

    // --- Readers (any thread)
    // The block's bytes up to its mark, from the cache or read and verified; empty (null) when the
    // file no longer holds them or the block was never read by a pass. A block shorter than
    // `atLeast` in the cache is read again (the file grew since).
    QByteArray Block(qint64 block, qint64 atLeast = 1);
    // Bytes [start, start + n) of the file as indexed; false when they cannot be read as indexed.
    // `out` views either a cached block or `scratch`.
    bool Bytes(qint64 start, qint64 n, QByteArray& scratch, QByteArrayView& out);

    // The column places of a long line (one of the last few asked is kept); null when its bytes
    // cannot be read as indexed.
    std::shared_ptr<const LineColumns> Columns(qint64 start, qint64 length, LineShape shape);

    // Heap bytes of the marks and the cached blocks.
    qint64 MemoryBytes() const;

private:
    struct Mark {
        qint64 length = -1; // -1: never read by a pass
        quint64 hash = 0;
    };
    struct Slot {
        qint64 block = -1;
        QByteArray bytes;
        quint64 used = 0;
    };
    qint64 ReadFile(qint64 position, char* data, qint64 n);
    Mark MarkOf(qint64 block) const; // under lock_
    void SetMark(qint64 block, Mark mark);
    bool Matches(const Mark& mark, const char* data, qint64 n) const;
    void Insert(qint64 block, QByteArray bytes); // under lock_

    const quint64 id_;
    const FileStamp stamp_;
    mutable std::mutex readLock_;
    std::unique_ptr<FollowedFile> file_;
    QString error_;

    mutable std::mutex lock_;
    bool changed_ = false;
    qint64 marksBase_ = 0;
    std::deque<Mark> marks_;
    std::vector<Slot> slots_;
    quint64 clock_ = 0;
    struct LongLine {
        qint64 start;
        qint64 length;
        LineShape shape;
        std::shared_ptr<const LineColumns> columns;
    };
    std::vector<LongLine> longLines_; // most recent first
};
