#include "engine/change_watcher.h"

#include "source/source.h"

ChangeWatcher::ChangeWatcher(std::function<void()> report, int debounceMs, QObject* parent)
    : QObject(parent), report_(std::move(report)) {
    debounce_.setSingleShot(true);
    debounce_.setInterval(debounceMs);
    connect(&debounce_, &QTimer::timeout, this, [this] {
        if (!path_.isEmpty())
            report_();
    });
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::Follow(const QString& path) {
    if (path == path_ && (watch_ || path.isEmpty())) {
        if (watch_)
            watch_->Renew();
        return;
    }
    watch_.reset();
    path_ = path;
    if (!path.isEmpty())
        watch_ = SourceKindOf(path).Watch(path, [this] { Changed(); });
}

void ChangeWatcher::Changed() {
    if (!debounce_.isActive())
        debounce_.start();
}
