#include "engine/incremental_window.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/pass_failure.h"
#include "engine/read_buffer.h"

// The output and counts of one stretch of the window, processed from a line start; positions in
// the records are file bytes, counts and output positions from the stretch's start.
struct WindowStretch {
    QString out;
    qint64 outLines = 0;
    qint64 linesRead = 0;
    qint64 linesFiltered = 0;
    qint64 costly = 0;
    qint64 lastKeptLineEnd = -1; // file bytes
    qint64 alertStart = -1;
    qint64 alertLength = 0;
    std::vector<PassedLine> records;
};

namespace {

// Passing lines are remembered about a 512th of the window apart, at most 8 KiB (and the last one
// always): a slid read redoes about that much of the window's front, and a 128 MiB window keeps
// 16 Ki records.
qint64 RecordSpacing(qint64 windowSize) {
    return std::clamp<qint64>(windowSize / 512, 1, 8192);
}
// Bytes before the old end compared with the file again before a slid read trusts the old bytes.
constexpr qint64 kEndCheckBytes = 64;

// Remembers passing lines and checkpoints about `spacing` bytes apart, and the last passing line.
class RecordSink final : public PassedLineSink {
public:
    RecordSink(const LineStage& stage, const QString& out, qint64 base, qint64 unitBytes, qint64 spacing,
               WindowStretch& into)
        : stage_(stage), out_(out), base_(base), unitBytes_(unitBytes), spacing_(spacing), into_(into) {}

    void Passed(qint64 start, qint64 end, qint64 next, char16_t endUnit) override {
        PassedLine line = Counts();
        line.lineStart = base_ + start * unitBytes_;
        line.lineEnd = base_ + end * unitBytes_;
        line.next = base_ + next * unitBytes_;
        line.endUnit = endUnit;
        if (Due(line.lineStart)) {
            into_.records.push_back(std::move(line));
            hasLatest_ = false;
        } else {
            latest_ = std::move(line);
            hasLatest_ = true;
        }
    }
    void LineStart(qint64 pos) override {
        const qint64 at = base_ + pos * unitBytes_;
        if (!stage_.CanSkipFailingLine() || !Due(at))
            return;
        Flush();
        PassedLine point = Counts();
        point.lineStart = point.next = at;
        point.lineEnd = -2;
        point.held = std::make_shared<const LineStage::HeldLines>(stage_.Held());
        into_.records.push_back(std::move(point));
    }
    void Flush() {
        if (std::exchange(hasLatest_, false))
            into_.records.push_back(latest_);
    }

private:
    bool Due(qint64 at) const {
        return into_.records.empty() || at - into_.records.back().lineStart >= spacing_;
    }
    PassedLine Counts() const {
        PassedLine line;
        line.outLines = stage_.OutputLines();
        line.outChars = out_.size();
        line.linesRead = stage_.LinesRead();
        line.linesFiltered = stage_.LinesFiltered();
        line.costly = stage_.CostlyLines();
        line.alertStart = stage_.AlertStart();
        line.alertLength = stage_.AlertLength();
        line.lastKeptLineEnd = stage_.LastKeptLineEnd() < 0 ? -1 : base_ + stage_.LastKeptLineEnd();
        return line;
    }

