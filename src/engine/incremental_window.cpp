#include "engine/incremental_window.h"

#include <algorithm>
#include <utility>

#include <QDateTime>

#include "engine/line_source.h"
#include "engine/pass_failure.h"
#include "engine/read_buffer.h"
#include "engine/view_snapshot.h"
#include "engine/window_stretch.h"

namespace {

constexpr qint64 kBlock = LineSource::kBlockBytes;
// R. DNS answers remembered for one window; past that a read is a full one, which starts afresh.
constexpr qsizetype kMaxAnswers = 65536;
// A write this close to a read may share its modification time (file systems keep it to a tick).
constexpr qint64 kRecentNs = 50'000'000;

bool Recent(const FileStamp& stamp) {
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000 - stamp.modifiedNs < kRecentNs;
}

bool SameStage(const LineStageSettings& a, const LineStageSettings& b) {
    return a.killLine == b.killLine && a.reverseDns == b.reverseDns && a.filterOn == b.filterOn &&
           a.alertOn == b.alertOn && a.beforeCount == b.beforeCount && a.afterCount == b.afterCount &&
           a.showRemLineInfo == b.showRemLineInfo && a.wide == b.wide && a.filterPattern == b.filterPattern &&
           a.alertPattern == b.alertPattern && a.filterInverted == b.filterInverted &&
           a.alertInverted == b.alertInverted && a.killSpace == b.killSpace;
}

bool SameWindow(const WindowRequest& a, const WindowRequest& b) {
    return a.fileName == b.fileName && a.type == b.type && a.offset == b.offset &&
           a.windowSize == b.windowSize && a.hidePoint == b.hidePoint && a.storeText == b.storeText &&
           a.autoEnd == b.autoEnd && SameStage(a.stage, b.stage);
}

void AppendKept(ViewSnapshotBuilder& builder, const std::vector<OutLine>& lines,
                const std::shared_ptr<LineSource>& source, LineShape shape, bool storeText) {
    for (const OutLine& line : lines)
        AppendOutLine(builder, source, shape, line, storeText);
}

// How many of lines' last lines are the shown snapshot's lines just before `before`, text for
// text: those stay the shown ones (with what the view put on them, bookmarks).
size_t ShownTail(const ViewSnapshot& shown, qint64 before, const std::vector<OutLine>& lines,
                 const std::shared_ptr<LineSource>& source, LineShape shape) {
    QByteArray scratch;
    QByteArrayView bytes;
    size_t same = 0;
    while (same < lines.size() && qint64(same) < before) {
        const OutLine& line = lines[lines.size() - 1 - same];
        if (!line.stored && !source->Bytes(line.start, line.length, scratch, bytes))
            break;
        if (shown.Line(before - 1 - qint64(same)) != (line.stored ? line.text : LineText(bytes, shape)))
            break;
        ++same;
    }
    return same;
}

// Records of a stretch with its counts moved onto the reads' origin (base: the counts where it
// started); a record with no kept line or alert of its own takes what came before the stretch.
void Rebase(std::vector<PassedLine>& records, const LineCounts& base, qint64 lastKeptBefore,
            qint64 alertBefore, const QString& alertTextBefore) {
    for (PassedLine& r : records) {
        r.counts = base + r.counts;
        if (r.lastKeptLineEnd < 0)
            r.lastKeptLineEnd = lastKeptBefore;
        if (r.alertLine > 0) {
            r.alertLine += base.outLines;
        } else {
            r.alertLine = alertBefore;
            r.alertText = alertTextBefore;
        }
    }
}

} // namespace

IncrementalWindow::~IncrementalWindow() = default;

bool IncrementalWindow::SameRequest(const WindowRequest& request) const {
    return SameWindow(request, last_);
}

// Annotations follow the resolver's cache, which changes without the file: the lines annotated so
// far are only as a full read would make them while every address still gets its answer.
// A resolver whose generation did not move since spares the asking.
bool IncrementalWindow::AnswersHold(AddressResolver* resolver) const {
    if (answers_.size() > kMaxAnswers)
        return false;
    if (!resolver || resolver->Generation() == generation_)
        return true;
    for (auto it = answers_.begin(); it != answers_.end(); ++it) {
        if ((resolver ? resolver->GetNameByIP(it.key()) : it.key()) != it.value())
            return false;
    }
    return true;
}

qint64 IncrementalWindow::Spacing(qint64 span) const {
    // Passing lines are remembered about a 512th of the window apart, at most 8 KiB, or a
    // 16384th of it for the biggest windows: a slid read redoes about that much of the window's
    // front, and any window keeps at most some 16 Ki records.
    return std::clamp<qint64>(span / 512, 1, std::max<qint64>(8192, span / 16384));
}

