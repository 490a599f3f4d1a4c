#pragma once
// TailEngine: the tail engine of one tail window. It holds the window state the pass needs, runs
// the start and stop sequences of SetTailStatus, owns the one-second tick Timer1 and schedules each
// tick on the window thread (timer mode) or on a worker thread (worker mode, `usethread`).
//
// Threads: create, call and destroy on the window thread. In worker mode the pass runs on a worker
// thread per tick (at the `threadprio` priority) and reaches the window only through a GuiThreadPort
// (blocking hand-over), so the window thread's event loop must run; the stop sequence and the
// destructor keep handling events until a running pass has ended. The flags ClearRequested,
// MouseHeld and HidePoint are atomics the window may write at any time. Alert e-mails go out on
// the engine's AlertMailer thread.
//
// A stop or a close never waits for ever: it asks the running pass to end (the pass looks between
// lines) and gives up waiting after PassWaitLimit(). A pass given up on keeps running until it
// returns, so nothing it uses is freed meanwhile: the read buffer is released when it ends, a
// start waits for it to end, and the destructor waits without a limit, so the owner that must not
// wait (a closing window) ends its process instead while PassRunning() holds.
//
// Ownership: nothing in EngineDeps is owned; all of it must outlive the engine. The window owns one
// engine, requests tsStop right after creating it and before tearing itself down.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "engine/alert_mailer.h"
#include "engine/gui_thread_port.h"
#include "engine/tail_runtime.h"

class ChangeWatcher;

// How long change notifications are gathered before they are served: the events at hand.
inline constexpr int kChangeDebounceMs = 0;
// Passes run for changes at most once a screen refresh: a writer's burst of lines makes one pass,
// and a lone line shows at once.
inline constexpr qint64 kChangePassGapMs = 16;

class TailEngine final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TailEngine)

public:
    // tickIntervalMs: Timer1's interval (1000 in the program; tests choose a long one and tick by hand).
    // changeDebounceMs: a change of the followed file (a notification of the file system) runs a
    // tick at once after that many milliseconds; negative: no notifications, the timer only.
    explicit TailEngine(const EngineDeps& deps, int tickIntervalMs = 1000,
                        int changeDebounceMs = kChangeDebounceMs, QObject* parent = nullptr);
    ~TailEngine() override;

    static constexpr std::chrono::milliseconds kPassWaitLimit = std::chrono::seconds(5);

    // tsStop runs the stop sequence, tsStart the start sequence; the current state does nothing;
    // any other value only applies the colours. A request made while a sequence is running (from
    // the events it handles) is queued until that sequence has ended; a start while a pass that
    // a stop gave up on still runs waits until it has ended.
    void SetTailStatus(int state);
    TTailStatus TailStatus() const { return rt_.TailStatus.load(); }

    // Timer1's handler; also run once by the start sequence. Skipped while a tick is busy.
    void Tick();
    // The click on the STATE pane, the invert labels, the R. DNS box: only while started,
    // refresh rate := the definition's RefreshRate, countdown := min(countdown, that rate).
    void ResetRefreshRate();

    std::atomic<bool>& ClearRequested() { return rt_.ClearRequested; }
    std::atomic<bool>& MouseHeld() { return rt_.MouseHeld; }
    std::atomic<qint64>& HidePoint() { return rt_.HidePoint; }

    // Window thread, while no pass runs (or for display only).
    QString LastAlertLine() const { return rt_.LastAlertLine; }
    bool Busy() const { return rt_.Busy.load(std::memory_order_acquire); }
    qint32 Countdown() const { return rt_.Countdown.load(); }
    qint32 RefreshRate() const { return rt_.RefreshRate.load(); }
    bool TimerActive() const { return timer1_.isActive(); }
    bool ReadBufferHeld() const { return rt_.Buffer.Held(); }
    qint64 ReadBufferCapacity() const { return rt_.Buffer.Capacity(); }
    // A pass is running (one that a stop gave up waiting for included).
    bool PassRunning() const { return Busy(); }
    // Off: every pass reads and processes its whole window (the reference for the incremental one).
    void SetIncrementalPasses(bool on) { rt_.Window.SetEnabled(on); }
    const IncrementalWindow& WindowReads() const { return rt_.Window; }
    // How long a stop waits for a running pass (tests choose a short one).
    void SetPassWaitLimit(std::chrono::milliseconds limit) { passWaitLimit_ = limit; }
    std::chrono::milliseconds PassWaitLimit() const { return passWaitLimit_; }
    // The mailer of the alert e-mails; null without a mail sender.
    AlertMailer* Mailer() { return mailer_.get(); }

private:
    // Posted by the worker when a pass has ended; by name, so that Qt allocates and frees the call
    // in its own code, whose queue locking the thread sanitizer cannot see.
    Q_INVOKABLE void AfterWorkerPass() { AfterPass(); }

    void StartSequence();
    void StartWhenPassEnded();
    void StopSequence();
    // true once no pass runs; false when the limit passed first.
    bool WaitForPassEnd(std::chrono::milliseconds limit = std::chrono::milliseconds::max());
    void RememberStopState();
    void StoreWindowSize();
    void ShowStopFailure(const QString& step, const std::exception& failure);
    void LaunchWorker();
    void JoinWorker();
    void OnFileChanged();
    qint64 ChangeWaitMs() const;
    void AfterPass();

    EngineDeps deps_;
    TailRuntime rt_;
    GuiThreadPort gui_;
    std::unique_ptr<AlertMailer> mailer_;
    QTimer timer1_;
    std::thread worker_; // the worker of the current or last tick; joined before the next one
    bool inTransition_ = false;
    bool startPending_ = false;
    std::chrono::milliseconds passWaitLimit_ = kPassWaitLimit;
    std::unique_ptr<ChangeWatcher> watcher_; // null without notifications
    bool changePending_ = false;             // a change came while a tick was busy
    QTimer changeTimer_;                     // a change waits for the gap between passes
    QElapsedTimer changePass_;               // since the last pass a change ran started
    qint64 changePassMs_ = 0;                // what that pass cost
    int offsetAtStop_ = 0;
    QString fileNameAtStop_;
};