    const LineStage& stage_;
    const QString& out_;
    qint64 base_;
    qint64 unitBytes_;
    qint64 spacing_;
    WindowStretch& into_;
    PassedLine latest_;
    bool hasLatest_ = false;
};

// Processes bytes [base, base + bytes) of the file, held in data, as the window's split loop does
// from a line start; from: the record the stretch goes on from (null: the window's start).
// cutAtStart: the stretch's first line began before base.
void Process(char* data, qint64 bytes, qint64 base, const PassedLine* from, bool cutAtStart,
             const WindowRequest& request, WindowServices& io, const SplitProgress& progress,
             WindowStretch& into) {
    LineStage stage(request.stage, io.filter, io.alert, io.resolver);
    if (from && from->held)
        stage.ResumeHeld(*from->held);
    else if (from)
        stage.ResumeAfterPassingLine();
    else if (cutAtStart)
        stage.NextLineCutAtStart();
    const qint64 unitBytes = IsWideType(request.type) ? 2 : 1;
    RecordSink sink(stage, into.out, base, unitBytes, RecordSpacing(request.windowSize), into);
    SplitWindow(data, bytes, request.type, stage, into.out, progress, &sink);
    sink.Flush();
    into.outLines = stage.OutputLines();
    into.linesRead = stage.LinesRead();
    into.linesFiltered = stage.LinesFiltered();
    into.costly = stage.CostlyLines();
    into.lastKeptLineEnd = stage.LastKeptLineEnd() < 0 ? -1 : base + stage.LastKeptLineEnd();
    into.alertStart = stage.AlertStart();
    into.alertLength = stage.AlertLength();
}

// Reads [from, to) of the file into data; answers the bytes read.
qint64 ReadRange(FollowedFile& file, qint64 from, qint64 to, char* data) {
    if (to <= from)
        return 0;
    const qint64 got = file.ReadAt(from, data, to - from);
    if (got < 0)
        throw PassFailure(file.ErrorString());
    return got;
}

bool SameStage(const LineStageSettings& a, const LineStageSettings& b) {
    return a.killLine == b.killLine && a.reverseDns == b.reverseDns && a.filterOn == b.filterOn &&
           a.alertOn == b.alertOn && a.beforeCount == b.beforeCount && a.afterCount == b.afterCount &&
           a.showRemLineInfo == b.showRemLineInfo && a.wide == b.wide && a.filterPattern == b.filterPattern &&
           a.alertPattern == b.alertPattern && a.filterInverted == b.filterInverted &&
           a.alertInverted == b.alertInverted && a.killSpace == b.killSpace;
}

// The line end at `line` is a lone CR or LF that the unit after it would have joined.
bool PairsWith(const PassedLine& line, qint64 unitBytes, char16_t nextUnit) {
    if (line.held || line.next != line.lineEnd + unitBytes)
        return false; // already a pair
    return nextUnit == (line.endUnit == u'\n' ? u'\r' : u'\n');
}

char16_t UnitAt(const char* p, TFileType type) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    if (type == TFileType::UNI)
        return char16_t(b[0] | (b[1] << 8));
    if (type == TFileType::UNIBIG)
        return char16_t((b[0] << 8) | b[1]);
    return char16_t(b[0]);
}

// Whether a window starting at `start` begins inside a line: the unit before it ends none.
bool StartsInsideLine(FollowedFile& file, qint64 start, TFileType type) {
    const qint64 unitBytes = IsWideType(type) ? 2 : 1;
    char before[2] = {};
    if (start < unitBytes || file.ReadAt(start - unitBytes, before, unitBytes) != unitBytes)
        return start > 0;
    const char16_t unit = UnitAt(before, type);
    return unit != u'\n' && unit != u'\r';
}

// The last line of text (lines each followed by CR LF, not empty), its CR LF included.
QStringView LastLine(QStringView text) {
    const qsizetype at = text.size() > 2 ? text.lastIndexOf(u"\r\n", text.size() - 3) : -1;
    return text.sliced(at < 0 ? 0 : at + 2);
}

QStringView FirstLine(QStringView text) {
    return text.first(text.indexOf(u"\r\n") + 2);
}

