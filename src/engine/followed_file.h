#pragma once
// The followed file, opened the one way every read of a pass uses: read-only (writers go on
// writing), never blocking, and only when it is a regular file. A FIFO would block the open until
// a writer came, a device would answer forever, a socket cannot be read: each is refused without
// being opened, with a reason shown like that of a file that cannot be opened.
// One object per open; the descriptor is closed when it goes.
#include <QString>

// What tells one state of a file from another without reading it: a file that keeps its stamp
// kept its bytes (a writer that rewrites in place changes the modification time).
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class FollowedFile final {
public:
    FollowedFile() = default;
    ~FollowedFile();
    FollowedFile(const FollowedFile&) = delete;
    FollowedFile& operator=(const FollowedFile&) = delete;

    // false with ErrorString() ("Permission denied", "Not a regular file"...).
    bool Open(const QString& fileName);
    const QString& ErrorString() const { return error_; }
    // The size when opened.
    qint64 Size() const { return stamp_.size; }
    const FileStamp& Stamp() const { return stamp_; }
    // Up to n bytes from position on (fewer at the end of the file); -1 with ErrorString().
    qint64 ReadAt(qint64 position, char* data, qint64 n);

private:
    int fd_ = -1;
    FileStamp stamp_;
    QString error_;
};
