#include "source/ssh_watchdog.h"

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include <sys/socket.h>

struct StepLimit::Entry {
    int fd;
    SourceCancel cancel;
    std::chrono::milliseconds limit;
    std::chrono::steady_clock::time_point deadline;
    StepCut cut = StepCut::None;
};

namespace {

// How often running steps are looked at: a stop ends a hanging step within about this much.
constexpr std::chrono::milliseconds kLookEvery(50);

class Watchdog {
public:
    static Watchdog& Instance() {
        // Never destroyed: its thread may still wait when the process ends.
        static Watchdog* watchdog = new Watchdog;
        return *watchdog;
    }

    StepLimit::Entry* Add(int fd, SourceCancel cancel, std::chrono::milliseconds limit) {
        std::lock_guard guard(lock_);
        steps_.push_back({fd, cancel, limit, std::chrono::steady_clock::now() + limit});
        wake_.notify_one();
        return &steps_.back();
    }

    void Remove(StepLimit::Entry* entry) {
        std::lock_guard guard(lock_);
        steps_.remove_if([entry](const StepLimit::Entry& e) { return &e == entry; });
    }

    void SetDeadline(StepLimit::Entry* entry, std::chrono::steady_clock::time_point deadline) {
        std::lock_guard guard(lock_);
        entry->deadline = deadline;
    }

    StepCut CutOf(const StepLimit::Entry* entry) {
        std::lock_guard guard(lock_);
        return entry->cut;
    }

private:
    Watchdog() : thread_([this] { Run(); }) { thread_.detach(); }

    void Run() {
        std::unique_lock guard(lock_);
        for (;;) {
            if (steps_.empty())
                wake_.wait(guard);
            else
                wake_.wait_for(guard, kLookEvery);
            const auto now = std::chrono::steady_clock::now();
            for (StepLimit::Entry& step : steps_) {
                if (step.cut != StepCut::None)
                    continue;
                if (IsCancelled(step.cancel))
                    step.cut = StepCut::Cancelled;
                else if (now >= step.deadline)
                    step.cut = StepCut::TimedOut;
                else
                    continue;
                // Under the lock: the step's owner closes the socket only after removing its entry.
                ::shutdown(step.fd, SHUT_RDWR);
            }
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::list<StepLimit::Entry> steps_;
    std::thread thread_;
};

} // namespace

StepLimit::StepLimit(int fd, SourceCancel cancel, std::chrono::milliseconds limit)
    : entry_(Watchdog::Instance().Add(fd, cancel, limit)) {}

StepLimit::~StepLimit() {
    Watchdog::Instance().Remove(entry_);
}

StepCut StepLimit::Cut() const {
    return Watchdog::Instance().CutOf(entry_);
}

void StepLimit::Hold() {
    Watchdog::Instance().SetDeadline(entry_, std::chrono::steady_clock::time_point::max());
}

void StepLimit::Restart() {
    Watchdog::Instance().SetDeadline(entry_, std::chrono::steady_clock::now() + entry_->limit);
}
