#pragma once
// TFormTail: the tail window, one per process. It owns the file manager, the global parameters,
// the pattern histories, the alerts window and the tail engine, and implements the engine's window
// interface through TailWindowAdapter. Its behaviour is split by concern over several files:
// fTail.cpp (creation and closing), tail_handlers.cpp (controls), tail_colors.cpp (colours and
// title), tail_presence.cpp (tray, running instances, show/hide, dropped files), tail_line_actions.cpp
// (the view's menu and the reverse-DNS pane), tail_file_commands.cpp (editor, shell, user command,
// folder, print).
// Window thread only.
#include <array>
#include <functional>
#include <memory>

#include <QIcon>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "engine/tail_state.h"
#include "window/tail_widgets.h"

class AlertNotifier;
class DbusAlertNotifier;
class DialogGate;
class DialogService;
class EngineClock;
class InstanceChannel;
enum class DescribeDetail;
class LineColorizer;
class MailSender;
class QSystemTrayIcon;
class QTimer;
class QMenu;
class QAction;
class QuitSignalWatcher;
class WindowSourceQuestions;
class SoundPlayer;
class TailEngine;
class TailWindowAdapter;
class TFormAlerts;
class TReverseDNS;
class THistoryModel;
class TTailFileManager;
class TTailParam;
class ViewBookmarks;

// What the window is given; null members are replaced by the real implementations, which the
// window then owns. Tests pass fakes.
struct TailWindowServices {
    DialogService* dialogs = nullptr;
    SoundPlayer* sound = nullptr;
    MailSender* mail = nullptr;
    EngineClock* clock = nullptr;
    // Desktop notifications of alerts.
    AlertNotifier* notifier = nullptr;
    // The reverse lookup the window's resolver worker uses; empty: the system resolver.
    std::function<QString(const QString& address)> resolveAddress;
    QStringList arguments;                    // program path first; empty: QCoreApplication::arguments()
    qint64 displayColorCount = 0;             // 0: ask the screen
    bool joinInstances = true;                // listen for and talk to the other running windows
    int tickIntervalMs = 1000;                // Timer1
    int changeDebounceMs = kChangeDebounceMs; // file change notifications; negative: timer only
    // Quit signals (SIGTERM...): connected before anything can open a box, so none is lost.
    QuitSignalWatcher* quitSignals = nullptr;
};

class TFormTail final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormTail)

