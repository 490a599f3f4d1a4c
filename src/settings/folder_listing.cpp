#include "settings/folder_listing.h"

#include <algorithm>
#include <ctime>
#include <optional>

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

std::shared_ptr<const FolderListing::Listing>
FolderListing::Files(const SourceKind& kind, const QString& folder, bool reuse, SourceCancel cancel) {
    const QString path = folder.isEmpty() ? QStringLiteral(".") : folder;
    Stamp stamp;
    qint64 now = 0;
    const bool known = kind.Traits().localFile && Read(path, &stamp, &now);
    {
        const std::lock_guard guard(lock_);
        if (reuse && known && kept_ && stamp == stamp_)
            return kept_;
    }
    std::optional<std::vector<FolderEntry>> files = kind.ListFiles(folder, cancel);
    if (!files)
        return nullptr;
    auto listing = std::make_shared<Listing>();
    listing->files = std::move(*files);
    const std::lock_guard guard(lock_);
    listing->serial = ++serial_;
    if (reuse) {
        const bool settled = known && now - stamp.modifiedNs >= kSettleNs;
        stamp_ = settled ? stamp : Stamp{};
        kept_ = settled ? listing : nullptr;
    }
    return listing;
}
