#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the thread that created the watcher, so
// that a quit by the desktop or a terminal runs the window's ordinary closing sequence (settings
// are saved) instead of killing the process. One watcher per process.
#include <memory>

#include <QObject>

class QSocketNotifier;

class QuitSignalWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuitSignalWatcher)
public:
    explicit QuitSignalWatcher(QObject* parent = nullptr);
    ~QuitSignalWatcher() override;

signals:
    void quitRequested(int signalNumber);

private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
};
