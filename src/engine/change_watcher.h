#pragma once
// ChangeWatcher: reports, soon after it happens, that the followed source changed, so the engine
// runs a tick at once instead of waiting for its countdown. The source's kind tells the changes
// (a file's and its folder's notifications, the journal's own descriptor); a burst of them within
// the debounce interval makes one report. A kind without notifications (some network file
// systems, a remote file) reports nothing and the engine's timer does the work as before.
//
// Threads: create, call and destroy on the window thread; the report runs there too.
#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>

class SourceWatch;

class ChangeWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChangeWatcher)

public:
    ChangeWatcher(std::function<void()> report, int debounceMs, QObject* parent = nullptr);
    ~ChangeWatcher() override;

    // Follows path (a resolved name). Called after every pass, so a file that came back is
    // watched again. An empty path stops watching.
    void Follow(const QString& path);

private:
    void Changed();

    std::function<void()> report_;
    QTimer debounce_;
    QString path_;
    std::unique_ptr<SourceWatch> watch_;
};
