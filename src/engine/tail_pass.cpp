#include "engine/tail_pass.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include <QDateTime>
#include <QElapsedTimer>

#include "engine/alerts.h"
#include "engine/clock.h"
#include "engine/incremental_window.h"
#include "engine/line_stage.h"
#include "engine/pass_failure.h"
#include "engine/scheduling.h"
#include "engine/tail_window_port.h"
#include "engine/view_publishing.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "source/source.h"
#include "util/date_time_text.h"
#include "util/size_text.h"

namespace {

// The age shown is that of the bytes just read, from the stamp the read took on the open file
// (asking the name again would cost a second look and could see another file).
QDateTime ModifiedAt(const FileStamp& stamp) {
    return QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / 1000000);
}

constexpr qint64 kAutoOffsetTail = 5120; // the last 5 KiB of the window must yield a kept line
// How far a shown line is looked for in the next snapshot, back from its number.
constexpr qint64 kMovedLinesLooked = 65536;
constexpr int kMaxTrayHint = 80;
// In timer mode a long analysis lets the window handle its events at least this often.
constexpr qint64 kTimerModeEventsMs = 40;

// The definition's settings a tick uses, read once at its start: the list may be reloaded by the
// window thread while a pass that a stop gave up waiting for still runs.
struct DefinitionValues {
    bool newlineOnly = false;
    bool autotimer = false;
    qint32 refreshRate = 1;
};

// Read in one hand-over at the pass's start; the auto-offset box is asked again where its loop
// would go on.
struct PassSettings {
    qint64 windowSize = 0;
    bool filterOn = false;
    bool alertOn = false;
    bool reverseDns = false;
    bool killLine = false;
    bool killSpace = false;
    int before = 0;
    int after = 0;
    QString filterPattern;
    QString alertPattern;
    bool filterInverted = false;
    bool alertInverted = false;
    bool autoOffset = false;
    qint64 offset = 0;
    bool useTabs = false;
    int tabWidth = 0;
};

// Clears the busy flag (and ends the read buffer's use) however the tick ends.
class TickGuard final {
public:
    explicit TickGuard(TailRuntime& rt) : rt_(rt) { rt_.Buffer.BeginPass(); }
    ~TickGuard() {
        rt_.Buffer.EndPass();
        rt_.Busy.store(false, std::memory_order_release);
    }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    TailRuntime& rt_;
};

class TailPass final {
public:
    TailPass(TailRuntime& rt, const EngineDeps& deps, TailWindowPort& window, bool workerMode)
        : rt_(rt), deps_(deps), window_(window), workerMode_(workerMode) {}

    void Run();

private:
    DefinitionValues ReadDefinition() const;
    void Progress(const QString& text);
    bool MeasureAtBottom() const;
    PassSettings ReadSettings() const;
    void ResolveFile();
    void MissingFile();
    void AppendNotice(const QString& line);
    bool TypeFile();
    void ReadAndPublish(const PassSettings& settings);
    WindowRequest Request(const PassSettings& settings, qint64 offset, qint64 sizeCap) const;
    void ReadOnce(const WindowRequest& request);
    bool MoveBack(const PassSettings& settings, qint64& offset);
    void ApplyTabs(const PassSettings& settings);
    void HandleEventsNowAndThen();
    void PublishInterim(const ViewSnapshot& tail);
    void Publish();
    void ShowFileStatus();
    void EndOfPass();
    void EndOfTick();

    TailRuntime& rt_;
    const EngineDeps& deps_;
    TailWindowPort& window_;
    bool workerMode_;

    DefinitionValues def_;
    PassSettings settings_;
    SourceTraits traits_;
    SourceFacts facts_;
    QString typeError_;
    qint64 costlyLines_ = 0;
    bool changed_ = false;
    QDateTime passStart_;
    bool hasRead_ = false;
    bool typedNow_ = false; // the file was typed in this pass: its window is read afresh
    WindowRead read_;
    QString alertLine_;
    qint64 linesRead_ = 0;
    qint64 linesFiltered_ = 0;
    qint64 lastKeptLineEnd_ = -1;
    QElapsedTimer sinceEvents_;
    QString alertPattern_;
    bool alertInverted_ = false;
};

