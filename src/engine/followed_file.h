#pragma once
// The followed source, opened the one way every read of a pass uses: whatever its kind (a local
// file, the journal...), one open gives the stamp it had then and reads byte ranges of it.
// One object per open; what the open holds goes with it.
#include <memory>

#include <QString>

#include "source/source.h"

class FollowedFile final {
public:
    FollowedFile();
    ~FollowedFile();
    FollowedFile(const FollowedFile&) = delete;
    FollowedFile& operator=(const FollowedFile&) = delete;

    // false with ErrorString() ("Permission denied", "Not a regular file"...). cancel: a read
    // that waits gives up soon after it is set, and a failure then throws PassCancelled.
    bool Open(const QString& fileName, SourceCancel cancel = nullptr);
    const QString& ErrorString() const { return error_; }
    // The size when opened.
    qint64 Size() const { return Stamp().size; }
    const FileStamp& Stamp() const;
    // Up to n bytes from position on (fewer at the end of the file); -1 with ErrorString().
    qint64 ReadAt(qint64 position, char* data, qint64 n);

private:
    void ThrowIfCancelled(bool ok) const;

    std::unique_ptr<SourceReader> reader_;
    SourceCancel cancel_ = nullptr;
    QString error_;
};
