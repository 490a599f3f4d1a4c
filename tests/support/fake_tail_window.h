#pragma once
// FakeTailWindow: a TailWindowPort for tests and benchmarks. Controls are plain public fields; the
// view keeps the snapshot last published with a first visible line, a height in lines and a
// selection; its end is reached at line count - height (one row short of the real view's end). Every call is
// checked to run on the thread that created the fake (the window thread) and the pane texts are recorded in
// order, so tests can see what the window showed and when. Hooks let a test act at the moment a given text is
// shown (e.g. grow the file, advance a clock).
#include <functional>
#include <vector>

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include "engine/tail_window_port.h"

class QThread;

class FakeTailWindow final : public TailWindowPort {
public:
    FakeTailWindow();

    // Controls.
    int readBufferKo = 50;
    int offset = 0;
    bool autoOffset = false;
    bool filterOn = false;
    bool alertOn = false;
    bool reverseDns = false;
    bool killLine = false;
    bool killSpace = false;
    bool useTabs = false;
    bool wrap = false;
    int tabWidth = 75;
    int contextLines = 0;
    QString filterPattern;
    QString alertPattern;
    bool filterInverted = false;
    bool alertInverted = false;
    QString fileNameText;
    bool fileNameEditVisible = true;

    // View.
    ViewSnapshot view;
    qint64 firstVisible = 0;
    qint64 linesThatFit = 10;
    ViewRange selection;
    int replaceCount = 0;      // publications of a text
    std::vector<int> tabStops; // applied distances; 0 = default stops
    bool atBottom = false;
    QFont viewFont;

    // Panes and the rest.
    QStringList stateTexts; // every STATE pane text, in order
    QStringList events; // "State:..", "Info:..", "File:..", "Time:..", "View:replace", "View:clear" (an empty
                        // text published)
    QString statePane, timePane, infoPane, filePane, fileLabel, appTitle, trayHint, startCaption;
    int trayImage = 0;
    bool startedLayout = false;
    bool startButtonVisible = true;
    int applyColorsCount = 0;
    bool busyCursor = false;
    QSize outerSize{630, 410};
    QStringList alertLines; // newest first
    bool alertsVisible = false;
    int restoreCount = 0;
    bool minimized = false;
    QStringList sounds;
    bool processEvents = true;

    // Called on the window thread when a STATE text is shown (before the caller goes on).
    std::function<void(const QString&)> onState;

    // True when any call ran off the window thread.
    bool calledOffWindowThread = false;

    QStringList ViewLines() const;
    QString ViewText() const; // every line followed by CR LF
    // The selection in character positions of ViewText().
    void SelectText(qsizetype start, qsizetype length);
    qsizetype SelectionStart() const;

    int ReadBufferKo() const override;
    void SetReadBufferKo(int kilobytes) override;
    int Offset() const override;
    void SetOffset(int bytes) override;
    bool AutoOffset() const override;
    void SetAutoOffset(bool on) override;
    bool FilterOn() const override;
    bool AlertOn() const override;
    bool ReverseDnsOn() const override;
    bool KillLine() const override;
    void SetKillLine(bool on) override;
    bool KillSpace() const override;
    void SetKillSpace(bool on) override;
    bool UseTabs() const override;
    void SetUseTabs(bool on) override;
    void SetWrap(bool on) override;
    int TabWidth() const override;
    void SetTabWidth(int dialogUnits) override;
    int ContextLines() const override;
    QString FilterPattern() const override;
    QString AlertPattern() const override;
    bool FilterInverted() const override;
    bool AlertInverted() const override;
    QString FileNameText() const override;
    void SetFileNameText(const QString& text) override;
    void SetFileNameEditVisible(bool visible) override;
    TailViewState ViewState() const override;
    void PublishView(const TailViewUpdate& update) override;
    void ApplyTabStops(int dialogUnits) override;
    void ApplyDefaultTabStops() override;
    void ApplyViewFont(const QFont& font, quint32 color) override;
    void SetBottomIndicator(bool bottom) override;
    void SetStatePane(const QString& text) override;
    void SetTimePane(const QString& text) override;
    void SetInfoPane(const QString& text) override;
    void SetFileStatus(const QString& filePaneText, const QString& infoPaneText) override;
    void SetFileLabel(const QString& text) override;
    void SetApplicationTitle(const QString& text) override;
    void SetTrayHint(const QString& text) override;
    void AdvanceTrayImage() override;
    void SetStartMenuCaption(const QString& text) override;
    void SetStartedLayout(bool started) override;
    void SetStartStopButtons(bool started) override;
    void ApplyColors() override;
    void SetBusyCursor(bool busy) override;
    QSize WindowOuterSize() const override;
    void SetWindowOuterSize(const QSize& size) override;
    void ProcessPendingEvents() override;
    void InsertAlertLine(const QString& line) override;
    bool AlertsWindowVisible() const override;
    void ShowAlertsWindow() override;
    void RestoreWindow() override;
    bool IsMinimized() const override;
    void PlaySound(const QString& fileName) override;

private:
    void Check() const;

    QThread* windowThread_;
};
