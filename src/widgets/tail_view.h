#pragma once
// TailView: the read-only view of a tail window. It shows a ViewSnapshot and lays out and paints
// only the lines on screen, so showing a new snapshot costs the same for ten lines as for a
// gigabyte.
//
// Units: every line number, count and scroll position is in logical lines (snapshot lines),
// wrapped or not: the vertical scroll bar's value is FirstVisibleLine(). The text is taken to end
// with a line end, as the engine's text does, so the end of the view is an empty row below the
// last line, as in a text editor: ScrollToEnd() shows the last line just above it, and then, and
// only then, FirstVisibleLine() + LinesThatFit() - 1 >= LineCount() (the engine's "at bottom").
// Columns are UTF-16 units of a line, as in ViewPosition.
//
// With wrap, a line taller than the screen is scrolled through row by row (the wheel, the page
// keys, a match or the caret brought into view), its first visible row kept with the line, so a
// new snapshot or a pass that keeps the line keeps the place read in it; ScrollToEnd() shows the
// end of such a last line, however long it is.
//
// Look: font by setFont; colours from the palette (Base background, Text, Highlight and
// HighlightedText for the selection); tab stops in pixels; wrap on or off (without wrap the
// horizontal extent is the snapshot's longest line times the font's average character width,
// widened when a painted line turns out wider).
//
// Height changes (a smaller window, the find bar taking room under the view): a view whose end
// was showing keeps showing it; another keeps its first visible line.
//
// Updates: the view never repaints synchronously; calls made without returning to the event
// loop (SetSnapshot, a scroll, Select) show together at the next paint, which is the update
// bracket the engine asks for.
//
// Events: mouse presses and releases arrive on viewport(), where an event filter can watch them;
// the context menu policy is Qt::CustomContextMenu (customContextMenuRequested gives a point in
// viewport coordinates).
//
// GUI thread only. The snapshot may come from any thread (it is immutable).
#include <optional>

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>

#include "engine/view_snapshot.h"
#include "widgets/view_line_layouts.h"

class TailView final : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Pixels between the viewport's edges and the text.
    static constexpr int TextMargin() { return 4; }

    explicit TailView(QWidget* parent = nullptr);
    ~TailView() override;
    Q_DISABLE_COPY_MOVE(TailView)

    // --- Text. A new snapshot keeps the first visible line number (clamped) and clears the
    // selection and the current match; the caller re-selects and scrolls as its rules say.
    void SetSnapshot(ViewSnapshot snapshot);
    const ViewSnapshot& Snapshot() const { return snapshot_; }

    // --- Scroll position, in logical lines
    qint64 LineCount() const { return snapshot_.LineCount(); }
    qint64 FirstVisibleLine() const;
    // Lines from the first visible one that are shown whole (lines past the end count one row
    // each); without wrap the viewport's height over the line spacing. At least 1.
    qint64 LinesThatFit() const;
    bool AtBottom() const { return FirstVisibleLine() + LinesThatFit() - 1 >= LineCount(); }
    void SetFirstVisibleLine(qint64 line);
    void ScrollLines(qint64 lines);
    void ScrollToEnd();
    enum class Place { Nearest, Center };
    // Scrolls so that a position shows (vertically and, without wrap, horizontally).
    void EnsureVisible(ViewPosition at, Place place = Place::Nearest);

    // --- Selection. Select() keeps the scroll position.
    bool HasSelection() const { return anchor_ != cursor_; }
    ViewRange Selection() const;
    ViewPosition CursorPosition() const { return cursor_; }
    void Select(ViewRange range);
    void SelectAll();
    void ClearSelection();
    QString SelectedText() const; // CR LF between lines
    void Copy() const;            // the clipboard gets LF between lines

    // --- Look
    void SetWrap(bool on);
    bool Wrap() const { return layouts_.Wraps(); }
    void SetTabStopDistance(qreal pixels);
    qreal TabStopDistance() const { return layouts_.TabStop(); }

    // --- Marks. The provider is asked only for lines being laid out for the screen; call
    // InvalidateMarks() when its answers change (new pattern). The current match is drawn over
    // everything else and can be scrolled to with EnsureVisible.
    void SetMarksProvider(ViewMarksProvider provider);
    void InvalidateMarks();
    void SetCurrentMatch(std::optional<ViewRange> match, QColor background = QColor(255, 150, 50));

    // --- Room left of the viewport (a gutter a child widget paints in), in pixels
    void SetLeftGutter(int pixels) { setViewportMargins(pixels, 0, 0, 0); }

    // --- Geometry, in viewport coordinates
    ViewPosition PositionAt(QPoint point) const; // nearest position; the end of the text below it
    QRect LineRect(qint64 line) const;           // rows of a line on screen; null when not shown