void TailPass::Run() {
    TickGuard guard(rt_);
    def_ = ReadDefinition();
    if (--rt_.Countdown > 0) {
        window_.SetBottomIndicator(MeasureAtBottom());
        EndOfTick();
        return;
    }
    passStart_ = deps_.clock->Now();
    window_.Batch([&] {
        window_.AdvanceTrayImage();
        Progress(QStringLiteral("Loading filelist..."));
        settings_ = ReadSettings();
    });
    ResolveFile();
    const SourceKind& kind = SourceKindOf(rt_.CurrentFileName);
    traits_ = kind.Traits();
    facts_ = kind.Facts(rt_.CurrentFileName, &rt_.Cancel);
    if (facts_.error.isEmpty() && std::exchange(rt_.HideAtFirstPass, false))
        rt_.HidePoint = facts_.isFile ? facts_.size : 0;
    if (!facts_.error.isEmpty()) {
        // A source that could not be looked at (a connection that failed) is no missing file; a
        // look given up for a stop leaves the panes as they were.
        if (!rt_.Cancel.load())
            window_.SetInfoPane(QLatin1String("Exception : ") + facts_.error);
    } else if (!facts_.exists || facts_.isDir) {
        MissingFile();
    } else if (!TypeFile()) {
        // The first failed detection ends the tick at once and the next tick tries again; when
        // that fails too, the pass says why and ends as any pass, at the normal rate.
        if (!std::exchange(rt_.TypeFailed, true))
            return;
        window_.SetInfoPane(QLatin1String("Exception : ") + typeError_);
    } else {
        rt_.TypeFailed = false;
        try {
            ReadAndPublish(settings_);
        } catch (const PassCancelled&) {
            // A stop or a close: the view stays as it was; the pass ends as any pass does.
        } catch (const PassFailure& failure) {
            window_.SetInfoPane(QLatin1String("Exception : ") + failure.Message());
        } catch (const std::exception& failure) {
            window_.SetInfoPane(QLatin1String("Exception : ") + QString::fromLocal8Bit(failure.what()));
        }
    }
    // The time pane and the waiting text in one hand-over.
    window_.Batch([&] {
        EndOfPass();
        EndOfTick();
    });
}

DefinitionValues TailPass::ReadDefinition() const {
    const TBaseTailFile& def = *deps_.manager->GetCurrentDefinition();
    return DefinitionValues{def.GetNewlineOnly(), def.GetAutotimer(), def.GetRefreshRate()};
}

void TailPass::Progress(const QString& text) {
    window_.SetStatePane(text);
    if (!workerMode_)
        window_.ProcessPendingEvents();
}

bool TailPass::MeasureAtBottom() const {
    return window_.ViewState().AtBottom();
}

PassSettings TailPass::ReadSettings() const {
    PassSettings s;
    const qint64 product = qint64(window_.ReadBufferKo()) * 1024;
    s.windowSize = product > 0 ? product : kWholeFile;
    s.filterOn = window_.FilterOn();
    s.alertOn = window_.AlertOn();
    s.reverseDns = window_.ReverseDnsOn();
    s.killLine = window_.KillLine();
    const int context = window_.ContextLines();
    const int mode = deps_.params->filterBAmode;
    s.before = (mode == 1 || mode == 3) ? context : 0;
    s.after = (mode == 2 || mode == 3) ? context : 0;
    s.killSpace = window_.KillSpace();
    s.filterPattern = window_.FilterPattern();
    s.alertPattern = window_.AlertPattern();
    s.filterInverted = window_.FilterInverted();
    s.alertInverted = window_.AlertInverted();
    s.autoOffset = window_.AutoOffset();
    s.offset = window_.Offset();
    s.useTabs = window_.UseTabs();
    s.tabWidth = window_.TabWidth();
    return s;
}