// The change from the last output to the new one: its lines up to the first kept passing line give
// way to the new front, those after the last kept record to the new end; lines that both have at
// those edges stay where they are.
OutputDelta EdgeDelta(QStringView oldOut, qint64 oldLines, const PassedLine& oldFirst,
                      const PassedLine& oldLast, const WindowStretch& front, const WindowStretch& back) {
    OutputDelta d;
    d.replaceAll = false;
    QStringView oldFront = oldOut.first(oldFirst.outChars), newFront = front.out;
    for (d.dropFront = oldFirst.outLines, d.frontLines = front.outLines; d.dropFront > 0 && d.frontLines > 0;
         --d.dropFront, --d.frontLines) {
        const QStringView line = LastLine(newFront);
        if (LastLine(oldFront) != line)
            break;
        oldFront.chop(line.size());
        newFront.chop(line.size());
    }
    d.front = newFront.toString();
    QStringView oldBack = oldOut.sliced(oldLast.outChars), newBack = back.out;
    for (d.dropBack = oldLines - oldLast.outLines, d.backLines = back.outLines;
         d.dropBack > 0 && d.backLines > 0; --d.dropBack, --d.backLines) {
        const QStringView line = FirstLine(newBack);
        if (FirstLine(oldBack) != line)
            break;
        oldBack = oldBack.sliced(line.size());
        newBack = newBack.sliced(line.size());
    }
    d.back = newBack.toString();
    return d;
}

// The new output: the front, the last output's [from, to), the end. Written in place when nothing
// else holds the last output: one move of the kept part, no new block to fault in.
QString Joined(QString last, qsizetype from, qsizetype to, const QString& front, const QString& back) {
    if (!last.isDetached()) {
        QString out;
        out.reserve(front.size() + (to - from) + back.size());
        return out.append(front).append(QStringView(last).sliced(from, to - from)).append(back);
    }
    last.truncate(to);
    last.replace(0, from, front);
    return last.append(back);
}

} // namespace

bool IncrementalWindow::SameRequest(const WindowRequest& request) const {
    return request.fileName == last_.fileName && request.type == last_.type &&
           request.offset == last_.offset && request.windowSize == last_.windowSize &&
           request.hidePoint == last_.hidePoint && SameStage(request.stage, last_.stage);
}

const WindowOutcome& IncrementalWindow::Read(const WindowRequest& request, WindowServices& io) {
    // Annotations follow the resolver's cache, which changes without the file: never reused.
    const bool reusable = std::exchange(valid_, false) && enabled_ && !request.retyped &&
                          !request.stage.reverseDns && SameRequest(request);
    FollowedFile file;
    if (!file.Open(request.fileName, request.stage.cancel))
        throw PassFailure(file.ErrorString());
    const FileStamp& stamp = file.Stamp();
    const bool wide = IsWideType(request.type);
    const qint64 start = WindowStart(stamp.size, request.offset, request.windowSize, request.hidePoint, wide);
    if (reusable && stamp == stamp_) {
        outcome_.kind = WindowReadKind::Unchanged;
        outcome_.delta = OutputDelta{false, 0, {}, 0, 0, {}, 0};
        valid_ = true;
        ++counts_[static_cast<size_t>(outcome_.kind)];
        return outcome_;
    }
    const bool grew =
        reusable && stamp.SameFile(stamp_) && stamp.size > stamp_.size && start >= outcome_.start;
    last_ = request;
    if (!(grew && TrySlide(file, start, io)))
        ReadFull(file, start, io);
    stamp_ = stamp;
    valid_ = true;
    ++counts_[static_cast<size_t>(outcome_.kind)];
    return outcome_;
}

void IncrementalWindow::ReadFull(FollowedFile& file, qint64 start, WindowServices& io) {
    const qint64 size = file.Size();
    const qint64 need = std::min(size, last_.windowSize);
    char* data = io.buffer.Ensure(need);
    qint64 n = 0;
    if (data && start < size)
        n = ReadRange(file, start, start + need, data);
    const qint64 unitEnd = IsWideType(last_.type) ? n & ~qint64(1) : n;
    end_ = start + unitEnd;
    endBytes_ = data ? QByteArray(data + std::max<qint64>(0, unitEnd - kEndCheckBytes),
                                  std::min(unitEnd, kEndCheckBytes))
                     : QByteArray();
    if (io.analyzing)
        io.analyzing();
    WindowStretch all;
    // Written into the last output's memory when nothing else holds it (already mapped pages).
    all.out = std::move(outcome_.out);
    if (!all.out.isDetached())
        all.out = QString();
    all.out.resize(0);
    records_.clear();
    outcome_ = WindowOutcome();
    if (n > 0)
        Process(data, n, start, nullptr, StartsInsideLine(file, start, last_.type), last_, io, io.progress,
                all);
    outcome_.kind = WindowReadKind::Full;
    outcome_.size = size;
    outcome_.start = start;
    outcome_.n = n;
    outcome_.outLines = all.outLines;
    outcome_.linesRead = all.linesRead;
    outcome_.linesFiltered = all.linesFiltered;
    outcome_.costly = all.costly;
    outcome_.lastKeptLineEnd = all.lastKeptLineEnd < 0 ? -1 : all.lastKeptLineEnd - start;
    outcome_.hasAlert = all.alertStart >= 0;
    if (outcome_.hasAlert)
        outcome_.alertLine = all.out.mid(all.alertStart, all.alertLength);
    records_.assign(all.records.begin(), all.records.end());
    outcome_.out = std::move(all.out);
    outcome_.delta = OutputDelta();
}