const WindowOutcome& IncrementalWindow::Read(const WindowRequest& request, WindowServices& io) {
    bool reusable = std::exchange(valid_, false) && enabled_ && !request.retyped && SameRequest(request) &&
                    source_ && !source_->Changed();
    auto file = std::make_unique<FollowedFile>();
    if (!file->Open(request.fileName, request.stage.cancel))
        throw PassFailure(file->ErrorString());
    FileStamp stamp = file->Stamp();
    if (request.sizeCap >= 0)
        stamp.size = std::min(stamp.size, request.sizeCap);
    if (reusable && request.stage.reverseDns)
        reusable = AnswersHold(io.resolver);
    const quint64 generation = io.resolver ? io.resolver->Generation() : 0; // before the lines ask
    const bool wide = IsWideType(request.type);
    const qint64 start = WindowStart(stamp.size, request.offset, request.windowSize, request.hidePoint, wide);
    if (reusable && stamp == stamp_ && (!recent_ || VerifyRecentRead()) && VerifyAfterSlide()) {
        outcome_.kind = WindowReadKind::Unchanged;
        generation_ = generation;
        valid_ = true;
        ++counts_[static_cast<size_t>(outcome_.kind)];
        return outcome_;
    }
    const bool grew =
        reusable && stamp.SameFile(stamp_) && stamp.size > stamp_.size && start >= outcome_.start;
    last_ = request;
    bool slid = false;
    if (grew) {
        // The kept part is verified, and the end read, as the name holds the file now: a source
        // without file identities (SFTP) may have been rotated under a handle still open.
        source_->UseFile(std::move(file));
        slid = TrySlide(start, stamp.size, io);
        if (!slid) {
            file = std::make_unique<FollowedFile>();
            if (!file->Open(request.fileName, request.stage.cancel))
                throw PassFailure(file->ErrorString());
        }
    }
    if (!slid)
        ReadFull(std::move(file), stamp, start, io);
    generation_ = generation;
    recent_ = Recent(stamp);
    recentDone_ = 0;
    afterSlide_ = outcome_.kind == WindowReadKind::Slid ? WindowBlocks() : 0;
    stamp_ = stamp;
    valid_ = true;
    ++counts_[static_cast<size_t>(outcome_.kind)];
    return outcome_;
}

void IncrementalWindow::ReadFull(std::unique_ptr<FollowedFile> file, const FileStamp& stamp, qint64 start,
                                 WindowServices& io) {
    const qint64 size = stamp.size;
    source_ = std::make_shared<LineSource>(std::move(file));
    const qint64 to = std::max(start, WindowEnd(size, last_.offset, last_.windowSize, last_.hidePoint));
    if (io.analyzing)
        io.analyzing();
    records_.clear();
    answers_.clear();
    verifyNext_ = 0;
    outcome_ = WindowOutcome();
    RecordingResolver resolver(io.resolver, answers_);
    if (io.interim && to - start > kInterimBytes) {
        const StretchServices quiet{source_, io.buffer, io.filter, io.alert, &resolver, nullptr, &io.yield};
        const qint64 from = (to - kInterimTail) & ~qint64(1);
        ViewSnapshotBuilder tail;
        ProcessStretch(from, to, nullptr,
                       StretchSettings{last_.type, last_.stage, kInterimTail, last_.autoEnd && to < size,
                                       last_.storeText},
                       quiet, &tail);
        io.interim(tail.Build());
    }
    const StretchServices services{source_,   io.buffer,    io.filter, io.alert,
                                   &resolver, &io.progress, &io.yield};
    ViewSnapshotBuilder builder;
    WindowStretch all = ProcessStretch(start, to, nullptr,
                                       StretchSettings{last_.type, last_.stage, Spacing(to - start),
                                                       last_.autoEnd && to < size, last_.storeText},
                                       services, &builder);
    if (!all.verified) // a new source has no marks to fail
        throw PassFailure(QStringLiteral("The file changed while it was read"));
    const qint64 n = all.end - start;
    end_ = start + (IsWideType(last_.type) ? n & ~qint64(1) : n);
    Rebase(all.records, {}, -1, kNoAlert, {});
    records_.assign(all.records.begin(), all.records.end());
    origin_ = {};
    outcome_.kind = WindowReadKind::Full;
    outcome_.size = size;
    outcome_.start = start;
    outcome_.n = n;
    outcome_.output = builder.Build();
    outcome_.outLines = all.counts.outLines;
    outcome_.linesRead = all.counts.linesRead;
    outcome_.linesFiltered = all.counts.linesFiltered;
    outcome_.costly = all.counts.costly;
    outcome_.lastKeptLineEnd = all.lastKeptLineEnd < 0 ? -1 : all.lastKeptLineEnd - start;
    outcome_.hasAlert = all.alertLine > 0;
    outcome_.alertLine = outcome_.hasAlert ? all.alertText : QString();
}