void TailPass::ResolveFile() {
    rt_.PreviousFileName = rt_.CurrentFileName;
    rt_.CurrentFileName = deps_.manager->ResolveFileName(&rt_.Cancel);
    const QString& name = rt_.CurrentFileName;
    const QString title = deps_.params->removepathontaskbar
                              ? QLatin1String("Kv ") + SourceKindOf(name).ShortName(name)
                              : QLatin1String("Kovra ") + name;
    const QString hint =
        name.size() <= kMaxTrayHint ? name : QLatin1String("...") + name.right(kMaxTrayHint - 3);
    window_.Batch([&] {
        window_.SetFileLabel(name);
        window_.SetApplicationTitle(title);
        window_.SetTrayHint(hint);
        window_.SetStartMenuCaption(QLatin1String("Stop ") + name);
    });
}

void TailPass::MissingFile() {
    const QString& name = rt_.CurrentFileName;
    const QString when = ShortDateLongTimeText(deps_.clock->Now());
    rt_.TypeAgain = true; // a file that comes back is typed again
    rt_.TypeFailed = false;
    if (name.trimmed().isEmpty()) {
        AppendNotice(when + QLatin1String(" - No filename entered !"));
    } else {
        rt_.PreviousFileName.clear();
        AppendNotice(when + QLatin1String(" - File ") + name + QLatin1String(" not found now !"));
        ResetRefreshRate(rt_, def_.refreshRate);
    }
    window_.SetInfoPane(QString());
    if (rt_.ClearRequested.exchange(false))
        ClearViewText(window_);
}

void TailPass::AppendNotice(const QString& line) {
    AppendViewNotice(window_, line);
}

bool TailPass::TypeFile() {
    if (rt_.CurrentFileName == rt_.PreviousFileName && !rt_.TypeAgain)
        return true;
    const TypeProbe probe = ProbeFileType(rt_.CurrentFileName, &rt_.Cancel);
    if (!probe.opened) {
        rt_.TypeAgain = true;
        typeError_ = probe.error;
        return false;
    }
    rt_.FileType = probe.type;
    rt_.TypeAgain = probe.bytesRead < 3;
    typedNow_ = true;
    return true;
}

// The reads of one pass see the size the first one found: a window the auto offset moved back ends
// at the end of a kept line, never inside a line written since. A chain of reads that saw one state
// of the file is remembered, so the next pass on that state reads once.
void TailPass::ReadAndPublish(const PassSettings& settings) {
    const bool autoOffset = settings.autoOffset;
    const WindowRequest first = Request(settings, 0, -1);
    qint64 offset = autoOffset ? rt_.Window.ChainStart(first) : settings.offset;
    bool moved = false;
    qint64 sizeCap = -1;
    FileStamp firstStamp;
    bool oneState = true;
    sinceEvents_.start();
    for (;;) {
        ReadOnce(Request(settings, offset, sizeCap));
        if (sizeCap < 0) {
            firstStamp = rt_.Window.Stamp();
            sizeCap = read_.size;
        } else {
            oneState = oneState && rt_.Window.Stamp() == firstStamp;
        }
        if (!MoveBack(settings, offset))
            break;
        moved = true;
        if (!workerMode_)
            window_.ProcessPendingEvents();
    }
    if (autoOffset && oneState)
        rt_.Window.RememberChain(first, firstStamp, offset);
    // The box and the spin as they stand now, when the offset found may differ from the spin.
    if (autoOffset && (moved || offset != settings.offset) && window_.AutoOffset() &&
        offset != window_.Offset())
        window_.SetOffset(static_cast<int>(offset));
    Publish();
    ShowFileStatus();
    RunAlertStep(AlertFindings{settings.alertOn, alertPattern_, alertInverted_, changed_, alertLine_,
                               rt_.CurrentFileName},
                 rt_, AlertServices{window_, *deps_.params, *deps_.clock, rt_.Mailer, deps_.notifier});
}

WindowRequest TailPass::Request(const PassSettings& settings, qint64 offset, qint64 sizeCap) const {
    return WindowRequest{
        rt_.CurrentFileName,
        rt_.FileType,
        offset,
        settings.windowSize,
        rt_.HidePoint.load(),
        LineStageSettings{settings.killLine, settings.reverseDns, settings.filterOn, settings.alertOn,
                          settings.before, settings.after, deps_.params->showremlineinfo,
                          IsWideType(rt_.FileType), settings.filterPattern, settings.alertPattern,
                          settings.filterInverted, settings.alertInverted, settings.killSpace, &rt_.Cancel},
        typedNow_,
        sizeCap,
        settings.autoOffset && offset > 0,
        traits_.mayBlock};
}

