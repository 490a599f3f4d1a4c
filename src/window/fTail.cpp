#include "window/fTail.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>

#include "engine/clock.h"
#include "engine/tail_state.h"
#include "manage/fTailAlerts.h"
#include "platform/curl_mail_sender.h"
#include "platform/dbus_alert_notifier.h"
#include "platform/dialog_gate.h"
#include "platform/dialogs.h"
#include "platform/instances.h"
#include "platform/launch.h"
#include "platform/qt_dialog_service.h"
#include "platform/qt_sound_player.h"
#include "platform/quit_signals.h"
#include "rdns/reverse_dns.h"
#include "settings/histories.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "util/window_identity.h"
#include "widgets/kovra_resources.h"
#include "widgets/panel_tint.h"
#include "window/command_line.h"
#include "window/tail_controls.h"
#include "window/tail_port.h"
#include "window/window_source_questions.h"

TFormTail::TFormTail(TailWindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    CreateServices(services_);
    // Before anything can open a box: a quit asked for from here on is never lost.
    if (services_.quitSignals)
        connect(services_.quitSignals, &QuitSignalWatcher::quitRequested, this, &TFormTail::CloseUnattended);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, &TFormTail::CloseUnattended);
    // The window's own interface font: a small sans face at 8 points, as the layout expects.
    QFont interfaceFont = font();
    interfaceFont.setPointSize(8);
    setFont(interfaceFont);
    ui_ = BuildTailWidgets(this);
    setMinimumSize(600, 200);
    resize(630, 410);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    alerts_ = std::make_unique<TFormAlerts>();
    startMinimized_ = false;
    manager_ = std::make_unique<TTailFileManager>(services_.dialogs);
    manager_->LoadFromRegistry();
    params_ = std::make_unique<TTailParam>(services_.dialogs);
    connect(params_.get(), &TTailParam::MinimizeToTrayChanged, this, &TFormTail::ApplyTrayEnabled);
    connect(params_.get(), &TTailParam::AlphaBlendChanged, this, &TFormTail::ApplyAlphaBlend);
    filterHistory_ = std::make_unique<THistoryModel>();
    alarmHistory_ = std::make_unique<THistoryModel>();
    ui_.RzComboBoxFilter->setModel(filterHistory_.get());
    ui_.RzComboBoxAlarm->setModel(alarmHistory_.get());

    CreateReverseDns();
    adapter_ = std::make_unique<TailWindowAdapter>(*this);
    EngineDeps deps;
    deps.window = adapter_.get();
    deps.manager = manager_.get();
    deps.params = params_.get();
    deps.clock = services_.clock;
    deps.resolver = reverseDns_.get();
    deps.mail = services_.mail;
    deps.dialogs = services_.dialogs;
    deps.notifier = services_.notifier;
    engine_ = std::make_unique<TailEngine>(deps, services_.tickIntervalMs, services_.changeDebounceMs);

    CreateTray();
    // A click on one of this window's notifications brings it back, from the tray too.
    services_.notifier->SetActivationHandler([this] { RestoreOperation(); });
    params_->LoadParams();
    LoadHistories(*filterHistory_, *alarmHistory_);
    // A combo box selects the first row its empty model gets; the pattern fields start empty.
    ui_.RzComboBoxFilter->setCurrentIndex(-1);
    ui_.RzComboBoxAlarm->setCurrentIndex(-1);
    ConnectControls();
    CreateFindAndHighlight();
    CreateLineColorsAndBookmarks();
    PlaceTailWidgets(ui_, centralWidget(), false);
    SetTailStatus(tsStop);

    if (params_->alwaysontop != ui_.CheckBox_Top->isChecked()) {
        ui_.CheckBox_Top->setChecked(params_->alwaysontop);
        OnAlwaysOnTopClicked();
    }
    ui_.RzStatusPaneRDNS->hide();
    ApplyPathComboFont();
    ui_.EditComboBox->setText(manager_->List->DefFile->Path);
    setAcceptDrops(true);
    UpdateTitle();
    ApplyCommandLine();
    if (services_.joinInstances)
        JoinInstances();
    manager_->SetFileName(ui_.EditComboBox->text());
    Start1_->setText(QStringLiteral("Start ") + ui_.EditComboBox->text());
    dayFlag_ = UseDayColors();
    TimerColor_.setInterval(60000);
    connect(&TimerColor_, &QTimer::timeout, this, &TFormTail::OnColorTimer);
    TimerColor_.start();
    created_ = true;
    if (closingUnattended_)
        QTimer::singleShot(0, this, &QWidget::close);
}

