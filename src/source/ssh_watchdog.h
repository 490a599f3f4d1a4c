#pragma once
// Bounds and cancels the network steps of SSH connections. libssh waits on its socket inside each
// call; a step that outlives its time limit, or whose cancel flag is set (a stop, a close), gets
// its socket shut down from here, so the waiting call fails at once instead of hanging.
//
// Threads: one thread of its own, started with the first step and sleeping while no step runs.
// A StepLimit lives on the stack of the thread that runs the step.
#include <chrono>

#include "source/source.h"

// Why a step was cut short, if it was.
enum class StepCut { None, TimedOut, Cancelled };

class StepLimit final {
public:
    // Watches fd (a connected socket) until destroyed.
    StepLimit(int fd, SourceCancel cancel, std::chrono::milliseconds limit);
    ~StepLimit();
    StepLimit(const StepLimit&) = delete;
    StepLimit& operator=(const StepLimit&) = delete;

    // Whether the step was cut short so far, and why.
    StepCut Cut() const;
    // No time limit until Restart (a question waits for the person); a cancel still cuts.
    void Hold();
    // The full limit again from now: the next answer of a step of many parts.
    void Restart();

    struct Entry; // the watchdog's record of the step

private:
    Entry* entry_;
};

// The flag is set.
inline bool IsCancelled(SourceCancel cancel) {
    return cancel && cancel->load();
}