// Timer mode: a long analysis (a big window, a costly filter) must not keep the window from
// answering; the line stage ends the pass at its next line once a stop taken here cancels it.
void TailPass::HandleEventsNowAndThen() {
    if (sinceEvents_.elapsed() < kTimerModeEventsMs)
        return;
    window_.ProcessPendingEvents();
    sinceEvents_.start();
}

// The end of a big window, shown while the whole window is read: only into an empty view (the
// first pass after a start), so what the view showed before the pass still decides whether the
// pass changed it.
void TailPass::PublishInterim(const ViewSnapshot& tail) {
    if (tail.IsEmpty() || rt_.MouseHeld.load())
        return;
    window_.Batch([&] {
        if (window_.ViewState().shown.IsEmpty())
            window_.PublishView(TailViewUpdate{tail, true, 0, {}});
    });
}

void TailPass::ReadOnce(const WindowRequest& request) {
    Progress(QLatin1String("Reading at ") + QString::number(request.offset));
    alertPattern_ = request.stage.alertPattern;
    alertInverted_ = request.stage.alertInverted;
    WindowServices io{rt_.Buffer,
                      rt_.FilterExpr,
                      rt_.AlertExpr,
                      deps_.resolver,
                      [this] { Progress(QStringLiteral("Analyzing")); },
                      [this](qint64 i, qint64 units) {
                          Progress(QLatin1String("Analyzing ") + QString::number(i * 100 / units) +
                                   QLatin1Char('%'));
                          sinceEvents_.start();
                      },
                      workerMode_ ? std::function<void()>() : [this] { HandleEventsNowAndThen(); },
                      [this](const ViewSnapshot& tail) { PublishInterim(tail); }};
    const WindowOutcome& outcome = rt_.Window.Read(request, io);
    ApplyTabs(settings_);
    read_ = WindowRead{outcome.size, outcome.start, outcome.n};
    hasRead_ = true;
    linesRead_ = outcome.linesRead;
    linesFiltered_ = outcome.linesFiltered;
    lastKeptLineEnd_ = outcome.lastKeptLineEnd;
    costlyLines_ = outcome.costly;
    if (outcome.hasAlert)
        alertLine_ = outcome.alertLine;
}

// The box is asked last: the loop ends when it is unchecked meanwhile, and a pass that would not
// step back does not ask.
bool TailPass::MoveBack(const PassSettings& settings, qint64& offset) {
    if (!settings.autoOffset)
        return false;
    if (lastKeptLineEnd_ > std::max<qint64>(0, settings.windowSize - kAutoOffsetTail))
        return false;
    if (!(read_.size >= settings.windowSize && read_.start != 0))
        return false;
    const qint64 next = offset + settings.windowSize - lastKeptLineEnd_;
    if (next >= kMaxOffset || read_.start <= rt_.HidePoint.load() || rt_.TailStatus.load() == tsStop ||
        rt_.Cancel.load())
        return false;
    if (!window_.AutoOffset())
        return false;
    offset = next;
    return true;
}

void TailPass::ApplyTabs(const PassSettings& settings) {
    if (settings.useTabs) {
        const int width = settings.tabWidth;
        if (width != rt_.AppliedTabWidth) {
            rt_.AppliedTabWidth = width;
            window_.ApplyTabStops(width);
        }
    } else if (rt_.AppliedTabWidth != 0) {
        rt_.AppliedTabWidth = 0;
        window_.ApplyDefaultTabStops();
    }
}

// The last occurrence of the selected text in the next snapshot. When the selection's own line is
// still there (the same stored line, found back from its number), the last occurrence is at or
// after it whenever one starts there or later, so only that part is searched first: a selection
// near the end of a big view costs the lines after it, not the view.
std::optional<ViewRange> FindAgain(const TailViewState& view, const ViewSnapshot& next) {
    const QString text = view.shown.TextBetween(view.selection, u"\r\n");
    const qint64 line = view.selection.from.line;
    if (line < view.shown.LineCount()) {
        const ViewLineKey key = view.shown.LineKey(line);
        const qint64 top = std::min(line, next.LineCount() - 1);
        for (qint64 j = top; j >= 0 && j > top - kMovedLinesLooked; --j) {
            if (next.LineKey(j) != key)
                continue;
            if (std::optional<ViewRange> later = next.FindLast(text, j))
                return later;
            break;
        }
    }
    return next.FindLast(text);
}

