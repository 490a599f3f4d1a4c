#pragma once
// IncrementalWindow: reads and processes the window so that a pass costs what changed.
//
// Before reading it compares the file's stamp (size, modification time, device, inode) and every
// setting the output depends on with the last read's: when nothing changed it reads nothing and
// answers the last outcome. When the same file only grew and the window slid forward, it reads and
// processes the front of the new window up to the first passing line it shares with the last read,
// and the end from the last passing line or held-back checkpoint on; the output in between is kept. Anything
// else (another file, a shrink, settings changed, R. DNS on, the last bytes before the old end changed, a CR
// at the old end that pairs with a new LF) is read in full. The outcome is the full read's, line for line and
// count for count.
//
// Used by the pass thread only; the state survives from pass to pass in the tail runtime.
#include <array>
#include <deque>
#include <functional>

#include <QByteArray>
#include <QString>

#include "engine/file_type.h"
#include "engine/followed_file.h"
#include "engine/line_stage.h"
#include "engine/text_split.h"
#include "engine/window_records.h"

class AddressResolver;
class PatternMatcher;
class ReadBuffer;
struct WindowStretch;

// Everything a read of the window depends on besides the file's bytes.
struct WindowRequest {
    QString fileName;
    TFileType type = TFileType::Ansi;
    qint64 offset = 0;
    qint64 windowSize = 0;
    qint64 hidePoint = 0;
    LineStageSettings stage;
    bool retyped = false; // the pass typed the file again: read in full
};

struct WindowServices {
    ReadBuffer& buffer;
    PatternMatcher& filter;
    PatternMatcher& alert;
    AddressResolver* resolver = nullptr;
    std::function<void()> analyzing; // after the read, before the analysis
    SplitProgress progress;
};

class IncrementalWindow final {
public:
    IncrementalWindow() = default;
    IncrementalWindow(const IncrementalWindow&) = delete;
    IncrementalWindow& operator=(const IncrementalWindow&) = delete;

    // Throws PassFailure (open, read), PassCancelled or bad_alloc; the next read is then a full one.
    const WindowOutcome& Read(const WindowRequest& request, WindowServices& io);
    // Off: every read is a full one (the reference the incremental reads are held to).
    void SetEnabled(bool on) { enabled_ = on; }
    // The outcome of the last read (its delta is from the read before).
    const WindowOutcome& Last() const { return outcome_; }
    // Reads so far: the number of the last one.
    qint64 ReadSerial() const { return counts_[0] + counts_[1] + counts_[2]; }
    // Reads of each kind so far (WindowReadKind as index).
    const std::array<qint64, 3>& ReadCounts() const { return counts_; }
    // The file as the last read found it open (size, modification time, identity).
    const FileStamp& Stamp() const { return stamp_; }

private:
    bool SameRequest(const WindowRequest& request) const;
    void ReadFull(FollowedFile& file, qint64 start, WindowServices& io);
    bool TrySlide(FollowedFile& file, qint64 start, WindowServices& io);
    // The new window, and the passing lines (or the window's start) between which the last
    // output is kept; the records before the kept part (dropped of them) go.
    struct SliceEnds {
        qint64 start;
        qint64 size;
        qint64 rawEnd;
        PassedLine oldFirst;
        PassedLine oldLast;
        qsizetype dropped;
    };
    // Joins the new front, the kept middle of the last output and the new end into the outcome.
    void Splice(const SliceEnds& ends, WindowStretch& front, WindowStretch& back);

    bool enabled_ = true;
    bool valid_ = false;
    WindowRequest last_;
    FileStamp stamp_;
    qint64 end_ = 0;      // the window's end in whole units
    QByteArray endBytes_; // the last bytes before end_, to tell an append from a rewrite
    std::deque<PassedLine> records_;
    WindowOutcome outcome_;
    std::array<qint64, 3> counts_{};
};
