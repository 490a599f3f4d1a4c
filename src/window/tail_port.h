#pragma once
// The tail window as the engine sees it: TailWindowPort on the window's controls. Window thread
// only (the engine reaches it from a worker through its blocking hand-over).

#include "engine/tail_window_port.h"

class TFormTail;

class TailWindowAdapter final : public TailWindowPort {
public:
    explicit TailWindowAdapter(TFormTail& window);
    ~TailWindowAdapter() override;
    TailWindowAdapter(const TailWindowAdapter&) = delete;
    TailWindowAdapter& operator=(const TailWindowAdapter&) = delete;

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
    void SetBottomIndicator(bool atBottom) override;

    void SetStatePane(const QString& text) override;
    void SetTimePane(const QString& text) override;
    void SetInfoPane(const QString& text) override;
    void SetFileStatus(const QString& filePane, const QString& infoPane) override;
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
    TFormTail& w_;
    bool busyCursor_ = false;
};