TFormTail::~TFormTail() {
    // The describer reads the objects torn down below; events processed meanwhile may run it.
    if (channel_)
        channel_->SetDescriber({});
    services_.notifier->SetActivationHandler({});
    ClosingSequence();
    SetSourceQuestions(nullptr);
    sourceQuestions_->Detach();
    params_->SaveParams();
    SaveHistories(*filterHistory_, *alarmHistory_, services_.dialogs);
    // A pass that the closing stop gave up waiting for (a read that does not return) still uses
    // the objects below, and a bus connection still being made holds the bus library's end: with
    // the settings saved, the process ends rather than free them or wait.
    if (engine_->PassRunning() || DbusAlertNotifier::ConnectionPending()) {
        channel_.reset();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    // The engine uses the objects below; it goes first.
    engine_.reset();
    reverseDns_.reset();
    channel_.reset();
    params_.reset();
    manager_.reset();
}

void TFormTail::CreateServices(TailWindowServices& services) {
    if (!services.dialogs) {
        ownDialogs_ = std::make_unique<QtDialogService>(this);
        services.dialogs = ownDialogs_.get();
    }
    gate_ = std::make_unique<DialogGate>(*services.dialogs);
    services.dialogs = gate_.get();
    sourceQuestions_ = std::make_shared<WindowSourceQuestions>(*gate_);
    SetSourceQuestions(sourceQuestions_);
    if (!services.sound) {
        ownSound_ = std::make_unique<QtSoundPlayer>();
        services.sound = ownSound_.get();
    }
    if (!services.mail) {
        ownMail_ = std::make_unique<CurlMailSender>();
        services.mail = ownMail_.get();
    }
    if (!services.notifier) {
        // Connected off this thread: a bus that never answers holds neither the window nor its end.
        std::unique_ptr<DbusAlertNotifier> notifier =
            DbusAlertNotifier::ForSessionBus(KovraPicture(kImageProgram).pixmap(64, 64).toImage());
        sessionNotifier_ = notifier.get();
        ownNotifier_ = std::move(notifier);
        services.notifier = ownNotifier_.get();
    }
    if (!services.clock) {
        ownClock_ = std::make_unique<SystemClock>();
        services.clock = ownClock_.get();
    }
    if (services.arguments.isEmpty())
        services.arguments = QCoreApplication::arguments();
}

void TFormTail::ApplyCommandLine() {
    const CommandLineOptions options = ParseCommandLine(services_.arguments);
    startMinimized_ = options.minimized;
    recycleRequested_ = options.recycle;
    // Each box is checked at its first switch: the pattern it held then joins the history; later
    // switches only add to the field.
    if (options.filterChecked) {
        ui_.RzComboBoxFilter->setEditText(options.filterAtCheck);
        ui_.CheckBoxFilter->setChecked(true);
        OnFilterClicked();
        ui_.RzComboBoxFilter->setEditText(options.filterPattern);
    }
    if (options.alertChecked) {
        ui_.RzComboBoxAlarm->setEditText(options.alertAtCheck);
        ui_.CheckBoxAlert->setChecked(true);
        OnAlertClicked();
        ui_.RzComboBoxAlarm->setEditText(options.alertPattern);
    }
    if (options.fileNameGiven)
        ui_.EditComboBox->setText(options.fileName);
    if (options.start)
        SetTailStatus(tsStart);
    params_->CommandLine = options.rawCommandLine;
}

void TFormTail::JoinInstances() {
    channel_ = std::make_unique<InstanceChannel>();
    connect(channel_.get(), &InstanceChannel::ShowHideRequested, this, &TFormTail::OnShowHideRequest);
    channel_->SetCaption(caption_);
    channel_->SetDescriber([this](DescribeDetail detail) { return Describe(detail); });
    channel_->Listen();
    const IdentityResult identity = WindowIdentity(params_->CommandLine);
    if (!identity.ok) {
        services_.dialogs->ShowMessage(DialogService::Icon::Error, identity.error);
        return;
    }
    params_->Identity = identity.value;
    channel_->SetIdentity(identity.value);
    if (recycleRequested_ && FindRunningInstance(*channel_, identity.value)) {
        // Ends the process once its event loop runs, through the ordinary closing sequence.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TFormTail::SetTailStatus(int state) {
    engine_->SetTailStatus(state);
}

int TFormTail::TailStatus() const {
    return engine_->TailStatus();
}

namespace {

// Each dismissed dialog's exec returns once control is back in its own event loop.
void DismissModalDialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

} // namespace

void TFormTail::CloseUnattended() {
    gate_->SetUnattended(true);
    DismissModalDialogs();
    if (closingUnattended_)
        return;
    closingUnattended_ = true;
    // Queued: the loop of a dismissed dialog unwinds first, and the window never closes half made.
    if (created_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TFormTail::ClosingSequence() {
    if (closingDone_)
        return;
    closingDone_ = true;
    // A failure met while closing is written out too; with nobody there, only written out.
    gate_->SetEchoToStandardError(true);
    SetProgramClosing(true);
    TimerColor_.stop();
    SetTailStatus(tsStop);
    QCoreApplication::processEvents();
    alerts_->HideWindow();
    QCoreApplication::processEvents();
}

void TFormTail::closeEvent(QCloseEvent* event) {
    ClosingSequence();
    event->accept();
    QCoreApplication::quit();
}

void TFormTail::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (engine_)
        PlaceTailWidgets(ui_, centralWidget(), TailStatus() == tsStart);
}

QSize TFormTail::ClientSizeForOuter(const QSize& outer) const {
    const QSize frame = frameGeometry().size() - geometry().size();
    return outer - frame;
}

qint64 TFormTail::DisplayColorCount() const {
    return services_.displayColorCount > 0 ? services_.displayColorCount : ScreenColorCount(*this);
}
