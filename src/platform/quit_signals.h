#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the thread that created the watcher, so
// that a quit by the desktop or a terminal runs the window's ordinary closing sequence (settings
// are saved) instead of killing the process. One watcher per process.
//
// The first quit signal also arms a watchdog: a process still there kQuitBound later (its window
// thread held by something that does not return, its exit waiting for a thread that does not end)
// ends then, saying so on standard error, with exit code 1. The watchdog's thread lives as long as
// the process, since it must outlast everything the closing runs, the watcher included.
#include <chrono>
#include <memory>

#include <QObject>

class QSocketNotifier;

class QuitSignalWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuitSignalWatcher)
public:
    static constexpr std::chrono::milliseconds kQuitBound{3000};

    explicit QuitSignalWatcher(QObject* parent = nullptr);
    ~QuitSignalWatcher() override;

signals:
    void quitRequested(int signalNumber);

private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
};