// The last line's end is a lone CR or LF at the old end that the first new unit would have joined.
bool IncrementalWindow::EndPairs(const PassedLine& last, qint64 unitBytes) const {
    if (last.held || last.next != end_ || last.next != last.lineEnd + unitBytes)
        return false;
    char unit[2] = {};
    if (source_->ReadRaw(end_, unit, unitBytes) != unitBytes)
        return false;
    return UnitAt(unit, last_.type) == (last.endUnit == u'\n' ? u'\r' : u'\n');
}

// Reads a few blocks of the kept part [from, to) again, in turn (and the window's first block when
// the window kept its start: no front is read then).
bool IncrementalWindow::VerifyKept(qint64 start, qint64 from, qint64 to, bool sameStart) {
    if (sameStart && !source_->Verify(start / kBlock))
        return false;
    if (to <= from)
        return true;
    const qint64 first = from / kBlock, count = (to - 1) / kBlock - first + 1;
    for (qint64 k = 0; k < std::min<qint64>(count, kVerifiedBlocks); ++k) {
        if (!source_->Verify(first + (verifyNext_ + k) % count))
            return false;
    }
    verifyNext_ = (verifyNext_ + kVerifiedBlocks) % count;
    return true;
}

bool IncrementalWindow::VerifyRecentRead() {
    if (end_ <= outcome_.start) {
        recent_ = false;
        return true;
    }
    const qint64 last = (end_ - 1) / kBlock, count = last - outcome_.start / kBlock + 1;
    for (int k = 0; k < kVerifiedBlocks && recentDone_ < count; ++k, ++recentDone_) {
        if (!source_->Verify(last - recentDone_))
            return false;
    }
    recent_ = recentDone_ < count;
    return true;
}

qint64 IncrementalWindow::WindowBlocks() const {
    return end_ > outcome_.start ? (end_ - 1) / kBlock - outcome_.start / kBlock + 1 : 0;
}

// After a slid read the passes on the unchanged file go on reading the window's blocks again, a
// few a pass, until each was once: a line rewritten in place before an append is found even when
// nothing is written after it.
bool IncrementalWindow::VerifyAfterSlide() {
    const qint64 count = WindowBlocks();
    if (afterSlide_ <= 0 || count == 0)
        return true;
    const qint64 first = outcome_.start / kBlock;
    for (int k = 0; k < kVerifiedBlocks && afterSlide_ > 0; ++k, --afterSlide_) {
        if (!source_->Verify(first + afterSlideNext_++ % count))
            return false;
    }
    return true;
}

bool IncrementalWindow::TrySlide(qint64 start, qint64 size, WindowServices& io) {
    const qint64 unitBytes = IsWideType(last_.type) ? 2 : 1;
    const qint64 newEnd = std::max(start, WindowEnd(size, last_.offset, last_.windowSize, last_.hidePoint));
    if (start >= size && start == outcome_.start && outcome_.n == 0) {
        outcome_.kind = WindowReadKind::Slid; // still nothing past the hide point: nothing to read
        outcome_.size = size;
        return true;
    }
    if (newEnd < end_)
        return false;
    // A window that kept its start keeps its front; one that moved redoes it up to the first
    // passing line it shares with the last read.
    PassedLine origin;
    origin.lineStart = origin.next = start;
    origin.lineEnd = -2;
    origin.counts = origin_;
    const bool sameStart = start == outcome_.start;
    auto first = sameStart
                     ? records_.begin()
                     : std::lower_bound(records_.begin(), records_.end(), start,
                                        [](const PassedLine& r, qint64 at) { return r.lineStart < at; });
    while (!sameStart && first != records_.end() && first->held)
        ++first; // the front must end on a passing line: only there the stage forgot what came before
    if (!sameStart && first == records_.end())
        return false;
    const PassedLine oldFirst = sameStart ? origin : *first;
    const PassedLine oldLast = records_.empty() ? origin : records_.back();
    if (oldFirst.next > oldLast.next || EndPairs(oldLast, unitBytes) ||
        !VerifyKept(start, oldFirst.next, oldLast.next, sameStart))
        return false;
    if (io.analyzing)
        io.analyzing();
    RecordingResolver resolver(io.resolver, answers_);
    const StretchServices services{source_, io.buffer, io.filter, io.alert, &resolver, nullptr, &io.yield};
    const StretchSettings settings{last_.type, last_.stage, Spacing(newEnd - start), false, last_.storeText};
    WindowStretch front;
    if (!sameStart) {
        front = ProcessStretch(start, oldFirst.next, nullptr, settings, services, nullptr);
        if (!front.verified || front.records.empty() || front.records.back().held ||
            front.records.back().next != oldFirst.next)
            return false; // the front does not end on the same passing line
    }
    // The end's progress only when it is big enough to be watched.
    const bool watched = newEnd - oldLast.next >= kProgressBytes;
    const StretchServices backServices{
        source_, io.buffer, io.filter, io.alert, &resolver, watched ? &io.progress : nullptr, &io.yield};
    StretchSettings backSettings = settings;
    backSettings.endCutsLine = last_.autoEnd && newEnd < size;
    WindowStretch back = ProcessStretch(oldLast.next, newEnd, records_.empty() ? nullptr : &oldLast,
                                        backSettings, backServices, nullptr);
    const qint64 unitEnd = oldLast.next + ((back.end - oldLast.next) & ~(unitBytes - 1));
    if (!back.verified || unitEnd < end_)
        return false; // rewritten, or shorter than at the last read: not an append
    const qsizetype dropped = sameStart ? 0 : (first - records_.begin()) + 1;
    Splice(SliceEnds{start, size, oldFirst, oldLast, dropped, sameStart}, front, back);
    end_ = unitEnd;
    return true;
}

