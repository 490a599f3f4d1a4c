#include "settings/folder_listing.h"

#include <ctime>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

constexpr qint64 kSettleNs = 1000000000;

qint64 Ns(const timespec& time) {
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

bool FolderListing::Read(const QString& folder, Stamp* stamp, qint64* nowNs) {
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    *nowNs = Ns(now);
    *stamp = {folder, quint64(info.st_dev), quint64(info.st_ino), Ns(info.st_mtim), Ns(info.st_ctim)};
    return true;
}

std::shared_ptr<const FolderListing::Names> FolderListing::Files(const QString& folder) {
    Stamp stamp;
    qint64 now = 0;
    const bool known = Read(folder, &stamp, &now);
    {
        const std::lock_guard guard(lock_);
        if (known && names_ && stamp == stamp_)
            return names_;
    }
    auto names = std::make_shared<Names>();
    names->files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    const std::lock_guard guard(lock_);
    names->serial = ++serial_;
    const bool settled = known && now - std::max(stamp.modifiedNs, stamp.changedNs) >= kSettleNs;
    stamp_ = settled ? stamp : Stamp{};
    names_ = settled ? names : nullptr;
    return names;
}
