#pragma once
// LocalFileWatch: reports that a local file was written, created, deleted or renamed. It watches
// the file and its folder (the folder reports a file created again after a deletion or a
// rotation, and a new newest match of a wildcard). Where the file system sends no notifications
// (some network file systems) nothing is reported. A name that comes to stand for another file (a
// symbolic link pointed elsewhere, a file renamed over it while the old one is still open) is
// watched again, so the notifications follow what the name stands for now.
//
// Threads: create, call and destroy on one thread with an event loop; reports run there.
#include <functional>

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include "source/source.h"

class LocalFileWatch final : public QObject, public SourceWatch {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalFileWatch)

public:
    LocalFileWatch(const QString& path, std::function<void()> changed);

    void Renew() override;

private:
    void FileChanged();
    void FolderChanged();

    // What a notification of the file itself must change to be reported: reading the file may
    // update its access time, which notifies too and must not start another pass.
    struct Signature {
        bool exists = false;
        qint64 size = -1;
        qint64 modified = 0;
        qint64 born = 0;
        bool operator==(const Signature&) const = default;
    };
    Signature Stat() const;
    // The file the name stands for now (links followed); inode 0 when there is none.
    struct Target {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Target&) const = default;
    };
    static Target TargetOf(const QString& path);

    std::function<void()> changed_;
    QFileSystemWatcher watcher_;
    QString path_;
    QString folder_;
    Signature reported_;
    Target watched_; // what the file's watch was set on
};
