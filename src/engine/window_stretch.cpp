#include "engine/window_stretch.h"

#include <optional>
#include <utility>

#include "engine/line_source.h"
#include "engine/line_text.h"
#include "engine/view_snapshot.h"

namespace {

// Remembers passing lines and checkpoints about `spacing` bytes apart, and the last passing line.
class RecordSink final : public PassedLineSink {
public:
    RecordSink(const LineStage& stage, qint64 spacing, std::vector<PassedLine>& into)
        : stage_(stage), spacing_(spacing), into_(into) {}

    void Passed(qint64 start, qint64 end, qint64 next, char16_t endUnit) override {
        PassedLine line = Counts();
        line.lineStart = start;
        line.lineEnd = end;
        line.next = next;
        line.endUnit = endUnit;
        if (Due(line.lineStart)) {
            into_.push_back(std::move(line));
            hasLatest_ = false;
        } else {
            latest_ = std::move(line);
            hasLatest_ = true;
        }
    }
    void LineStart(qint64 at) override {
        if (!stage_.CanSkipFailingLine() || !Due(at))
            return;
        Flush();
        PassedLine point = Counts();
        point.lineStart = point.next = at;
        point.lineEnd = -2;
        point.held = std::make_shared<const LineStage::HeldLines>(stage_.Held());
        into_.push_back(std::move(point));
    }
    void Flush() {
        if (std::exchange(hasLatest_, false))
            into_.push_back(std::move(latest_));
    }

private:
    bool Due(qint64 at) const { return into_.empty() || at - into_.back().lineStart >= spacing_; }
    PassedLine Counts() const {
        PassedLine line;
        line.counts = {stage_.OutputLines(), stage_.LinesRead(), stage_.LinesFiltered(),
                       stage_.CostlyLines()};
        line.alertLine = stage_.AlertLine();
        line.alertText = stage_.AlertText();
        line.lastKeptLineEnd = stage_.LastKeptLineEnd();
        return line;
    }

    const LineStage& stage_;
    qint64 spacing_;
    std::vector<PassedLine>& into_;
    PassedLine latest_;
    bool hasLatest_ = false;
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
    BuiltLines(ViewSnapshotBuilder& builder, const std::shared_ptr<LineSource>& source, LineShape shape)
        : builder_(builder), source_(source), shape_(shape) {}
    void FileLine(qint64 start, qint64 length) override {
        builder_.AppendFileLine(source_, shape_, start, length);
    }
    void StoredLine(const QString& text) override { builder_.Append(text); }

private:
    ViewSnapshotBuilder& builder_;
    const std::shared_ptr<LineSource>& source_;
    LineShape shape_;
};

} // namespace

QString RecordingResolver::GetNameByIP(const QString& address) {
    const QString answer = resolver_ ? resolver_->GetNameByIP(address) : address;
    answers_.insert(address, answer);
    return answer;
}

WindowStretch ProcessStretch(qint64 from, qint64 to, const PassedLine* resume,
                             const StretchSettings& settings, const StretchServices& io,
                             ViewSnapshotBuilder* into) {
    WindowStretch stretch;
    KeptLines kept(stretch.lines);
    std::optional<BuiltLines> built;
    if (into)
        built.emplace(*into, io.source, LineShape::Of(settings.type, settings.stage.killSpace));
    StageOutput& output = built ? static_cast<StageOutput&>(*built) : kept;
    LineStage stage(settings.stage, io.filter, io.alert, io.resolver, output);
    if (resume && resume->held)
        stage.ResumeHeld(*resume->held);
    else if (resume)
        stage.ResumeAfterPassingLine();
    RecordSink sink(stage, settings.spacing, stretch.records);
    const SplitResult split = SplitStretch(*io.source, io.buffer, from, to, settings.type, stage,
                                           SplitHooks{io.progress, &sink, io.yield});
    sink.Flush();
    stretch.verified = split.verified;
    stretch.end = split.end;
    stretch.counts = {stage.OutputLines(), stage.LinesRead(), stage.LinesFiltered(), stage.CostlyLines()};
    stretch.lastKeptLineEnd = stage.LastKeptLineEnd();
    stretch.alertLine = stage.AlertLine();
    stretch.alertText = stage.AlertText();
    return stretch;
}
