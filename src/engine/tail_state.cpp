#include "engine/tail_state.h"

#include <exception>
#include <system_error>
#include <utility>

#include <QCoreApplication>
#include <QFont>
#include <QThread>

#include "engine/change_watcher.h"
#include "engine/clock.h"
#include "engine/scheduling.h"
#include "engine/tail_pass.h"
#include "engine/tail_window_port.h"
#include "engine/view_publishing.h"
#include "platform/dialogs.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "source/source.h"
#include "util/date_time_text.h"

namespace {

QThread::Priority WorkerPriority(qint32 threadprio) {
    switch (threadprio) {
    case 1:
        return QThread::IdlePriority;
    case 2:
        return QThread::LowestPriority;
    case 3:
        return QThread::LowPriority;
    case 5:
        return QThread::HighPriority;
    case 6:
        return QThread::HighestPriority;
    case 7:
        return QThread::TimeCriticalPriority;
    default:
        return QThread::NormalPriority;
    }
}

} // namespace

TailEngine::TailEngine(const EngineDeps& deps, int tickIntervalMs, int changeDebounceMs, QObject* parent)
    : QObject(parent), deps_(deps), gui_(*deps.window) {
    if (deps_.mail)
        mailer_ = std::make_unique<AlertMailer>(*deps_.mail, *deps_.window, *deps_.clock);
    rt_.Mailer = mailer_.get();
    timer1_.setInterval(tickIntervalMs);
    connect(&timer1_, &QTimer::timeout, this, &TailEngine::Tick);
    if (changeDebounceMs >= 0)
        watcher_ = std::make_unique<ChangeWatcher>([this] { OnFileChanged(); }, changeDebounceMs);
    changeTimer_.setSingleShot(true);
    connect(&changeTimer_, &QTimer::timeout, this, &TailEngine::OnFileChanged);
}

TailEngine::~TailEngine() {
    timer1_.stop();
    rt_.Cancel = true;
    WaitForPassEnd(); // without a limit: everything the pass uses goes with this object
}

void TailEngine::SetTailStatus(int state) {
    if (inTransition_) {
        // A request taken while a start or stop sequence handles events runs once it is done, so
        // the two sequences never interleave.
        QMetaObject::invokeMethod(
            this, [this, state] { SetTailStatus(state); }, Qt::QueuedConnection);
        return;
    }
    if (state == tsStop)
        startPending_ = false;
    if (state == rt_.TailStatus.load())
        return;
    if (state == tsStart && rt_.Busy.load(std::memory_order_acquire)) {
        StartWhenPassEnded();
        return;
    }
    inTransition_ = true;
    if (state == tsStop)
        StopSequence();
    else if (state == tsStart)
        StartSequence();
    else
        deps_.window->ApplyColors();
    inTransition_ = false;
}

// A pass that a stop gave up on is still running: the start waits for it, so that two passes never
// share the window state. Polled: the pass cannot be waited for without handling events.
void TailEngine::StartWhenPassEnded() {
    if (std::exchange(startPending_, true))
        return;
    QTimer::singleShot(20, this, [this] {
        if (std::exchange(startPending_, false))
            SetTailStatus(tsStart);
    });
}

void TailEngine::Tick() {
    if (rt_.Busy.exchange(true, std::memory_order_acq_rel))
        return;
    // A source that may wait on a network is read on a worker in timer mode too: the window
    // never waits for it.
    if (deps_.params->usethread || SourceKindOf(deps_.manager->FileName).Traits().mayBlock) {
        LaunchWorker();
        return;
    }
    try {
        DomTail(rt_, deps_, *deps_.window, false);
    } catch (...) {
        // Nothing escapes a tick into the event loop; the pass has cleared the busy flag.
    }
    AfterPass();
}

// A change of the followed file: the countdown is cut short and the tick runs now, or once the
// gap since the last such pass has passed. A change met while a tick is busy runs one more tick
// after it, so the last lines written are never left waiting for the timer.
void TailEngine::OnFileChanged() {
    if (rt_.TailStatus.load() != tsStart || inTransition_)
        return;
    if (Busy()) {
        changePending_ = true;
        return;
    }
    if (const qint64 wait = ChangeWaitMs(); wait > 0) {
        if (!changeTimer_.isActive())
            changeTimer_.start(int(wait));
        return;
    }
    rt_.Countdown = 1;
    changePass_.start();
    changePassMs_ = -1; // measured when the pass ends
    Tick();
}

