#include "source/local_file_watch.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

LocalFileWatch::LocalFileWatch(const QString& path, std::function<void()> changed)
    : changed_(std::move(changed)), path_(path), folder_(QFileInfo(path).absolutePath()) {
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LocalFileWatch::FileChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &LocalFileWatch::FolderChanged);
    Renew();
}

void LocalFileWatch::Renew() {
    // A deleted file drops out of the watch by itself: it is added again once it exists. The
    // watch is set on the file the name stands for then; another one now is watched afresh.
    const Target target = TargetOf(path_);
    const bool watched = watcher_.files().contains(path_);
    if (watched && !(target == watched_))
        watcher_.removePath(path_);
    if (!(watched && target == watched_) && target.inode != 0 && watcher_.addPath(path_))
        watched_ = target;
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

LocalFileWatch::Target LocalFileWatch::TargetOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}