public:
    explicit TFormTail(TailWindowServices services = {}, QWidget* parent = nullptr);
    ~TFormTail() override;

    void SetTailStatus(int state);
    int TailStatus() const;
    void ApplyColors();
    void UpdateTitle();
    void UpdateAlarmImage();
    bool IsDayTime() const;
    bool UseDayColors() const;
    void AddToHistory(QComboBox* combo);

    // Closing with nobody there (a quit signal, the session manager): from now on no box is shown
    // and nothing waits (DialogGate), open dialogs are dismissed, and the window closes once control
    // is back in an event loop; asked during the window's creation, once the creation is complete.
    void CloseUnattended();
    bool ClosingUnattended() const { return closingUnattended_; }
    // Every box and chooser of the window and what it owns goes through this gate.
    DialogGate& Dialogs() { return *gate_; }

    // The restore and minimise operations (show/hide requests, tray menu).
    void RestoreOperation();
    void MinimizeOperation();
    bool TrayEnabled() const;
    // What the window follows, its answer to the DESCRIBE request of the running instances:
    // status (none, stopped, started), filename (the file-name edit), filter and alert (1 when
    // checked) with filterpattern and alertpattern, minimized, hidden (into the tray), visible,
    // trayicon (the icon is on the desktop), modal (the caption of an open modal box, or empty),
    // platform (Qt's: xcb, wayland...), reversedns and rdnspane, lines (the view's line count) and
    // place.* (screen points of the controls a script clicks). WithView adds view (the view's last
    // lines, LF between them) and selection (its start, CR LF), each at most kDescribeTextLimit
    // characters. Cheap whatever the view holds.
    QMap<QString, QString> Describe(DescribeDetail detail) const;

    const TailWidgets& Widgets() const { return ui_; }
    QString PlainViewText() const; // the view's lines joined by LF
    TailEngine& Engine() { return *engine_; }
    TTailParam& Params() { return *params_; }
    TTailFileManager& Manager() { return *manager_; }
    TFormAlerts& Alerts() { return *alerts_; }
    THistoryModel& FilterHistory() { return *filterHistory_; }
    THistoryModel& AlarmHistory() { return *alarmHistory_; }
    TReverseDNS& ReverseDns() { return *reverseDns_; }
    InstanceChannel* Channel() { return channel_.get(); }
    LineColorizer& LineColors() { return *lineColorizer_; }
    ViewBookmarks& Bookmarks() { return *bookmarks_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    QAction* StartMenuItem() const { return Start1_; }
    bool FilterInverted() const { return filterInverted_; }
    bool AlertInverted() const { return alertInverted_; }
    bool DayFlag() const { return dayFlag_; }
    bool StartMinimized() const { return startMinimized_; }
    bool RecycleRequested() const { return recycleRequested_; }
    qint64 DisplayColorCount() const;
    // The tray image index cycled by the passes (0..3).
    int TrayImageIndex() const { return trayImage_; }
    void AdvanceTrayImage();
    void SetTrayHint(const QString& hint);
    QString TrayHint() const { return trayHint_; }
    // The application title of the passes ("Kovra " and the file): shown where a user of this
    // desktop looks for it, the task bar (the window title after the caption) and the tray icon's
    // tool tip. The caption itself, which other windows look for, stays as UpdateTitle set it.
    void SetApplicationTitle(const QString& title);
    QString ApplicationTitle() const { return applicationTitle_; }
    QString Caption() const { return caption_; }
    QString TrayToolTip() const;
    void ShowTrayToolTip();
    QSize ClientSizeForOuter(const QSize& outer) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TailWindowAdapter;

    void CreateServices(TailWindowServices& services);
    void ApplyCommandLine();
    void ConnectControls();
    void ConnectPatternControls();
    void ConnectOptionControls();
    void ConnectButtons();
    void ConnectViewControls();
    void CreateTray();
    void CreateTrayIcon();
    void JoinInstances();
    void ClosingSequence();

    // Handlers.
    void OnFilterClicked();
    void OnAlertClicked();
    void OnFilterLabelReleased();
    void OnAlertLabelReleased();
    void OnReverseDnsClicked();
    void OnWrapClicked();
    void OnAlwaysOnTopClicked();
    void OnBrowse();
    void OnAddToManager();
    void OnOpenTree();
    void OnOpenManager();
    void OnOpenParameters();
    void OnClearReleased(Qt::MouseButton button);
    void TrackViewHold(const QEvent& event);
    void OnNotepad();
    void OnOpenWithShell();
    void OnUserCommandMenu();
    void OnUserCommand();
    void OnPrint();
    void ConnectFileCommands();
    void CreateReverseDns();
    // Ctrl+F's find bar under the view, and the marks of the filter's and the alert's matches.
    void CreateFindAndHighlight();
    // Lines coloured by level and by the highlight rules (loaded here), and the bookmarks.
    void CreateLineColorsAndBookmarks();
    // "Highlight selection": the selected text becomes a literal rule, stored at once.
    void HighlightSelection();
    // The colours follow the parameters (after the parameters dialog).
    void RefreshLineColors();
    // The view's selected text, line breaks as CR LF: what the line actions and printing act on.
    QString SelectedViewText() const;
    // The view's keys of Describe: R. DNS box and pane, line count, view text, and where the
    // controls a script clicks are on the screen.
    void DescribeView(QMap<QString, QString>& description, DescribeDetail detail) const;
    void OnColorTimer();
    void OnShowHideRequest(int mode);
    void OnTrayActivated(int reason);
    void OnTrayStartStop();
    // Stops the tail, runs work, and restores the state it found.
    void WithTailStopped(const std::function<void()>& work);
    void ApplyWindowStaysOnTop(bool onTop);
    // After the parameters dialog: what the window shows of the global parameters.
    void ReapplyParameters();
    // The file-name field's face, pathcombofontname.
    void ApplyPathComboFont();
    void ApplyAlphaBlend(bool use, qint32 value);
    void ApplyTrayEnabled(bool enabled);
    void OpenFolderOfShownFile();
    // The editor, the shell, the folder, truncate and delete need a local file: switched off,
    // with a hint, while the shown source is another kind.
    void ApplyLocalFileCommands(const QString& name);
    void ShowTitles();

    TailWindowServices services_;
    bool localFileCommands_ = true;
    // Real implementations made when the services left them null.
    std::unique_ptr<DialogService> ownDialogs_;
    std::unique_ptr<DialogGate> gate_; // in front of ownDialogs_ or the given service
    // The questions of remote sources, through gate_; installed while the window lives.
    std::shared_ptr<WindowSourceQuestions> sourceQuestions_;
    std::unique_ptr<SoundPlayer> ownSound_;
    std::unique_ptr<MailSender> ownMail_;
    std::unique_ptr<EngineClock> ownClock_;
    std::unique_ptr<AlertNotifier> ownNotifier_;
    DbusAlertNotifier* sessionNotifier_ = nullptr; // ownNotifier_, when it is the session bus's

    TailWidgets ui_;
    std::unique_ptr<TFormAlerts> alerts_;
    std::unique_ptr<TTailFileManager> manager_;
    std::unique_ptr<TTailParam> params_;
    std::unique_ptr<THistoryModel> filterHistory_;
    std::unique_ptr<THistoryModel> alarmHistory_;
    std::unique_ptr<TReverseDNS> reverseDns_; // used by the engine: made before it, freed after it
    std::unique_ptr<TailWindowAdapter> adapter_;
    std::unique_ptr<TailEngine> engine_;
    std::unique_ptr<InstanceChannel> channel_;
    QSystemTrayIcon* tray_ = nullptr; // Qt parent: this; made once the session bus is known
    bool trayWanted_ = false;
    QMenu* trayMenu_ = nullptr; // Qt parent: this
    QAction* Start1_ = nullptr;
    QTimer TimerColor_;

    bool startMinimized_ = false;
    bool recycleRequested_ = false;
    bool filterInverted_ = false;
    bool alertInverted_ = false;
    bool dayFlag_ = true;
    bool closingDone_ = false;
    bool created_ = false;
    bool closingUnattended_ = false;
    bool firstActivationDone_ = false;
    bool hiddenToTray_ = false;
    int trayImage_ = 0;
    std::array<QIcon, 4> trayIcons_; // loaded once: the passes cycle them
    // A tray update is a call to the desktop: the image shown follows the passes at most every
    // kTrayFrameMs, the tooltip only when its text changes.
    static constexpr int kTrayFrameMs = 250;
    QTimer* trayFrame_ = nullptr; // Qt parent: this
    int trayShown_ = 0;
    QString trayToolTip_;
    QString trayHint_;
    QString applicationTitle_;
    QString caption_; // "KOVRA - " and the version

    LineColorizer* lineColorizer_ = nullptr; // Qt parent: the view
    ViewBookmarks* bookmarks_ = nullptr;     // Qt parent: the view
};
