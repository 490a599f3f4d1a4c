#pragma once
// IncrementalWindow: reads and processes the window so that a pass costs what changed, and keeps
// its output as places in the file (a LineSource) rather than as text.
//
// Before reading it compares the file's stamp (size, modification time, device, inode) and every
// setting the output depends on with the last read's: when nothing changed it reads nothing and
// answers the last outcome (with R. DNS on, once every address the window was annotated with still
// gets the same answer). When the same file only grew and the window slid forward, it reads and
// processes the front of the new window up to the first passing line it shares with the last read,
// and the end from the last passing line or held-back checkpoint on; the output in between is kept
// (its snapshot chunks are shared). What it keeps is verified: every block read again is held to
// the hash the first read took of it, and a few blocks of the kept part are read again at each
// such pass, in turn, and at the passes on the unchanged file after it until every block of the
// window was read again once, so a rewrite in place is found within a bounded number of passes,
// whether or not the file is written again. Anything
// else (another file, a shrink, a rewrite, settings changed, a CR at the old end that pairs with a
// new LF) is read in full, into a new source. The outcome is the full read's, line for line and
// count for count.
//
// Used by the pass thread only; the state survives from pass to pass in the tail runtime.
#include <array>
#include <deque>
#include <functional>
#include <memory>

#include <QHash>
#include <QString>

#include "engine/file_type.h"
#include "engine/followed_file.h"
#include "engine/line_stage.h"
#include "engine/text_split.h"
#include "engine/window_records.h"

class AddressResolver;
class LineSource;
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
    // Not below 0: the file is taken to end there if it is longer (the reads of one pass see
    // one size, so a window the auto offset moved back never ends inside a line written since).
    qint64 sizeCap = -1;
    // The auto offset chose this read's offset: a last line the window's end cuts is not shown.
    bool autoEnd = false;
    // The source's reads may wait (a network): the output keeps its lines' text, so the window
    // thread never reads the source to show them.
    bool storeText = false;
};

struct WindowServices {
    ReadBuffer& buffer;
    PatternMatcher& filter;
    PatternMatcher& alert;
    AddressResolver* resolver = nullptr;
    std::function<void()> analyzing; // after the read, before the analysis
    SplitProgress progress;
    std::function<void()> yield; // every few hundred lines
    // A full read of a window bigger than kInterimBytes first hands over what the window's last
    // kInterimTail bytes alone show, so the end of a big log shows before it is all indexed.
    std::function<void(const ViewSnapshot&)> interim;
};

class IncrementalWindow final {
public:
    // Blocks of the kept part read again at each pass that keeps it.
    static constexpr int kVerifiedBlocks = 4;
    static constexpr qint64 kInterimBytes = qint64(64) << 20;
    static constexpr qint64 kInterimTail = qint64(4) << 20;
    // A slid read shows its progress only when the end it redoes is at least that big.
    static constexpr qint64 kProgressBytes = qint64(1) << 20;

    IncrementalWindow() = default;
    ~IncrementalWindow();
    IncrementalWindow(const IncrementalWindow&) = delete;
    IncrementalWindow& operator=(const IncrementalWindow&) = delete;

    // Throws PassFailure (open, read), PassCancelled or bad_alloc; the next read is then a full one.
    const WindowOutcome& Read(const WindowRequest& request, WindowServices& io);
    // Off: every read is a full one (the reference the incremental reads are held to).
    void SetEnabled(bool on) { enabled_ = on; }
    // The outcome of the last read.
    const WindowOutcome& Last() const { return outcome_; }
    // Reads so far: the number of the last one.
    qint64 ReadSerial() const { return counts_[0] + counts_[1] + counts_[2]; }
    // Reads of each kind so far (WindowReadKind as index).
    const std::array<qint64, 3>& ReadCounts() const { return counts_; }
    // The file as the last read found it open (size, modification time, identity).
    const FileStamp& Stamp() const { return stamp_; }

    // The auto offset's reads of one pass, from offset 0 to the offset where they stopped: when a
    // pass finds the same file and settings again, its reads end at the same offset, so it starts
    // there (a file that did not change costs one look, whatever the filter holds back).
    void RememberChain(const WindowRequest& first, const FileStamp& stamp, qint64 endOffset);
    // The offset to start the auto offset's reads at: the remembered end, or 0.
    qint64 ChainStart(const WindowRequest& first) const;

private:
    bool SameRequest(const WindowRequest& request) const;
    bool AnswersHold(AddressResolver* resolver) const;
    void ReadFull(std::unique_ptr<FollowedFile> file, const FileStamp& stamp, qint64 start,
                  WindowServices& io);
    bool TrySlide(qint64 start, qint64 size, WindowServices& io);
    bool VerifyKept(qint64 start, qint64 from, qint64 to, bool sameStart);
    bool VerifyRecentRead();
    bool VerifyAfterSlide();
    qint64 WindowBlocks() const;
    bool EndPairs(const PassedLine& last, qint64 unitBytes) const;
    // The new window, and the passing lines (or the window's start) between which the last
    // output is kept; the records before the kept part (dropped of them) go.
    struct SliceEnds {
        qint64 start;
        qint64 size;
        PassedLine oldFirst;
        PassedLine oldLast;
        qsizetype dropped;
        bool sameStart;
    };
    // Joins the new front, the kept middle of the last output and the new end into the outcome.
    void Splice(const SliceEnds& ends, WindowStretch& front, WindowStretch& back);
    qint64 Spacing(qint64 span) const;

    bool enabled_ = true;
    bool valid_ = false;
    WindowRequest last_;
    FileStamp stamp_;
    std::shared_ptr<LineSource> source_;
    qint64 end_ = 0; // the window's end in whole units
    std::deque<PassedLine> records_;
    LineCounts origin_; // the counts at the window's start
    WindowOutcome outcome_;
    std::array<qint64, 3> counts_{};
    qint64 verifyNext_ = 0; // the kept part's next block to read again
    // The last read came within the file system's time resolution of a write: a rewrite of the
    // same size right after it would leave the stamp as it was, so the window's blocks are read
    // again, a few a pass from its end, until each was once.
    bool recent_ = false;
    qint64 recentDone_ = 0;
    qint64 afterSlide_ = 0;           // blocks still to read again after the last slid read
    qint64 afterSlideNext_ = 0;       // the window's next block to read again
    QHash<QString, QString> answers_; // every R. DNS answer the window's lines were annotated with
    quint64 generation_ = 0;          // the resolver's generation when they were asked

    struct Chain {
        bool valid = false;
        WindowRequest first;
        FileStamp stamp;
        qint64 endOffset = 0;
    } chain_;
};
