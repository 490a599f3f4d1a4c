#pragma once
// The process's one read buffer, and where a window of a file starts.
//
// The buffer only grows: a need above the capacity makes the capacity the need and drops the old
// block. Release() frees the block but keeps the capacity, so the next pass obtains a block of the
// remembered capacity. A release requested while a pass uses the buffer (a stop handled inside a
// timer-mode pass, or from the window thread while a worker reads) is deferred to EndPass(), so a
// running pass never reads into freed memory. The flags are guarded by one short lock; the block
// itself is used only by the pass thread between BeginPass() and EndPass().
#include <memory>
#include <mutex>

#include <QtGlobal>

class ReadBuffer final {
public:
    ReadBuffer() = default;
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    void BeginPass();
    void EndPass();
    void Release();

    // A block of at least need bytes, or null while the capacity is 0. Throws std::bad_alloc.
    char* Ensure(qint64 need);

    qint64 Capacity() const;
    bool Held() const;

private:
    mutable std::mutex lock_;
    qint64 capacity_ = 0;
    std::unique_ptr<char[]> data_;
    bool inPass_ = false;
    bool releasePending_ = false;
};

// Where one read of the window lay in the file.
struct WindowRead {
    qint64 size = 0;  // the file's size when opened
    qint64 start = 0; // first byte read
    qint64 n = 0;     // bytes read
};

// The first byte of the window: max(size - offset - windowSize, 0), raised to hidePoint, rounded
// down to even. For 8-bit files the rounding never goes below hidePoint (a byte before the bound
// would come back as a stale line); 16-bit files always round, so units are never split.
qint64 WindowStart(qint64 size, qint64 offset, qint64 windowSize, qint64 hidePoint, bool wide);
// Where the window ends: where it would end without that rounding (at most size), so a start
// rounded down never leaves the window's last byte, a line's last character, unread.
qint64 WindowEnd(qint64 size, qint64 offset, qint64 windowSize, qint64 hidePoint);
