#include "source/local_file.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/file_names.h"
#include "source/local_file_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString NotRegular() {
    return QStringLiteral("Not a regular file");
}

class LocalFileReader final : public SourceReader {
public:
    ~LocalFileReader() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool Open(const QString& fileName) {
        const QByteArray native = EncodeFileName(fileName);
        // Looked at before the open: opening a FIFO or a device is itself what must not happen.
        struct stat info {};
        if (::stat(native.constData(), &info) != 0)
            return Fail(qt_error_string(errno));
        if (!S_ISREG(info.st_mode))
            return Fail(NotRegular());
        // Non-blocking and looked at again: the name may name something else by now.
        fd_ = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0 || ::fstat(fd_, &info) != 0)
            return Fail(qt_error_string(errno));
        if (!S_ISREG(info.st_mode))
            return Fail(NotRegular());
        stamp_.size = info.st_size;
        stamp_.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp_.device = info.st_dev;
        stamp_.inode = info.st_ino;
        return true;
    }

    const FileStamp& Stamp() const override { return stamp_; }

    qint64 ReadAt(qint64 position, char* data, qint64 n) override {
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

    QString ErrorString() const override { return error_; }

private:
    bool Fail(const QString& error) {
        error_ = error;
        return false;
    }

    int fd_ = -1;
    FileStamp stamp_;
    QString error_;
};

// Linux file systems without a birth time (or kernels that do not report it) fall back to the
// time of the last metadata change, the closest thing they keep.
QDateTime CreationTime(const QFileInfo& info) {
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
}

} // namespace

SourceTraits LocalFileKind::Traits() const {
    return SourceTraits{};
}

SourceFacts LocalFileKind::Facts(const QString& name, SourceCancel) const {
    const FileFacts file = StatFile(name);
    SourceFacts facts;
    facts.exists = file.exists;
    facts.isDir = file.isDir;
    facts.isFile = file.isFile;
    facts.size = file.size;
    facts.lastModified = file.lastModified;
    return facts;
}

std::unique_ptr<SourceReader> LocalFileKind::Open(const QString& name, QString* error, SourceCancel) const {
    auto reader = std::make_unique<LocalFileReader>();
    if (reader->Open(name))
        return reader;
    if (error)
        *error = reader->ErrorString();
    return nullptr;
}

// Hidden files count; folders do not. Sockets, FIFOs and devices are left out too: reading a FIFO
// would block the pass.
std::optional<std::vector<FolderEntry>> LocalFileKind::ListFiles(const QString& folder, SourceCancel) const {
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    std::vector<FolderEntry> files;
    files.reserve(size_t(entries.size()));
    for (const QFileInfo& info : entries)
        files.push_back(FolderEntry{info.fileName(), info.lastModified(), CreationTime(info)});
    return files;
}

std::unique_ptr<SourceWatch> LocalFileKind::Watch(const QString& name, std::function<void()> changed) const {
    return std::make_unique<LocalFileWatch>(name, std::move(changed));
}

QString LocalFileKind::ShortName(const QString& name) const {
    return QFileInfo(name).fileName();
}
