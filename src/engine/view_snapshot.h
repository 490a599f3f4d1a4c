#pragma once
// ViewSnapshot: the text a tail view shows, immutable once built and cheap to share.
//
// The lines are kept as UTF-8 without their line ends, in chunks of at most 64 KiB (a line longer
// than 8 KiB has a chunk of its own), each with the end offsets of its lines; the snapshot holds a
// shared list of chunks. So a window of ASCII text costs its bytes plus two bytes per line, and the
// next snapshot (lines dropped at the front, lines appended at the end) shares every chunk it does
// not touch: building it costs what changed plus one pointer per chunk.
//
// A chunk may also hold its lines as places in a followed file (a file chunk, about two bytes a
// line, see view_snapshot_data.h): their text is read through the file's LineSource and shaped
// again when asked for, so a snapshot of a whole log costs its line index, not its text.
//
// Units: lines are numbered from 0; a column is an index into the line's QString (UTF-16 code
// units), so a column from the widgets can be used here as is. The whole-text form that the
// engine's window interface uses is every line followed by CR LF.
//
// Threads: a snapshot never changes. Copies (one shared pointer) may be read on any thread at the
// same time; build on one thread, hand the value to another. ViewSnapshotBuilder is single-thread.
//
// Text fidelity: lines hold no line break (CR and LF always end a line in the pass). An unpaired
// surrogate in a QString line is stored as U+FFFD; everything else round-trips exactly.
#include <compare>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "engine/line_text.h"

// A place in the text: line number and UTF-16 column; column == line length is the line's end.
struct ViewPosition {
    qint64 line = 0;
    qsizetype column = 0;
    friend auto operator<=>(const ViewPosition&, const ViewPosition&) = default;
};

// From `from` (included) to `to` (excluded), from <= to.
struct ViewRange {
    ViewPosition from;
    ViewPosition to;
    bool IsEmpty() const { return from == to; }
    friend bool operator==(const ViewRange&, const ViewRange&) = default;
};

// Identity of a stored line: two lines with equal keys, in any snapshots, have equal text. A
// view can key what it caches per line with it, so a new snapshot that shares the line reuses it.
struct ViewLineKey {
    quint64 chunk = 0;
    quint32 index = 0;
    friend bool operator==(const ViewLineKey&, const ViewLineKey&) = default;
};
size_t qHash(const ViewLineKey& key, size_t seed = 0) noexcept;

class LineSource;

// Identity of a line while it stays in the view, for what a user puts on a line (a bookmark): a
// snapshot built from this one by dropping lines at its front and appending lines at its end (a
// window that slid forward) keeps the id of every line it keeps. A line made again from its text
// gets an id no line had before, so an id never comes back on another line.
struct ViewLineId {
    quint64 value = 0;
    friend auto operator<=>(const ViewLineId&, const ViewLineId&) = default;
};
size_t qHash(ViewLineId id, size_t seed = 0) noexcept;

namespace view_snapshot_detail {
struct Data;
struct Entry;
struct Chunk;
} // namespace view_snapshot_detail

class ViewSnapshot final {
public:
    ViewSnapshot(); // no lines

    qint64 LineCount() const;
    bool IsEmpty() const { return LineCount() == 0; }
    // Bytes of all lines, line ends not counted: stored lines as UTF-8, lines kept as places in the
    // file as the file holds them (a file chunk counts the lines dropped at its front too).
    qint64 ByteCount() const;
    // The longest line's length in UTF-16 units (a view's horizontal extent comes from it); for
    // lines kept as places in the file, their byte count, which no fewer units can come from.
    qsizetype LongestLineLength() const;

    // Line access, O(log chunks). A line kept as a place in the file is read and shaped again;
    // when the file no longer holds its bytes it reads as UnreadableLineText() (line_text.h).
    QString Line(qint64 line) const;
    qsizetype LineLength(qint64 line) const; // UTF-16 units
    // Units [from, from + length) of a line, clipped to it; costs the slice, not the line (a line
    // of a gigabyte is never decoded whole). A surrogate pair cut by a bound keeps its inner half,
    // so unit i of the slice is always column from + i.
    QString LineSlice(qint64 line, qsizetype from, qsizetype length) const;
    ViewLineKey LineKey(qint64 line) const;
    ViewLineId LineId(qint64 line) const;
    // Where each id is in this snapshot: its line number, or -1 when no line here has it. One walk
    // over the chunks plus one look-up per id (view_snapshot_identity.cpp).
    std::vector<qint64> LinesOf(const std::vector<ViewLineId>& ids) const;

