#pragma once
// ChangeWatcher: reports, soon after it happens, that the followed file was written, created,
// deleted or renamed, so the engine runs a tick at once instead of waiting for its countdown.
// It watches the file and its folder (the folder reports a file created again after a deletion or
// a rotation, and a new newest match of a wildcard). A burst of notifications within the debounce
// interval makes one report. Where the file system sends no notifications (some network file
// systems) nothing is reported and the engine's timer does the work as before.
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

    std::function<void()> report_;
    QFileSystemWatcher watcher_;
    QTimer debounce_;
    QString path_;
    Signature reported_;
    bool folderChanged_ = false;
};