// The new text is compared with the snapshot the view shows (not one kept here): the window may
// have emptied the view by itself since the last pass.
void TailPass::Publish() {
    const TailViewState view = window_.ViewState();
    // A stop posted while the pass ran has been handled by the time that hand-over returns: the
    // view stays as it was, however little the pass had left to do.
    if (rt_.Cancel.load())
        throw PassCancelled();
    const bool atBottom = view.AtBottom();
    std::optional<TailViewUpdate> update;
    if (!rt_.MouseHeld.load()) {
        ViewSnapshot next = rt_.Window.Last().output;
        if (!next.SameText(view.shown)) {
            changed_ = true;
            rt_.LastChangeTime = deps_.clock->Now();
            update = TailViewUpdate{
                std::move(next), atBottom || deps_.params->alwaysscroll, view.firstVisibleLine, {}};
            // The selection is found again at the last occurrence of its text.
            if (!view.selection.IsEmpty())
                update->selection = FindAgain(view, update->snapshot);
        }
    }
    window_.Batch([&] {
        if (update) {
            Progress(QStringLiteral("Analyze > Memo"));
            window_.PublishView(*update);
        }
        window_.SetBottomIndicator(atBottom);
    });
}

void TailPass::ShowFileStatus() {
    try {
        const QString status =
            QLatin1String("Size=") + SizeText(read_.size, QLatin1Char('b')) + QLatin1String(", Age=") +
            ShortDateLongTimeText(ModifiedAt(rt_.Window.Stamp())) + QLatin1String(", Type=") +
            (traits_.typeLabel.isEmpty() ? FileTypeLabel(rt_.FileType) : traits_.typeLabel);
        // A source's notice comes first, where the narrow pane still shows it.
        QString infoText = (facts_.notice.isEmpty() ? QString() : facts_.notice + QLatin1String(" - ")) +
                           QLatin1String("Lines read= ") + QString::number(linesRead_) +
                           QLatin1String(" - Lines filtered= ") + QString::number(linesFiltered_);
        if (def_.newlineOnly)
            infoText += QLatin1String(" - [NEWLINES]");
        if (costlyLines_ > 0)
            infoText += QLatin1String(" - Pattern too costly: ") + QString::number(costlyLines_) +
                        QLatin1String(" lines taken as not matching");
        window_.SetFileStatus(status, infoText);
        if (!workerMode_)
            window_.ProcessPendingEvents();
    } catch (const std::exception&) {
        // A failure while writing the panes is ignored.
    }
}

void TailPass::EndOfPass() {
    const QDateTime now = deps_.clock->Now();
    const qint64 passMs = passStart_.msecsTo(now);
    window_.SetTimePane(PassDurationText(passMs));
    rt_.RefreshRate = AdaptedRefreshRate(rt_.RefreshRate.load(), def_.autotimer, def_.refreshRate, changed_,
                                         passMs, rt_.LastChangeTime.msecsTo(now));
    rt_.Countdown = rt_.RefreshRate.load();
}

void TailPass::EndOfTick() {
    // A request met on a tick without a read waits for the next pass: that pass knows where the
    // shown text ends, so the cleared lines do not come back. The bound is the end of the bytes
    // the view came from: the view's length in characters falls short of it whenever lines were
    // filtered, shortened or decoded from two bytes each, and those lines would come back.
    if (hasRead_ && rt_.ClearRequested.exchange(false)) {
        rt_.HidePoint = std::min(read_.start + read_.n, read_.size);
        ClearViewText(window_);
    }
    const QString waiting = WaitingText(def_.autotimer, rt_.Countdown.load(), workerMode_);
    window_.SetStatePane(waiting);
    if (!workerMode_)
        window_.ProcessPendingEvents();
}

} // namespace

void DomTail(TailRuntime& rt, const EngineDeps& deps, TailWindowPort& window, bool workerMode) {
    TailPass(rt, deps, window, workerMode).Run();
}
