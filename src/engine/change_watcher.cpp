#include "engine/change_watcher.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

ChangeWatcher::ChangeWatcher(std::function<void()> report, int debounceMs, QObject* parent)
    : QObject(parent), report_(std::move(report)) {
    debounce_.setSingleShot(true);
    debounce_.setInterval(debounceMs);
    connect(&debounce_, &QTimer::timeout, this, &ChangeWatcher::Report);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { Changed(false); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Changed(true); });
}

void ChangeWatcher::Follow(const QString& path) {
    const QString folder = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
    const QStringList wanted = path.isEmpty() ? QStringList() : QStringList{path, folder};
    QStringList watched = watcher_.files() + watcher_.directories();
    QStringList stale;
    for (const QString& p : watched) {
        if (!wanted.contains(p))
            stale.push_back(p);
    }
    if (!stale.isEmpty())
        watcher_.removePaths(stale);
    if (path != path_)
        reported_ = Signature();
    path_ = path;
    if (path.isEmpty())
        return;
    // A deleted file drops out of the watch by itself: it is added again once it exists. The
    // watch is set on the file the name stands for then; another one now is watched afresh.
    const Target target = TargetOf(path);
    const bool fileWatched = watcher_.files().contains(path);
    const bool sameTarget = fileWatched && target == watched_;
    if (fileWatched && !sameTarget)
        watcher_.removePath(path);
    if (!sameTarget && target.inode != 0 && watcher_.addPath(path))
        watched_ = target;
    if (!watcher_.directories().contains(folder) && QFileInfo(folder).isDir())
        watcher_.addPath(folder);
}

void ChangeWatcher::Changed(bool folder) {
    folderChanged_ = folderChanged_ || folder;
    if (!debounce_.isActive())
        debounce_.start();
}

void ChangeWatcher::Report() {
    const Signature now = Stat();
    const bool report = folderChanged_ || now != reported_;
    folderChanged_ = false;
    reported_ = now;
    if (report && !path_.isEmpty())
        report_();
}

ChangeWatcher::Signature ChangeWatcher::Stat() const {
    const QFileInfo info(path_);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified().toMSecsSinceEpoch(), info.birthTime().toMSecsSinceEpoch()};
}

ChangeWatcher::Target ChangeWatcher::TargetOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}
