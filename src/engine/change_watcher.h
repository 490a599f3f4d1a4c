#pragma once
// ChangeWatcher: reports, soon after it happens, that the followed file was written, created,
// deleted or renamed, so the engine runs a tick at once instead of waiting for its countdown.
// It watches the file and its folder (the folder reports a file created again after a deletion or
// a rotation, and a new newest match of a wildcard). A burst of notifications within the debounce
// interval makes one report. Where the file system sends no notifications (some network file
// systems) nothing is reported and the engine's timer does the work as before.
//
// A name that comes to stand for another file (a symbolic link pointed elsewhere, a file renamed
// over it while the old one is still open) is watched again, so the notifications follow what the
// name stands for now rather than the file it stood for when the watch began.
//
// Threads: create, call and destroy on the window thread; the report runs there too.
#include <functional>

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

class ChangeWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChangeWatcher)

public:
    ChangeWatcher(std::function<void()> report, int debounceMs, QObject* parent = nullptr);

    // Follows path (a resolved file name; its folder is watched too). Called after every pass, so a
    // file that came back is watched again. An empty path stops watching.
    void Follow(const QString& path);

private:
    void Changed(bool folder);
    void Report();

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
    // The file the name stands for now (links followed); null when there is none.
    struct Target {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Target&) const = default;
    };
    static Target TargetOf(const QString& path);

    std::function<void()> report_;
    QFileSystemWatcher watcher_;
    QTimer debounce_;
    QString path_;
    Signature reported_;
    Target watched_; // what the file's watch was set on
    bool folderChanged_ = false;
};
