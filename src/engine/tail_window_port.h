#pragma once
// TailWindowPort: everything the tail engine reads from or does to its tail window. The engine
// never sees a widget; the real window implements this interface, tests use a fake.
//
// Threads: the methods are called on the window thread only. In worker mode the engine wraps the
// port in GuiThreadPort, which runs each call made from the worker on the window thread while the
// worker waits. A method must not call back into the engine's SetTailStatus (the worker may be
// waiting for it to return). A method may throw std::exception; inside a pass that ends the pass's
// main steps with "Exception : " + the message in the INFO pane.
//
// The view: the engine hands the window immutable snapshots of the view's text (ViewSnapshot),
// built off the window thread, and takes from it the snapshot it shows with its scroll position
// and selection in one call. The window only swaps the snapshot in, so its share of a pass costs
// the same for ten lines as for a gigabyte, plus the paint.
#include <functional>
#include <optional>

#include <QFont>
#include <QSize>
#include <QString>

#include "engine/view_snapshot.h"

// What the view shows and where it stands, taken in one call.
struct TailViewState {
    ViewSnapshot shown;
    qint64 firstVisibleLine = 0;
    // Lines shown whole from the first visible one; lines past the end count one row each.
    qint64 linesThatFit = 1;
    ViewRange selection; // empty when nothing is selected

    // The end of the text is on screen.
    bool AtBottom() const { return firstVisibleLine + linesThatFit - 1 >= shown.LineCount(); }
};

// A new text for the view and where it stands, applied in one step (one paint).
struct TailViewUpdate {
    ViewSnapshot snapshot;
    bool scrollToEnd = false;
    qint64 firstVisibleLine = 0;        // when not scrolling to the end; clamped to the text
    std::optional<ViewRange> selection; // nothing is selected without one
};

class TailWindowPort {
public:
    virtual ~TailWindowPort() = default;

    // --- Per-window switches and values (read at pass start, some written by the start sequence)
    virtual int ReadBufferKo() const = 0; // RzSpinEditBufKo, kilobytes
    virtual void SetReadBufferKo(int kilobytes) = 0;
    virtual int Offset() const = 0; // RzSpinEditOffset: bytes left unread at the end of the file
    virtual void SetOffset(int bytes) = 0;
    virtual bool AutoOffset() const = 0; // CheckBoxAutoOffset
    virtual void SetAutoOffset(bool on) = 0;
    virtual bool FilterOn() const = 0;     // CheckBoxFilter
    virtual bool AlertOn() const = 0;      // CheckBoxAlert
    virtual bool ReverseDnsOn() const = 0; // CheckBoxReverseDNS
    virtual bool KillLine() const = 0;     // ItemCompactLine ("Kill line")
    virtual void SetKillLine(bool on) = 0;
    virtual bool KillSpace() const = 0; // CheckBoxCompactSpace ("Kill space")
    virtual void SetKillSpace(bool on) = 0;
    virtual bool UseTabs() const = 0; // CheckBoxTabs
    virtual void SetUseTabs(bool on) = 0;
    virtual void SetWrap(bool on) = 0; // CheckBoxWrap
    virtual int TabWidth() const = 0;  // RzSpinEditTab, dialog units
    virtual void SetTabWidth(int dialogUnits) = 0;
    virtual int ContextLines() const = 0;      // RzSpinEditFilterHistory, 0..99
    virtual QString FilterPattern() const = 0; // RzComboBoxFilter text, untrimmed
    virtual QString AlertPattern() const = 0;  // RzComboBoxAlarm text, untrimmed
    virtual bool FilterInverted() const = 0;   // toggled by RzLabelFilter
    virtual bool AlertInverted() const = 0;    // toggled by RzLabelAlert

    // --- File-name edit (EditComboBox)
    virtual QString FileNameText() const = 0;
    virtual void SetFileNameText(const QString& text) = 0;
    virtual void SetFileNameEditVisible(bool visible) = 0;

    // --- The view (MemoTail)
    virtual TailViewState ViewState() const = 0;
    virtual void PublishView(const TailViewUpdate& update) = 0;
    // Tab stops every that many dialog units (a quarter of the font's average character width).
    virtual void ApplyTabStops(int dialogUnits) = 0;
    virtual void ApplyDefaultTabStops() = 0;
    virtual void ApplyViewFont(const QFont& font, quint32 color) = 0;
    // ImageBottom when atBottom, else ImageMiddle.
    virtual void SetBottomIndicator(bool atBottom) = 0;

    // --- Panes, labels, title, tray
    virtual void SetStatePane(const QString& text) = 0; // RzStatusPanesSTATE
    virtual void SetTimePane(const QString& text) = 0;  // RzStatusPaneTime
    virtual void SetInfoPane(const QString& text) = 0;  // RzStatusPaneINFO
    // RzStatusPaneFile and RzStatusPaneINFO in one step.
    virtual void SetFileStatus(const QString& filePane, const QString& infoPane) = 0;
    virtual void SetFileLabel(const QString& text) = 0; // LabelFn
    virtual void SetApplicationTitle(const QString& text) = 0;
    virtual void SetTrayHint(const QString& text) = 0;
    virtual void AdvanceTrayImage() = 0;                       // next of the four images
    virtual void SetStartMenuCaption(const QString& text) = 0; // Start1

    // --- Layout and look
    // Started: PanelCB shown and the file-name row (EditComboBox, RzBitBtnOpenTree) ending before
    // the panel's read window. Stopped: PanelCB hidden, the row running to the top panel's end.
    virtual void SetStartedLayout(bool started) = 0;
    // Started: RzBitBtnStart hidden, RzBitBtnStop shown; stopped: the reverse.
    virtual void SetStartStopButtons(bool started) = 0;
    virtual void ApplyColors() = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    virtual QSize WindowOuterSize() const = 0;
    virtual void SetWindowOuterSize(const QSize& size) = 0;
    // Lets the window handle its pending events (user input included) and returns.
    virtual void ProcessPendingEvents() = 0;

    // --- Alerts
    virtual void InsertAlertLine(const QString& line) = 0; // at the top of MemoAlert
    virtual bool AlertsWindowVisible() const = 0;
    virtual void ShowAlertsWindow() = 0;
    virtual void RestoreWindow() = 0; // restore the application from the minimized state
    virtual bool IsMinimized() const = 0;
    virtual void PlaySound(const QString& fileName) = 0; // never waits; failures ignored

    // Makes the calls that `calls` makes on this port as one hand-over: a port that hands calls to
    // another thread runs them all there, in order, while the caller waits once.
    virtual void Batch(const std::function<void()>& calls) { calls(); }
};
