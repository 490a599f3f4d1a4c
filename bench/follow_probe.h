#pragma once
// The tail engine following a name as the program does (fake window, real timers, worker mode),
// and what the follow benchmarks measure of it: the time from an append to its line in the view,
// and the CPU time the process spends while it follows. Run on the thread of the event loop.
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "engine/clock.h"
#include "engine/tail_state.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/fake_tail_window.h"

class Follower {
public:
    // debounceMs: the change notifications' delay, -1 for the timer alone.
    Follower(const QString& name, int debounceMs);
    ~Follower();
    Follower(const Follower&) = delete;
    Follower& operator=(const Follower&) = delete;
    QString View() const { return window_.ViewText(); }

private:
    TTailParam params_;
    TTailFileManager manager_;
    FakeTailWindow window_;
    SystemClock clock_;
    EngineDeps deps_;
    std::unique_ptr<TailEngine> engine_;
};

// User and system CPU seconds of the process so far.
double CpuSeconds();
// Runs the event loop, sleeping between events, for ms milliseconds.
void RunEventsFor(int ms);
// Milliseconds from each append to file to its line in the view of a follower of name (the file
// itself, or the same file reached another way); appends at random phases of the timer.
std::vector<double> Latencies(const QString& file, const QString& name, int debounceMs, int samples);
// The CPU the process spends per second of following name, as a percentage of one core, over
// ms milliseconds after the first passes; measuring is called as the measured time starts.
double FollowCpuPercent(const QString& name, int debounceMs, int ms,
                        const std::function<void()>& measuring = {});
