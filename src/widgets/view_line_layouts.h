#pragma once
// ViewLineLayouts: lays out the lines of a snapshot that a TailView paints or hit-tests, and keeps
// what it laid out, keyed by the stored line (ViewLineKey), so a new snapshot that shares lines
// with the old one lays out only the lines that are new on screen.
//
// A line longer than kLongLineUnits is never laid out whole. Without wrap only a slice around the
// visible columns is, placed so that the column at the left edge of the screen sits where the
// horizontal scroll says (column x char width): tabs, combining marks and right-to-left runs make
// the slice's own widths differ from that, and placing the slice by its first column would show
// another part of the line than the one scrolled to, and never its end. With wrap the line is laid
// out in segments of about kLongLineUnits, each starting a row (a segment never starts inside a
// character, nor on a combining mark), so any part of it, its end included, can be shown while
// only the segments on screen are laid out.
//
// Every layout runs left to right, whatever its first letters: a line of right-to-left text is
// not pushed to the far end of the unwrapped width.
//
// GUI thread only. Layouts returned stay valid until the next call that may lay out.
#include <functional>
#include <memory>

#include <QCache>
#include <QColor>
#include <QFont>
#include <QList>
#include <QTextLayout>

#include "engine/view_snapshot.h"

// A range of a line drawn with its own background (and bold): filter, alert and find matches;
// with its own text colour (a level), or over the whole line's rows (a highlight rule).
struct ViewMark {
    ViewMark() = default;
    ViewMark(qsizetype start, qsizetype length, QColor background, bool bold = false, QColor foreground = {},
             bool wholeLine = false)
        : start(start), length(length), background(background), bold(bold), foreground(foreground),
          wholeLine(wholeLine) {}

    qsizetype start = 0; // column in the line
    qsizetype length = 0;
    QColor background; // invalid: the text's own
    bool bold = false;
    QColor foreground; // invalid: the text's own
    // The background fills the line's rows edge to edge, under every other mark (the last such
    // mark wins); start and length still bound the foreground.
    bool wholeLine = false;
};
// Marks for the text of a line that is about to be laid out; `from` is the column of text[0] (not
// 0 for a slice of a long line). Returned columns are the line's; parts outside the text are cut.
// Asked only for lines being painted; the answer must depend on the text only (cached with it).
using ViewMarksProvider = std::function<QList<ViewMark>(QStringView text, qsizetype from)>;

class ViewLineLayouts final {
public:
    static constexpr qsizetype kLongLineUnits = 16384;

    ViewLineLayouts();

    void SetSnapshot(const ViewSnapshot& snapshot) { snapshot_ = snapshot; }
    // Each of these drops the layouts when it changes what they would be.
    void SetFont(const QFont& font);
    void SetTabStop(qreal pixels);
    // wrapWidth: pixels for the text.
    void SetWrap(bool wrap, qreal wrapWidth);
    void SetMarksProvider(ViewMarksProvider provider);
    void Clear() { cache_.clear(); }

    const QFont& Font() const { return font_; }
    qreal TabStop() const { return tabStop_; }
    bool Wraps() const { return wrap_; }
    qreal CharWidth() const { return charWidth_; }
    int LineSpacing() const { return lineSpacing_; }

    struct Laid {
        const QTextLayout* layout = nullptr;
        qsizetype from = 0;   // column of the layout's first character
        qsizetype length = 0; // characters laid out
        qsizetype lineLength = 0;
        qreal x = 0; // where the layout starts, in pixels from the text's left edge
        int rows = 1;
        QColor lineBackground; // a whole-line mark's; invalid: none
    };
    // The layout of a line (with wrap, of its first segment); visibleX and visibleWidth (pixels
    // from the text's left edge) choose the slice of a long line when not wrapping.
    Laid Get(qint64 line, qreal visibleX = 0, qreal visibleWidth = 0);
    // The segments of a line: several only for a long line with wrap.
    int Segments(qint64 line) const;
    Laid Segment(qint64 line, int segment);
    // The segment holding a column (the line's end is in the last one).
    int SegmentOf(qint64 line, qsizetype column) const;

private:
    struct Key {
        ViewLineKey line;
        qsizetype from = 0;
        qsizetype length = 0;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed = 0) noexcept {
            return qHashMulti(seed, key.line, key.from, key.length);
        }
    };
    struct Entry {
        QTextLayout layout;
        int rows = 1;
        QColor lineBackground;
    };
    Entry* Make(const QString& text, qsizetype from);
    Laid Cached(qint64 line, const Key& key);
    // Where a slice or segment that should start at `column` starts: moved back over a low
    // surrogate or combining marks, so it starts with a whole character.
    qsizetype StartAt(qint64 line, qsizetype column) const;

    ViewSnapshot snapshot_;
    QFont font_;
    qreal tabStop_ = 80;
    bool wrap_ = false;
    qreal wrapWidth_ = 0;
    qreal charWidth_ = 1;
    int lineSpacing_ = 1;
    ViewMarksProvider marks_;
    QCache<Key, Entry> cache_;
};
