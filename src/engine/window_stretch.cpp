#include "engine/window_stretch.h"

#include <optional>
#include <utility>

#include "engine/line_source.h"
#include "engine/line_text.h"
#include "engine/view_snapshot.h"

namespace {

// Remembers passing lines and checkpoints about `spacing` bytes apart, and the last passing line.
// The last passing line is kept as plain values until it is known to be needed (every line
// passes with the filter off: a record a line would cost more than the line).
class RecordSink final : public PassedLineSink {
public:
    RecordSink(const LineStage& stage, qint64 spacing, std::vector<PassedLine>& into)
        : stage_(stage), spacing_(spacing), into_(into) {}

    void Passed(qint64 start, qint64 end, qint64 next, char16_t endUnit) override {
        const Latest line{
            start, end, next, endUnit, CountsNow(), stage_.LastKeptLineEnd(), stage_.AlertLine()};
        if (Due(start)) {
            into_.push_back(Record(line));
            hasLatest_ = false;
            return;
        }
        latest_ = line;
        hasLatest_ = true;
        if (line.alertLine != latestAlertLine_) {
            latestAlertLine_ = line.alertLine;
            latestAlertText_ = stage_.AlertText();
        }
    }
    // Where nothing is held back the last passing line serves as well (lines after it are redone).
    void LineStart(qint64 at) override {
        if (!stage_.CanSkipFailingLine() || !stage_.HoldsLines() || !Due(at))
            return;
        Flush();
        PassedLine point = Record({at, -2, at, 0, CountsNow(), stage_.LastKeptLineEnd(), stage_.AlertLine()});
        point.held = std::make_shared<const LineStage::HeldLines>(stage_.Held());
        into_.push_back(std::move(point));
    }
    void Flush() {
        if (std::exchange(hasLatest_, false)) {
            PassedLine line = Record(latest_);
            line.alertText = latestAlertText_;
            into_.push_back(std::move(line));
        }
    }

private:
    struct Latest {
        qint64 start, end, next;
        char16_t endUnit;
        LineCounts counts;
        qint64 lastKept, alertLine;
    };
    bool Due(qint64 at) const { return into_.empty() || at - into_.back().lineStart >= spacing_; }
    LineCounts CountsNow() const {
        return {stage_.OutputLines(), stage_.LinesRead(), stage_.LinesFiltered(), stage_.CostlyLines()};
    }
    PassedLine Record(const Latest& at) const {
        PassedLine line;
        line.lineStart = at.start;
        line.lineEnd = at.end;
        line.next = at.next;
        line.endUnit = at.endUnit;
        line.counts = at.counts;
        line.lastKeptLineEnd = at.lastKept;
        line.alertLine = at.alertLine;
        line.alertText = stage_.AlertText();
        return line;
    }

    const LineStage& stage_;
    qint64 spacing_;
    std::vector<PassedLine>& into_;
    Latest latest_{};
    bool hasLatest_ = false;
    qint64 latestAlertLine_ = 0;
    QString latestAlertText_;
};

class KeptLines final : public StageOutput {
public:
    explicit KeptLines(std::vector<OutLine>& lines) : lines_(lines) {}
    void FileLine(qint64 start, qint64 length) override {
        lines_.push_back(OutLine{start, length, false, {}});
    }
    void StoredLine(const QString& text) override { lines_.push_back(OutLine{0, 0, true, text}); }

private:
    std::vector<OutLine>& lines_;
};

class BuiltLines final : public StageOutput {
public:
    BuiltLines(ViewSnapshotBuilder& builder, const std::shared_ptr<LineSource>& source, LineShape shape,
               bool storeText)
        : builder_(builder), source_(source), shape_(shape), storeText_(storeText) {}
    void FileLine(qint64 start, qint64 length) override {
        if (storeText_)
            AppendOutLine(builder_, source_, shape_, OutLine{start, length, false, {}}, true);
        else
            builder_.AppendFileLine(source_, shape_, start, length);
    }
    void StoredLine(const QString& text) override { builder_.Append(text); }

private:
    ViewSnapshotBuilder& builder_;
    const std::shared_ptr<LineSource>& source_;
    LineShape shape_;
    bool storeText_;
};

} // namespace

void AppendOutLine(ViewSnapshotBuilder& builder, const std::shared_ptr<LineSource>& source, LineShape shape,
                   const OutLine& line, bool storeText) {
    if (line.stored) {
        builder.Append(line.text);
    } else if (!storeText) {
        builder.AppendFileLine(source, shape, line.start, line.length);
    } else {
        QByteArray scratch;
        QByteArrayView bytes;
        builder.Append(source->Bytes(line.start, line.length, scratch, bytes) ? LineText(bytes, shape)
                                                                              : UnreadableLineText());
    }
}

QString RecordingResolver::GetNameByIP(const QString& address) {
    const QString answer = resolver_ ? resolver_->GetNameByIP(address) : address;
    answers_.insert(address, answer);
    return answer;
}

char16_t UnitAt(const char* p, TFileType type) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    if (type == TFileType::UNI)
        return char16_t(b[0] | (b[1] << 8));
    if (type == TFileType::UNIBIG)
        return char16_t((b[0] << 8) | b[1]);
    return char16_t(b[0]);
}

// Whether a stretch starting at `from` begins inside a line of the file: the unit before it ends none.
static bool StartsInsideLine(LineSource& source, qint64 from, TFileType type) {
    const qint64 unitBytes = IsWideType(type) ? 2 : 1;
    char before[2] = {};
    if (from < unitBytes || source.ReadRaw(from - unitBytes, before, unitBytes) != unitBytes)
        return from > 0;
    const char16_t unit = UnitAt(before, type);
    return unit != u'\n' && unit != u'\r';
}

WindowStretch ProcessStretch(qint64 from, qint64 to, const PassedLine* resume,
                             const StretchSettings& settings, const StretchServices& io,
                             ViewSnapshotBuilder* into) {
    WindowStretch stretch;
    KeptLines kept(stretch.lines);
    std::optional<BuiltLines> built;
    if (into)
        built.emplace(*into, io.source, LineShape::Of(settings.type, settings.stage.killSpace),
                      settings.storeText);
    StageOutput& output = built ? static_cast<StageOutput&>(*built) : kept;
    LineStage stage(settings.stage, io.filter, io.alert, io.resolver, output);
    if (resume && resume->held)
        stage.ResumeHeld(*resume->held);
    else if (resume)
        stage.ResumeAfterPassingLine();
    else if (settings.stage.reverseDns && StartsInsideLine(*io.source, from, settings.type))
        stage.NextLineCutAtStart(); // the token at its start may be the end of an address
    RecordSink sink(stage, settings.spacing, stretch.records);
    const SplitResult split = SplitStretch(*io.source, io.buffer, from, to, settings.type, stage,
                                           SplitHooks{io.progress, &sink, io.yield, settings.endCutsLine});
    sink.Flush();
    stretch.verified = split.verified;
    stretch.end = split.end;
    stretch.counts = {stage.OutputLines(), stage.LinesRead(), stage.LinesFiltered(), stage.CostlyLines()};
    stretch.lastKeptLineEnd = stage.LastKeptLineEnd();
    stretch.alertLine = stage.AlertLine();
    stretch.alertText = stage.AlertText();
    return stretch;
}
