#pragma once
// LatestText: the newest of the texts one thread writes for another to show, handed over in one
// call however many were written meanwhile. Put answers true when no text was waiting: the writer
// then asks the reader's thread to Take (once); later texts replace the waiting one.
// Any thread; one short lock.
#include <mutex>
#include <utility>

#include <QString>

class LatestText final {
public:
    bool Put(const QString& text) {
        const std::lock_guard guard(lock_);
        text_ = text;
        return !std::exchange(waiting_, true);
    }
    QString Take() {
        const std::lock_guard guard(lock_);
        waiting_ = false;
        return text_;
    }

private:
    std::mutex lock_;
    QString text_;
    bool waiting_ = false;
};
