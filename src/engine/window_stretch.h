#pragma once
// One stretch of the window read and processed from a line start (the window's start, a passing
// line or a checkpoint): its output lines, its counts from the stretch's start, and the passing
// lines and checkpoints it met. Used by IncrementalWindow on the pass thread.
#include <functional>
#include <memory>
#include <vector>

#include <QHash>

#include "engine/address_annotation.h"
#include "engine/file_type.h"
#include "engine/line_stage.h"
#include "engine/line_text.h"
#include "engine/text_split.h"
#include "engine/window_records.h"

class LineSource;
class ReadBuffer;
class ViewSnapshotBuilder;

// Asks the resolver and remembers every answer, so a later read can tell whether annotating the
// lines again would give the same text.
class RecordingResolver final : public AddressResolver {
public:
    RecordingResolver(AddressResolver* resolver, QHash<QString, QString>& answers)
        : resolver_(resolver), answers_(answers) {}
    QString GetNameByIP(const QString& address) override;

private:
    AddressResolver* resolver_;
    QHash<QString, QString>& answers_;
};

// An output line kept until the stretch is joined to the rest of the output: its place, or its
// text when annotating changed it, as a held-back line.
using OutLine = LineStage::HeldLine;

struct StretchSettings {
    TFileType type = TFileType::Ansi;
    LineStageSettings stage;
    qint64 spacing = 1;       // bytes between the records kept
    bool endCutsLine = false; // the stretch ends before the file (SplitHooks)
    bool storeText = false;   // WindowRequest::storeText
};

struct StretchServices {
    const std::shared_ptr<LineSource>& source;
    ReadBuffer& buffer;
    PatternMatcher& filter;
    PatternMatcher& alert;
    AddressResolver* resolver;
    const SplitProgress* progress = nullptr;
    const std::function<void()>* yield = nullptr;
};

struct WindowStretch {
    std::vector<OutLine> lines; // when not built straight into a snapshot
    LineCounts counts;
    qint64 lastKeptLineEnd = -1; // file bytes
    qint64 alertLine = 0;        // 1 for the stretch's first output line; 0: none
    QString alertText;
    std::vector<PassedLine> records; // counts from the stretch's start
    bool verified = true;            // false: the file no longer holds what the source indexed
    qint64 end = 0;                  // where the stretch ended
};

// Appends one output line to a snapshot: as its place in the file, or with storeText as its text
// (read back through the source, on the pass thread).
void AppendOutLine(ViewSnapshotBuilder& builder, const std::shared_ptr<LineSource>& source, LineShape shape,
                   const OutLine& line, bool storeText);

// The 8-bit or 16-bit unit at p.
char16_t UnitAt(const char* p, TFileType type);

// Processes bytes [from, to); resume: the record the stretch goes on from (null: the window's
// start). into: null to keep the lines in the stretch, else a builder that takes them at once.
WindowStretch ProcessStretch(qint64 from, qint64 to, const PassedLine* resume,
                             const StretchSettings& settings, const StretchServices& io,
                             ViewSnapshotBuilder* into);