// A screen refresh after the last pass a change ran started, and no sooner after its end than it
// took: a pass that costs more than a refresh never runs back to back.
qint64 TailEngine::ChangeWaitMs() const {
    if (!changePass_.isValid())
        return 0;
    const qint64 since = changePass_.elapsed();
    return std::max(kChangePassGapMs - since, 2 * std::max<qint64>(0, changePassMs_) - since);
}

// Window thread, once a tick has ended: follow the file the pass resolved (a wildcard's newest
// match, a file that came back), and serve a change that came meanwhile.
void TailEngine::AfterPass() {
    if (!watcher_ || Busy())
        return;
    if (changePass_.isValid() && changePassMs_ < 0)
        changePassMs_ = changePass_.elapsed();
    watcher_->Follow(rt_.TailStatus.load() == tsStart ? rt_.CurrentFileName : QString());
    if (changePending_) {
        changePending_ = false;
        QMetaObject::invokeMethod(this, &TailEngine::OnFileChanged, Qt::QueuedConnection);
    }
}

void TailEngine::ResetRefreshRate() {
    ::ResetRefreshRate(rt_, deps_.manager->GetCurrentDefinition()->GetRefreshRate());
}

void TailEngine::StartSequence() {
    TailWindowPort& w = *deps_.window;
    const QString typed = w.FileNameText();
    if (typed.trimmed().isEmpty()) {
        AppendViewNotice(w, ShortDateLongTimeText(deps_.clock->Now()) +
                                QLatin1String(" - No filename entered !"));
        return;
    }
    rt_.TailStatus = tsStart;
    rt_.Cancel = false;
    w.SetOffset(0);
    rt_.LastFileChangeNoticeTime = deps_.clock->Now();
    rt_.LastChangeTime = rt_.LastFileChangeNoticeTime;
    rt_.ClearRequested = false;
    deps_.manager->SetFileName(typed);
    deps_.manager->SetLastTailedFile(typed);
    const TBaseTailFile& def = *deps_.manager->GetCurrentDefinition();
    w.SetKillSpace(def.GetKillspace());
    w.SetKillLine(def.GetKillline());
    w.SetUseTabs(def.GetUseTabs());
    w.SetWrap(def.GetWrap());
    w.SetTabWidth(def.GetTabsVal());
    w.SetAutoOffset(def.GetAutooffset());
    rt_.PreviousFileName.clear();
    rt_.TypeAgain = true; // the first pass after a start types the file, whatever its name
    rt_.TypeFailed = false;
    w.SetStatePane(QStringLiteral("Loading filelist..."));
    w.ProcessPendingEvents();
    w.SetBusyCursor(true);
    const QString resolved = deps_.manager->ResolveFileName();
    w.SetOffset(resolved == fileNameAtStop_ ? offsetAtStop_ : 0);
    w.SetBusyCursor(false);
    w.SetReadBufferKo(def.GetBufferkoVal());
    QFont font;
    quint32 color = 0;
    def.AssignToFont(font, &color);
    w.ApplyViewFont(font, color);
    if (const TTailFile* file = deps_.manager->GetCurrentFile(); file && file->GetKeepWindowSize())
        w.SetWindowOuterSize(QSize(file->GetWindowWidth(), file->GetWindowHeight()));
    rt_.Countdown = 0;
    rt_.RefreshRate = def.GetRefreshRate();
    w.SetStartedLayout(true);
    w.SetStartStopButtons(true);
    w.SetFileNameEditVisible(false);
    // Looked at only when needed: a source may be slow to answer (a journal's first look renders it).
    // One that may wait on a network is looked at by the first pass, off the window thread.
    rt_.HidePoint = 0;
    rt_.HideAtFirstPass = def.GetNewlineOnly() && SourceKindOf(resolved).Traits().mayBlock;
    if (def.GetNewlineOnly() && !rt_.HideAtFirstPass) {
        const SourceFacts info = SourceKindOf(resolved).Facts(resolved);
        rt_.HidePoint = info.isFile ? info.size : 0;
    }
    Tick();
    // A timer-mode first tick handles events: a stop taken there must not leave the timer running.
    if (rt_.TailStatus.load() == tsStart)
        timer1_.start();
    w.ApplyColors();
}