void IncrementalWindow::Splice(const SliceEnds& ends, WindowStretch& front, WindowStretch& back) {
    const PassedLine& oldFirst = ends.oldFirst;
    const PassedLine& oldLast = ends.oldLast;
    const LineShape shape = LineShape::Of(last_.type, last_.stage.killSpace);
    // The front's counts end where the first kept record's do: the origin moves, the records stay.
    const LineCounts origin = ends.sameStart ? origin_ : oldFirst.counts - front.counts;

    // The front is redone up to and with the first kept line; the lines it ends with that the view
    // already shows keep being those.
    const qint64 keptFrom = oldFirst.counts.outLines - origin_.outLines;
    const size_t shownTail = ShownTail(outcome_.output, keptFrom, front.lines, source_, shape);
    front.lines.resize(front.lines.size() - shownTail);
    ViewSnapshotBuilder builder;
    AppendKept(builder, front.lines, source_, shape, last_.storeText);
    builder.AppendLines(outcome_.output, keptFrom - qint64(shownTail),
                        oldLast.counts.outLines - origin_.outLines);
    AppendKept(builder, back.lines, source_, shape, last_.storeText);

    // What the window holds up to the end of the kept part: the middle's kept line and alert, or
    // else the front's.
    const qint64 frontKept = front.lastKeptLineEnd;
    const qint64 keptBefore = oldLast.lastKeptLineEnd >= ends.start ? oldLast.lastKeptLineEnd : frontKept;
    const bool middleAlert = oldLast.alertLine != kNoAlert && oldLast.alertLine > oldFirst.counts.outLines;
    const qint64 alertBefore = middleAlert           ? oldLast.alertLine
                               : front.alertLine > 0 ? origin.outLines + front.alertLine
                                                     : kNoAlert;
    const QString alertTextBefore = middleAlert ? oldLast.alertText : front.alertText;

    Rebase(front.records, origin, -1, kNoAlert, {});
    Rebase(back.records, oldLast.counts, keptBefore, alertBefore, alertTextBefore);
    records_.erase(records_.begin(), records_.begin() + ends.dropped);
    records_.insert(records_.begin(), front.records.begin(), front.records.end());
    records_.insert(records_.end(), back.records.begin(), back.records.end());

    const LineCounts totals = oldLast.counts + back.counts - origin;
    origin_ = origin;
    outcome_.kind = WindowReadKind::Slid;
    outcome_.size = ends.size;
    outcome_.start = ends.start;
    outcome_.n = back.end - ends.start;
    outcome_.output = builder.Build();
    outcome_.outLines = totals.outLines;
    outcome_.linesRead = totals.linesRead;
    outcome_.linesFiltered = totals.linesFiltered;
    outcome_.costly = totals.costly;
    const qint64 lastKept = back.lastKeptLineEnd >= 0 ? back.lastKeptLineEnd : keptBefore;
    outcome_.lastKeptLineEnd = lastKept < 0 ? -1 : lastKept - ends.start;
    outcome_.hasAlert = back.alertLine > 0 || alertBefore != kNoAlert;
    outcome_.alertLine = back.alertLine > 0  ? back.alertText
                         : outcome_.hasAlert ? alertTextBefore
                                             : QString();
}

void IncrementalWindow::RememberChain(const WindowRequest& first, const FileStamp& stamp, qint64 endOffset) {
    chain_ = Chain{true, first, stamp, endOffset};
}

qint64 IncrementalWindow::ChainStart(const WindowRequest& first) const {
    if (!chain_.valid || !valid_ || !SameWindow(first, chain_.first) || !enabled_ || first.retyped)
        return 0;
    FollowedFile file;
    if (!file.Open(first.fileName, first.stage.cancel))
        return 0;
    FileStamp stamp = file.Stamp();
    if (first.sizeCap >= 0)
        stamp.size = std::min(stamp.size, first.sizeCap);
    return stamp == chain_.stamp ? chain_.endOffset : 0;
}
