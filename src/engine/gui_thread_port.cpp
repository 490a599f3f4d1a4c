#include "engine/gui_thread_port.h"

#include <exception>
#include <optional>
#include <type_traits>

#include <QThread>

GuiThreadPort::GuiThreadPort(TailWindowPort& inner) : inner_(inner) {}

template <typename F> auto GuiThreadPort::Call(F&& f) const -> decltype(f()) {
    using Result = decltype(f());
    if (QThread::currentThread() == thread())
        return f();
    std::exception_ptr failure;
    [[maybe_unused]] std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    RunOnWindowThread([&] {
        try {
            if constexpr (std::is_void_v<Result>)
                f();
            else
                result = f();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*result);
}

void GuiThreadPort::RunOnWindowThread(const std::function<void()>& run) const {
    PendingCall call{run};
    {
        std::lock_guard guard(lock_);
        pending_.push_back(&call);
        ++queued_;
    }
    changed_.notify_all();
    QMetaObject::invokeMethod(const_cast<GuiThreadPort*>(this), "RunPendingCalls", Qt::QueuedConnection);
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return call.done; });
}

// Only the calls queued before entry: a worker queues its next call as soon as one is done, and
// draining those too would keep the window thread from its other events for a whole pass.
void GuiThreadPort::RunPendingCalls() {
    std::size_t count = 0;
    {
        std::lock_guard guard(lock_);
        count = pending_.size();
    }
    for (; count > 0; --count) {
        PendingCall* call = nullptr;
        {
            std::lock_guard guard(lock_);
            if (pending_.empty())
                return;
            call = pending_.front();
            pending_.pop_front();
        }
        call->run();
        {
            std::lock_guard guard(lock_);
            call->done = true;
        }
        changed_.notify_all();
    }
}

void GuiThreadPort::WaitForCall(quint64* seen, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, timeout, [&] { return queued_ != *seen; });
    *seen = queued_;
}