    // Every line followed by lineEnd (CR LF: the engine's form of the view's text).
    QString Text(QStringView lineEnd = u"\r\n") const;
    // The text of a range, lines joined by lineBreak. Positions are clipped to the text.
    QString TextBetween(ViewRange range, QStringView lineBreak) const;
    // The last occurrence of `text`, exact and case-sensitive, in the lines joined by CR LF (the
    // form of a view's selected text): CR LF in `text` matches a line end, so a selection spanning
    // lines is found again. An empty text, or one holding a lone CR or LF, is never found. Only
    // occurrences that start at line `floor` or after are looked for.
    std::optional<ViewRange> FindLast(QStringView text, qint64 floor = 0) const;

    // Same lines in the same order; lines shared with `other`, and lines at the same place of the
    // same file source, are not compared byte by byte.
    bool SameText(const ViewSnapshot& other) const;
    // Heap bytes held by this snapshot (chunks, line index, chunk list, the cache and marks of its
    // file sources), shared chunks included.
    qint64 MemoryBytes() const;

private:
    friend class ViewSnapshotBuilder;
    friend class ViewLineReader;
    explicit ViewSnapshot(std::shared_ptr<const view_snapshot_detail::Data> data);
    struct Located;
    Located Locate(qint64 line) const;
    ViewRange RangeAt(qsizetype entry, qint64 index, qsizetype byte, qsizetype units) const;
    std::optional<ViewRange> FindLastInChunk(qsizetype entry, const QByteArray& needle,
                                             qsizetype units) const;
    std::optional<ViewRange> FindLastInLine(const QString& part, qint64 floor) const;
    std::optional<ViewRange> FindLastAcrossLines(const QStringList& parts, qint64 floor) const;

    std::shared_ptr<const view_snapshot_detail::Data> d_;
};

// Reads a snapshot's lines in order from a line on: no search per line, and the file block last
// read is kept, so reading every line of a big snapshot costs its bytes. One thread; the reader
// holds the snapshot.
class ViewLineReader final {
public:
    ViewLineReader(const ViewSnapshot& snapshot, qint64 from);
    ~ViewLineReader();
    ViewLineReader(const ViewLineReader&) = delete;
    ViewLineReader& operator=(const ViewLineReader&) = delete;

    bool AtEnd() const;
    qint64 Line() const;
    // The current line's text; valid until Next().
    const QString& Text();
    void Next();

private:
    struct State;
    ViewSnapshot snapshot_;
    std::unique_ptr<State> s_;
};

// Makes snapshots: from nothing, or from a previous snapshot by dropping lines at its front and
// appending lines at its end. Build() may be called again after more changes; each call costs what
// changed since the last one plus one pointer per chunk. Snapshots already built never change.
//
//   ViewSnapshotBuilder next(shown);       // or keep one builder alive across passes
//   next.DropFront(next.LineCount() - 1000); // bound the view to its last 1000 lines
//   next.Append(u"... - File x not found now !");
//   view.SetSnapshot(next.Build());
class ViewSnapshotBuilder final {
public:
    ViewSnapshotBuilder();
    explicit ViewSnapshotBuilder(const ViewSnapshot& base);
    ~ViewSnapshotBuilder();
    ViewSnapshotBuilder(ViewSnapshotBuilder&&) noexcept;
    ViewSnapshotBuilder& operator=(ViewSnapshotBuilder&&) noexcept;

    qint64 LineCount() const;
    // Drops min(lines, LineCount()) lines at the front, appended ones included.
    void DropFront(qint64 lines);
    void Append(QStringView line);
    // Takes the bytes as they are (a long line keeps the caller's buffer, shared, not copied).
    // Bytes that are not valid UTF-8 are decoded with replacement characters first.
    void AppendUtf8(const QByteArray& line);
    // Text in the engine's form: each line followed by CR LF; a last line without one counts too.
    void AppendCrLfText(QStringView text);
    // A line kept as its place in the file: bytes [start, start + length) of source, shaped. Lines
    // of one source and shape share chunks; a stored line appended among them (Append) joins them.
    void AppendFileLine(const std::shared_ptr<LineSource>& source, LineShape shape, qint64 start,
                        qint64 length);
    // Appends lines [from, to) of a snapshot, sharing its chunks: costs one pointer per chunk, and
    // a copy of the lines of the one chunk that `to` cuts (at most 64 KiB).
    void AppendLines(const ViewSnapshot& source, qint64 from, qint64 to);
    ViewSnapshot Build();

private:
    struct Open;
    void Seal();
    void Reopen();
    void AppendLong(QByteArray bytes, qsizetype units, bool ascii);
    void AppendShort(QByteArrayView bytes, qsizetype units, bool ascii);
    void DropFromOpen(qint64 lines);
    void ReopenFile(const std::shared_ptr<LineSource>& source, LineShape shape);
    void AppendLinesOf(const view_snapshot_detail::Entry& entry, qint64 from, qint64 to);

    std::vector<view_snapshot_detail::Entry> entries_;
    qint64 sealedLines_ = 0;
    std::unique_ptr<Open> open_;
};
