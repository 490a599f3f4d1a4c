#include "engine/followed_file.h"

#include "engine/pass_failure.h"

namespace {

const FileStamp kNoStamp;

} // namespace

FollowedFile::FollowedFile() = default;
FollowedFile::~FollowedFile() = default;

bool FollowedFile::Open(const QString& fileName, SourceCancel cancel) {
    cancel_ = cancel;
    reader_ = SourceKindOf(fileName).Open(fileName, &error_, cancel);
    ThrowIfCancelled(reader_ != nullptr);
    return reader_ != nullptr;
}

// A failure met after a stop or a close is that stop's doing, not the source's.
void FollowedFile::ThrowIfCancelled(bool ok) const {
    if (!ok && cancel_ && cancel_->load())
        throw PassCancelled();
}

const FileStamp& FollowedFile::Stamp() const {
    return reader_ ? reader_->Stamp() : kNoStamp;
}

qint64 FollowedFile::ReadAt(qint64 position, char* data, qint64 n) {
    if (!reader_)
        return -1;
    const qint64 got = reader_->ReadAt(position, data, n);
    if (got < 0)
        error_ = reader_->ErrorString();
    ThrowIfCancelled(got >= 0);
    return got;
}