bool IncrementalWindow::TrySlide(FollowedFile& file, qint64 start, WindowServices& io) {
    const WindowRequest& request = last_;
    const qint64 unitBytes = IsWideType(request.type) ? 2 : 1;
    const qint64 size = file.Size();
    const qint64 newEnd = start + std::min(size, request.windowSize);
    if (newEnd < end_)
        return false;
    // A window that kept its start keeps its front; one that moved redoes it up to the first
    // passing line it shares with the last read.
    PassedLine origin;
    origin.lineStart = origin.next = start;
    origin.lineEnd = -2;
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
    const qint64 checkFrom = end_ - endBytes_.size();
    const qint64 tailFrom = std::min(oldLast.next, checkFrom);
    if (oldFirst.next > tailFrom)
        return false; // front and end overlap: little would be kept

    const qint64 frontBytes = oldFirst.next - start;
    char* data = io.buffer.Ensure(frontBytes + (newEnd - tailFrom));
    if (!data)
        return false;
    char* tail = data + frontBytes;
    const qint64 gotTail = ReadRange(file, tailFrom, newEnd, tail);
    const qint64 rawEnd = tailFrom + gotTail;
    const qint64 unitEnd = tailFrom + (gotTail & ~(unitBytes - 1));
    if (unitEnd < end_ || QByteArrayView(tail + (checkFrom - tailFrom), endBytes_.size()) != endBytes_)
        return false; // shorter or rewritten: not an append
    if (oldLast.next == end_ && unitEnd > end_ &&
        PairsWith(oldLast, unitBytes, UnitAt(tail + (end_ - tailFrom), request.type)))
        return false; // the last line's end joins the first new unit
    if (ReadRange(file, start, oldFirst.next, data) != frontBytes)
        return false;
    const qint64 keepFrom = std::max(unitEnd - kEndCheckBytes, tailFrom);
    QByteArray endBytes(tail + (keepFrom - tailFrom), unitEnd - keepFrom);
    if (io.analyzing)
        io.analyzing();

    WindowStretch front;
    if (!sameStart) {
        Process(data, frontBytes, start, nullptr, StartsInsideLine(file, start, request.type), request, io,
                SplitProgress(), front);
        if (front.records.empty() || front.records.back().held || front.records.back().next != oldFirst.next)
            return false; // the front does not end on the same passing line
    }
    WindowStretch back;
    Process(tail + (oldLast.next - tailFrom), unitEnd - oldLast.next, oldLast.next,
            records_.empty() ? nullptr : &oldLast, false, request, io, io.progress, back);
    const qsizetype dropped = sameStart ? 0 : (first - records_.begin()) + 1;
    Splice(SliceEnds{start, size, rawEnd, oldFirst, oldLast, dropped}, front, back);
    end_ = unitEnd;
    endBytes_ = std::move(endBytes);
    return true;
}