void TailEngine::StopSequence() {
    TailWindowPort& w = *deps_.window;
    rt_.TailStatus = tsStop;
    rt_.Cancel = true; // a running pass ends at its next line
    timer1_.stop();
    changePending_ = false;
    changeTimer_.stop();
    if (watcher_)
        watcher_->Follow(QString());
    w.ProcessPendingEvents();
    w.SetStatePane(QStringLiteral("STOPPING"));
    w.ProcessPendingEvents();
    if (deps_.params->usethread || worker_.joinable())
        WaitForPassEnd(passWaitLimit_);
    if (deps_.manager->GetCurrentFile()) {
        RememberStopState();
        StoreWindowSize();
    }
    w.SetStartStopButtons(false);
    w.SetFileNameText(deps_.manager->FileName);
    w.SetFileNameEditVisible(true);
    w.SetStatePane(QStringLiteral("STOPPED"));
    try {
        w.SetStartMenuCaption(QLatin1String("Start ") + deps_.manager->GetCaption());
    } catch (const std::exception&) {
        w.SetStartMenuCaption(QStringLiteral("Start"));
    }
    w.SetStartedLayout(false);
    rt_.Buffer.Release(); // deferred to the pass's end when a timer-mode pass is running under us
    w.ProcessPendingEvents();
    w.ApplyColors();
}

// Handles window events until the running pass has ended, so that its hand-overs can run. The
// worker's calls are also run directly: when the stop itself was requested from a posted event,
// the event dispatcher would not deliver them. The bounded wait only paces the loop.
bool TailEngine::WaitForPassEnd(std::chrono::milliseconds limit) {
    const auto deadline = limit == std::chrono::milliseconds::max()
                              ? std::chrono::steady_clock::time_point::max()
                              : std::chrono::steady_clock::now() + limit;
    quint64 seen = 0;
    while (rt_.Busy.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false; // given up: the worker ends on its own and clears the busy flag
        timer1_.stop();
        gui_.RunPendingCalls();
        QCoreApplication::processEvents();
        if (rt_.Busy.load(std::memory_order_acquire))
            gui_.WaitForCall(&seen, std::chrono::milliseconds(10));
    }
    JoinWorker();
    return true;
}

void TailEngine::RememberStopState() {
    try {
        offsetAtStop_ = deps_.window->Offset();
        fileNameAtStop_ = deps_.manager->ResolveFileName();
    } catch (const std::exception& failure) {
        ShowStopFailure(QStringLiteral("TFormTail.SetTailStatus.tsStop : "), failure);
    }
}

// The size is stored whatever KeepWindowSize says; the list is reloaded first so that changes
// saved by other windows meanwhile survive, unless it holds edits of the tree window that wait
// for this storing.
void TailEngine::StoreWindowSize() {
    try {
        const QSize size = deps_.window->WindowOuterSize();
        if (!deps_.manager->GetCurrentFile()->StoreWindowSize(size.width(), size.height()))
            return;
        if (deps_.manager->HasUnsavedEdits()) {
            deps_.manager->SaveToRegistry();
            return;
        }
        deps_.manager->LoadFromRegistry();
        deps_.manager->SetFileName(deps_.manager->FileName);
        TTailFile* reloaded = deps_.manager->GetCurrentFile();
        if (!reloaded)
            return;
        try {
            reloaded->StoreWindowSize(size.width(), size.height());
        } catch (const std::exception& failure) {
            ShowStopFailure(QStringLiteral("TFormTail.SetTailStatus.tsStop-3 : "), failure);
        }
        deps_.manager->SaveToRegistry(TTailFileManager::SaveAsked::OnTheWay);
    } catch (const std::exception& failure) {
        ShowStopFailure(QStringLiteral("TFormTail.SetTailStatus.tsStop-2 : "), failure);
    }
}

void TailEngine::ShowStopFailure(const QString& step, const std::exception& failure) {
    if (deps_.dialogs)
        deps_.dialogs->ShowMessage(DialogService::Icon::Error, step + QString::fromLocal8Bit(failure.what()));
}

void TailEngine::LaunchWorker() {
    JoinWorker(); // the previous worker has cleared the busy flag: it only has to return
    const QThread::Priority priority = WorkerPriority(deps_.params->threadprio);
    try {
        worker_ = std::thread([this, priority] {
            QThread::currentThread()->setPriority(priority); // stays normal when it cannot be set
            try {
                DomTail(rt_, deps_, gui_, true);
            } catch (...) {
                // Anything that escapes a pass on the worker is swallowed here.
            }
            QMetaObject::invokeMethod(this, "AfterWorkerPass", Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        rt_.Busy.store(false, std::memory_order_release); // no thread: this tick is skipped
    }
}

void TailEngine::JoinWorker() {
    if (worker_.joinable())
        worker_.join();
}
