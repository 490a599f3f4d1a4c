#include "engine/followed_file.h"

namespace {

const FileStamp kNoStamp;

} // namespace

FollowedFile::FollowedFile() = default;
FollowedFile::~FollowedFile() = default;

bool FollowedFile::Open(const QString& fileName, SourceCancel cancel) {
    reader_ = SourceKindOf(fileName).Open(fileName, &error_, cancel);
    return reader_ != nullptr;
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
    return got;
}