void IncrementalWindow::Splice(const SliceEnds& ends, WindowStretch& front, WindowStretch& back) {
    const PassedLine& oldFirst = ends.oldFirst;
    const PassedLine& oldLast = ends.oldLast;
    const qint64 start = ends.start;
    const qint64 middleChars = oldLast.outChars - oldFirst.outChars;
    const qint64 middleLines = oldLast.outLines - oldFirst.outLines;
    OutputDelta delta = EdgeDelta(outcome_.out, outcome_.outLines, oldFirst, oldLast, front, back);
    QString out = Joined(std::move(outcome_.out), oldFirst.outChars, oldLast.outChars, front.out, back.out);

    // The middle's counts move by what the front now holds before them.
    PassedLine shift;
    shift.outLines = front.outLines - oldFirst.outLines;
    shift.outChars = front.out.size() - oldFirst.outChars;
    shift.linesRead = front.linesRead - oldFirst.linesRead;
    shift.linesFiltered = front.linesFiltered - oldFirst.linesFiltered;
    shift.costly = front.costly - oldFirst.costly;
    const auto moveAlert = [&](PassedLine& r) {
        if (r.alertStart >= oldFirst.outChars) {
            r.alertStart += shift.outChars;
        } else {
            r.alertStart = front.alertStart;
            r.alertLength = front.alertLength;
        }
    };
    records_.erase(records_.begin(), records_.begin() + ends.dropped);
    for (PassedLine& r : records_) {
        r.outLines += shift.outLines;
        r.outChars += shift.outChars;
        r.linesRead += shift.linesRead;
        r.linesFiltered += shift.linesFiltered;
        r.costly += shift.costly;
        moveAlert(r);
    }
    records_.insert(records_.begin(), front.records.begin(), front.records.end());

    PassedLine beforeBack = oldLast;
    beforeBack.outLines = front.outLines + middleLines;
    beforeBack.outChars = front.out.size() + middleChars;
    beforeBack.linesRead = front.linesRead + oldLast.linesRead - oldFirst.linesRead;
    beforeBack.linesFiltered = front.linesFiltered + oldLast.linesFiltered - oldFirst.linesFiltered;
    beforeBack.costly = front.costly + oldLast.costly - oldFirst.costly;
    moveAlert(beforeBack);
    for (PassedLine& r : back.records) {
        r.outLines += beforeBack.outLines;
        r.outChars += beforeBack.outChars;
        r.linesRead += beforeBack.linesRead;
        r.linesFiltered += beforeBack.linesFiltered;
        r.costly += beforeBack.costly;
        if (r.lastKeptLineEnd < 0)
            r.lastKeptLineEnd = beforeBack.lastKeptLineEnd;
        if (r.alertStart >= 0) {
            r.alertStart += beforeBack.outChars;
        } else {
            r.alertStart = beforeBack.alertStart;
            r.alertLength = beforeBack.alertLength;
        }
    }
    records_.insert(records_.end(), back.records.begin(), back.records.end());

    outcome_.kind = WindowReadKind::Slid;
    outcome_.size = ends.size;
    outcome_.start = start;
    outcome_.n = ends.rawEnd - start;
    outcome_.outLines = beforeBack.outLines + back.outLines;
    outcome_.linesRead = beforeBack.linesRead + back.linesRead;
    outcome_.linesFiltered = beforeBack.linesFiltered + back.linesFiltered;
    outcome_.costly = beforeBack.costly + back.costly;
    const qint64 lastKept = back.lastKeptLineEnd >= 0 ? back.lastKeptLineEnd : beforeBack.lastKeptLineEnd;
    outcome_.lastKeptLineEnd = lastKept < 0 ? -1 : lastKept - start;
    const qint64 alertStart =
        back.alertStart >= 0 ? beforeBack.outChars + back.alertStart : beforeBack.alertStart;
    const qint64 alertLength = back.alertStart >= 0 ? back.alertLength : beforeBack.alertLength;
    outcome_.hasAlert = alertStart >= 0;
    outcome_.alertLine = outcome_.hasAlert ? out.mid(alertStart, alertLength) : QString();
    outcome_.out = std::move(out);
    outcome_.delta = std::move(delta);
}
