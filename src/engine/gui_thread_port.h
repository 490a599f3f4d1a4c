#pragma once
// GuiThreadPort: a TailWindowPort that forwards every call to the real port on the window thread.
// Called on the window thread it forwards directly. Called from a worker it queues the call, wakes
// the window thread with a queued invocation and blocks until the call has run there, so no window
// code ever runs on the worker and every progress text is shown before the worker goes on. An
// exception thrown by the window is carried back and rethrown on the calling thread.
//
// The calls wait in a queue of our own (one lock, one condition) rather than inside Qt's blocking
// connection: the stop sequence can then run them even from inside the delivery of another posted
// event, where the event dispatcher delivers none, and the hand-over's ordering is visible to
// ThreadSanitizer.
//
// Ownership: the inner port is not owned and must outlive this object; create it on the window
// thread, whose event loop must keep running while a worker calls in.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include <QObject>

#include "engine/tail_window_port.h"

class GuiThreadPort final : public QObject, public TailWindowPort {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GuiThreadPort)

public:
    explicit GuiThreadPort(TailWindowPort& inner);

    // Window thread: runs the calls that workers have queued.
    Q_INVOKABLE void RunPendingCalls();
    // Window thread: waits until a worker queues a call after *seen (then updates *seen) or the
    // timeout passes.
    void WaitForCall(quint64* seen, std::chrono::milliseconds timeout);

    int ReadBufferKo() const override;
    void SetReadBufferKo(int kilobytes) override;
    int Offset() const override;
    void SetOffset(int bytes) override;
    bool AutoOffset() const override;
    void SetAutoOffset(bool on) override;
    bool FilterOn() const override;
    bool AlertOn() const override;
    bool ReverseDnsOn() const override;
    bool KillLine() const override;
    void SetKillLine(bool on) override;
    bool KillSpace() const override;
    void SetKillSpace(bool on) override;
    bool UseTabs() const override;
    void SetUseTabs(bool on) override;
    void SetWrap(bool on) override;
    int TabWidth() const override;
    void SetTabWidth(int dialogUnits) override;
    int ContextLines() const override;
    QString FilterPattern() const override;
    QString AlertPattern() const override;
    bool FilterInverted() const override;
    bool AlertInverted() const override;
    QString FileNameText() const override;
    void SetFileNameText(const QString& text) override;
    void SetFileNameEditVisible(bool visible) override;
    TailViewState ViewState() const override;
    void PublishView(const TailViewUpdate& update) override;
    void ApplyTabStops(int dialogUnits) override;
    void ApplyDefaultTabStops() override;
    void ApplyViewFont(const QFont& font, quint32 color) override;
    void SetBottomIndicator(bool atBottom) override;
    void SetStatePane(const QString& text) override;
    void SetTimePane(const QString& text) override;
    void SetInfoPane(const QString& text) override;
    void SetFileStatus(const QString& filePane, const QString& infoPane) override;
    void SetFileLabel(const QString& text) override;
    void SetApplicationTitle(const QString& text) override;
    void SetTrayHint(const QString& text) override;
    void AdvanceTrayImage() override;
    void SetStartMenuCaption(const QString& text) override;
    void SetStartedLayout(bool started) override;
    void SetStartStopButtons(bool started) override;
    void ApplyColors() override;
    void SetBusyCursor(bool busy) override;
    QSize WindowOuterSize() const override;
    void SetWindowOuterSize(const QSize& size) override;
    void ProcessPendingEvents() override;
    void InsertAlertLine(const QString& line) override;
    bool AlertsWindowVisible() const override;
    void ShowAlertsWindow() override;
    void RestoreWindow() override;
    bool IsMinimized() const override;
    void PlaySound(const QString& fileName) override;
    void Batch(const std::function<void()>& calls) override;

private:
    struct PendingCall {
        std::function<void()> run;
        bool done = false;
    };
    template <typename F> auto Call(F&& f) const -> decltype(f());
    void RunOnWindowThread(const std::function<void()>& run) const;

    TailWindowPort& inner_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    mutable std::deque<PendingCall*> pending_;
    mutable quint64 queued_ = 0;
};