signals:
    void selectionChanged();
    void snapshotChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // A row of the text: with wrap a row of a segment of a line, else a line; {LineCount(), 0, 0}
    // is the empty row that ends the text. Ordered as the rows are.
    struct RowPos {
        qint64 line = 0;
        int segment = 0;
        int row = 0;
        auto operator<=>(const RowPos&) const = default;
    };
    int RowsOnScreen() const;
    qreal TextLeft() const; // x of the text's left edge in the viewport
    void LayoutsFollowGeometry();
    void UpdateScrollRanges();
    void UpdateHorizontalRange();
    // Rows (tail_view_rows.cpp): only the segments passed over are laid out.
    ViewLineLayouts::Laid LaidAt(qint64 line, int segment) const;
    RowPos Top() const;
    void SetTop(RowPos top);
    RowPos Step(RowPos at, qint64 rows) const;
    RowPos Next(RowPos at) const; // the first row of the next segment or line
    RowPos LastTop() const;
    RowPos RowOf(ViewPosition at) const;
    // Rows from `from` to the end of its line; past `limit` the count stops.
    int RowsToLineEnd(RowPos from, int limit) const;
    void ScrollRows(qint64 rows);
    void PageRows(int direction, bool extend);
    void PaintLine(QPainter& painter, qint64 line, const ViewLineLayouts::Laid& laid, qreal y);
    QList<QTextLayout::FormatRange> DrawnRanges(qint64 line, const ViewLineLayouts::Laid& laid) const;
    qreal XOf(ViewPosition at) const;
    // Whether the end shows, remembered at every change of the scroll position or the text, so a
    // change of geometry can keep the end on screen.
    void RememberBottom();

    // Input (tail_view_input.cpp)
    ViewPosition Clamped(ViewPosition at) const;
    ViewPosition NextCharacter(ViewPosition at, int direction) const;
    ViewPosition WordEdge(ViewPosition at, int direction) const;
    ViewRange WordAt(ViewPosition at) const;
    bool MoveByKey(QKeyEvent* event);
    void MoveCursor(ViewPosition to, bool extend, bool keepColumn = false);
    void SetSelection(ViewPosition anchor, ViewPosition cursor);
    void ShareSelection() const; // the X selection, where the platform has one
    void DragTo(QPoint point);

    ViewSnapshot snapshot_;
    mutable ViewLineLayouts layouts_;
    ViewPosition anchor_;
    ViewPosition cursor_;
    qsizetype wantedColumn_ = -1; // kept by up and down moves
    // The first visible row when it is not the first row of the top line: kept with that line.
    ViewLineKey topKey_;
    bool topKept_ = false;
    int topSegment_ = 0;
    int topRow_ = 0;
    int wheelRemainder_ = 0;
    std::optional<ViewRange> currentMatch_;
    QColor currentMatchColor_;
    qreal widestSeen_ = 0;
    bool dragging_ = false;
    QPoint dragPoint_;
    QBasicTimer autoScroll_;
    QBasicTimer tripleClick_;
    QPoint doubleClickPoint_;
    bool wasAtBottom_ = true;
    bool followingGeometry_ = false; // inside a change of geometry: its clamped scrolls are no choice
};