int GuiThreadPort::ReadBufferKo() const {
    return Call([&] { return inner_.ReadBufferKo(); });
}
void GuiThreadPort::SetReadBufferKo(int kilobytes) {
    Call([&] { inner_.SetReadBufferKo(kilobytes); });
}
int GuiThreadPort::Offset() const {
    return Call([&] { return inner_.Offset(); });
}
void GuiThreadPort::SetOffset(int bytes) {
    Call([&] { inner_.SetOffset(bytes); });
}
bool GuiThreadPort::AutoOffset() const {
    return Call([&] { return inner_.AutoOffset(); });
}
void GuiThreadPort::SetAutoOffset(bool on) {
    Call([&] { inner_.SetAutoOffset(on); });
}
bool GuiThreadPort::FilterOn() const {
    return Call([&] { return inner_.FilterOn(); });
}
bool GuiThreadPort::AlertOn() const {
    return Call([&] { return inner_.AlertOn(); });
}
bool GuiThreadPort::ReverseDnsOn() const {
    return Call([&] { return inner_.ReverseDnsOn(); });
}
bool GuiThreadPort::KillLine() const {
    return Call([&] { return inner_.KillLine(); });
}
void GuiThreadPort::SetKillLine(bool on) {
    Call([&] { inner_.SetKillLine(on); });
}
bool GuiThreadPort::KillSpace() const {
    return Call([&] { return inner_.KillSpace(); });
}
void GuiThreadPort::SetKillSpace(bool on) {
    Call([&] { inner_.SetKillSpace(on); });
}
bool GuiThreadPort::UseTabs() const {
    return Call([&] { return inner_.UseTabs(); });
}
void GuiThreadPort::SetUseTabs(bool on) {
    Call([&] { inner_.SetUseTabs(on); });
}
void GuiThreadPort::SetWrap(bool on) {
    Call([&] { inner_.SetWrap(on); });
}
int GuiThreadPort::TabWidth() const {
    return Call([&] { return inner_.TabWidth(); });
}
void GuiThreadPort::SetTabWidth(int dialogUnits) {
    Call([&] { inner_.SetTabWidth(dialogUnits); });
}
int GuiThreadPort::ContextLines() const {
    return Call([&] { return inner_.ContextLines(); });
}
QString GuiThreadPort::FilterPattern() const {
    return Call([&] { return inner_.FilterPattern(); });
}
QString GuiThreadPort::AlertPattern() const {
    return Call([&] { return inner_.AlertPattern(); });
}
bool GuiThreadPort::FilterInverted() const {
    return Call([&] { return inner_.FilterInverted(); });
}
bool GuiThreadPort::AlertInverted() const {
    return Call([&] { return inner_.AlertInverted(); });
}
QString GuiThreadPort::FileNameText() const {
    return Call([&] { return inner_.FileNameText(); });
}
void GuiThreadPort::SetFileNameText(const QString& text) {
    Call([&] { inner_.SetFileNameText(text); });
}
void GuiThreadPort::SetFileNameEditVisible(bool visible) {
    Call([&] { inner_.SetFileNameEditVisible(visible); });
}
TailViewState GuiThreadPort::ViewState() const {
    return Call([&] { return inner_.ViewState(); });
}
void GuiThreadPort::PublishView(const TailViewUpdate& update) {
    Call([&] { inner_.PublishView(update); });
}
void GuiThreadPort::ApplyTabStops(int dialogUnits) {
    Call([&] { inner_.ApplyTabStops(dialogUnits); });
}
void GuiThreadPort::ApplyDefaultTabStops() {
    Call([&] { inner_.ApplyDefaultTabStops(); });
}
void GuiThreadPort::ApplyViewFont(const QFont& font, quint32 color) {
    Call([&] { inner_.ApplyViewFont(font, color); });
}
void GuiThreadPort::SetBottomIndicator(bool atBottom) {
    Call([&] { inner_.SetBottomIndicator(atBottom); });
}
void GuiThreadPort::SetStatePane(const QString& text) {
    Call([&] { inner_.SetStatePane(text); });
}
void GuiThreadPort::SetTimePane(const QString& text) {
    Call([&] { inner_.SetTimePane(text); });
}
void GuiThreadPort::SetInfoPane(const QString& text) {
    Call([&] { inner_.SetInfoPane(text); });
}
void GuiThreadPort::SetFileStatus(const QString& filePane, const QString& infoPane) {
    Call([&] { inner_.SetFileStatus(filePane, infoPane); });
}
void GuiThreadPort::SetFileLabel(const QString& text) {
    Call([&] { inner_.SetFileLabel(text); });
}
void GuiThreadPort::SetApplicationTitle(const QString& text) {
    Call([&] { inner_.SetApplicationTitle(text); });
}
void GuiThreadPort::SetTrayHint(const QString& text) {
    Call([&] { inner_.SetTrayHint(text); });
}
void GuiThreadPort::AdvanceTrayImage() {
    Call([&] { inner_.AdvanceTrayImage(); });
}
void GuiThreadPort::SetStartMenuCaption(const QString& text) {
    Call([&] { inner_.SetStartMenuCaption(text); });
}
void GuiThreadPort::SetStartedLayout(bool started) {
    Call([&] { inner_.SetStartedLayout(started); });
}
void GuiThreadPort::SetStartStopButtons(bool started) {
    Call([&] { inner_.SetStartStopButtons(started); });
}
void GuiThreadPort::ApplyColors() {
    Call([&] { inner_.ApplyColors(); });
}
void GuiThreadPort::SetBusyCursor(bool busy) {
    Call([&] { inner_.SetBusyCursor(busy); });
}
QSize GuiThreadPort::WindowOuterSize() const {
    return Call([&] { return inner_.WindowOuterSize(); });
}
void GuiThreadPort::SetWindowOuterSize(const QSize& size) {
    Call([&] { inner_.SetWindowOuterSize(size); });
}
void GuiThreadPort::ProcessPendingEvents() {
    Call([&] { inner_.ProcessPendingEvents(); });
}
void GuiThreadPort::InsertAlertLine(const QString& line) {
    Call([&] { inner_.InsertAlertLine(line); });
}
bool GuiThreadPort::AlertsWindowVisible() const {
    return Call([&] { return inner_.AlertsWindowVisible(); });
}
void GuiThreadPort::ShowAlertsWindow() {
    Call([&] { inner_.ShowAlertsWindow(); });
}
void GuiThreadPort::RestoreWindow() {
    Call([&] { inner_.RestoreWindow(); });
}
bool GuiThreadPort::IsMinimized() const {
    return Call([&] { return inner_.IsMinimized(); });
}
void GuiThreadPort::PlaySound(const QString& fileName) {
    Call([&] { inner_.PlaySound(fileName); });
}
void GuiThreadPort::Batch(const std::function<void()>& calls) {
    // On the window thread the calls made on this port forward directly.
    Call([&] { calls(); });
}
