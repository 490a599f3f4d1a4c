#include "source/local_file_watch.h"

#include <QFileInfo>

LocalFileWatch::LocalFileWatch(const QString& path, std::function<void()> changed)
    : changed_(std::move(changed)), path_(path), folder_(QFileInfo(path).absolutePath()) {
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LocalFileWatch::FileChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &LocalFileWatch::FolderChanged);
    Renew();
}

void LocalFileWatch::Renew() {
    // A deleted file drops out of the watch by itself: it is added again once it exists.
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_))
        watcher_.addPath(path_);
    if (!watcher_.directories().contains(folder_) && QFileInfo(folder_).isDir())
        watcher_.addPath(folder_);
}

void LocalFileWatch::FileChanged() {
    const Signature now = Stat();
    if (now == reported_)
        return;
    reported_ = now;
    changed_();
}

void LocalFileWatch::FolderChanged() {
    reported_ = Stat();
    changed_();
}

LocalFileWatch::Signature LocalFileWatch::Stat() const {
    const QFileInfo info(path_);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified().toMSecsSinceEpoch(), info.birthTime().toMSecsSinceEpoch()};
}
