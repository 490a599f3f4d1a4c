#include "engine/followed_file.h"

#include <cerrno>

#include <QFile>

#include "platform/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString NotRegular() {
    return QStringLiteral("Not a regular file");
}

} // namespace

FollowedFile::~FollowedFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FollowedFile::Open(const QString& fileName) {
    const QByteArray native = EncodeFileName(fileName);
    // Looked at before the open: opening a FIFO or a device is itself what must not happen.
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        error_ = qt_error_string(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = NotRegular();
        return false;
    }
    // Non-blocking and looked at again: the name may name something else by now.
    fd_ = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        error_ = qt_error_string(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = NotRegular();
        return false;
    }
    stamp_.size = info.st_size;
    stamp_.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp_.device = info.st_dev;
    stamp_.inode = info.st_ino;
    return true;
}

qint64 FollowedFile::ReadAt(qint64 position, char* data, qint64 n) {
    qint64 total = 0;
    while (total < n) {
        const ssize_t got = ::pread(fd_, data + total, size_t(n - total), off_t(position + total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error_ = qt_error_string(errno);
            return -1;
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}
