// How the tail window lives on the desktop: the tray icon and its menu, the show/hide requests of
// the other running windows, minimising and restoring, the first activation and dropped files.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QTimer>

#include "engine/tail_state.h"
#include "manage/fTailAbout.h"
#include "platform/dbus_alert_notifier.h"
#include "platform/file_names.h"
#include "platform/instances.h"
#include "settings/uParam.h"
#include "widgets/kovra_resources.h"
#include "window/fTail.h"

namespace {

// Dropped paths longer than this are cut, as the file-name field takes no more.
constexpr int kMaxDroppedPath = 254;

} // namespace

void TFormTail::CreateTray() {
    trayMenu_ = new QMenu(this);
    QAction* about = trayMenu_->addAction(QStringLiteral("About Kovra"));
    about->setObjectName(QStringLiteral("AboutKovra1"));
    connect(about, &QAction::triggered, this, [this] {
        TFormAbout box(this);
        box.exec();
    });
    trayMenu_->addSeparator();
    Start1_ = trayMenu_->addAction(QStringLiteral("Start"));
    Start1_->setObjectName(QStringLiteral("Start1"));
    connect(Start1_, &QAction::triggered, this, &TFormTail::OnTrayStartStop);
    QAction* show = trayMenu_->addAction(QStringLiteral("Show Kovra"));
    show->setObjectName(QStringLiteral("ShowKovra1"));
    connect(show, &QAction::triggered, this, &TFormTail::RestoreOperation);
    QAction* hide = trayMenu_->addAction(QStringLiteral("Hide Kovra"));
    hide->setObjectName(QStringLiteral("Hide1"));
    connect(hide, &QAction::triggered, this, &TFormTail::MinimizeOperation);
    trayMenu_->addSeparator();
    QAction* showAll = trayMenu_->addAction(QStringLiteral("Show all"));
    showAll->setObjectName(QStringLiteral("Showall1"));
    connect(showAll, &QAction::triggered, this, [] { ShowAll(); });
    QAction* hideAll = trayMenu_->addAction(QStringLiteral("Hide all"));
    hideAll->setObjectName(QStringLiteral("Hideall1"));
    connect(hideAll, &QAction::triggered, this, [] { HideAll(); });
    trayMenu_->addSeparator();
    QAction* quit = trayMenu_->addAction(QStringLiteral("Quit Kovra"));
    quit->setObjectName(QStringLiteral("QuitKovra1"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    for (int i = 0; i < int(trayIcons_.size()); ++i)
        trayIcons_[std::size_t(i)] = KovraPicture(kImageTray[i]);
    trayFrame_ = new QTimer(this);
    trayFrame_->setSingleShot(true);
    trayFrame_->setInterval(kTrayFrameMs);
    connect(trayFrame_, &QTimer::timeout, this, [this] {
        if (!tray_ || trayShown_ == trayImage_)
            return;
        trayShown_ = trayImage_;
        tray_->setIcon(trayIcons_[std::size_t(trayImage_)]);
        trayFrame_->start(); // the next image waits a frame too
    });
    setWindowIcon(KovraPicture(kImageProgram));
    // Making the icon asks the session bus whether a tray host is on it: while our own connection
    // to the bus is being made that would wait for it, so the icon comes once it is done.
    if (sessionNotifier_ && !sessionNotifier_->BusKnown())
        connect(sessionNotifier_, &DbusAlertNotifier::busKnown, this, &TFormTail::CreateTrayIcon,
                Qt::SingleShotConnection);
    else
        CreateTrayIcon();
}

void TFormTail::CreateTrayIcon() {
    if (tray_)
        return;
    tray_ = new QSystemTrayIcon(trayIcons_[std::size_t(trayImage_)], this);
    trayShown_ = trayImage_;
    tray_->setContextMenu(trayMenu_);
    trayToolTip_ = TrayToolTip();
    tray_->setToolTip(trayToolTip_);
    tray_->setVisible(trayWanted_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(int(reason)); });
}

bool TFormTail::TrayEnabled() const {
    // The icon is on the desktop: asked for, and a tray host there to show it. Minimising hides
    // into the tray exactly then, so the window is never hidden without an icon to bring it back,
    // whether the host came after the start or went away since.
    return tray_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TFormTail::ApplyTrayEnabled(bool enabled) {
    // Asked for even without a tray host: the icon is docked whenever a host appears.
    trayWanted_ = enabled;
    if (tray_)
        tray_->setVisible(enabled);
}

void TFormTail::ApplyAlphaBlend(bool use, qint32 value) {
    setWindowOpacity(use ? qBound(0, value, 255) / 255.0 : 1.0);
}

void TFormTail::AdvanceTrayImage() {
    trayImage_ = (trayImage_ + 1) % 4;
    if (!trayFrame_->isActive())
        trayFrame_->start();
}

void TFormTail::SetTrayHint(const QString& hint) {
    trayHint_ = hint;
    ShowTrayToolTip();
}

void TFormTail::ShowTrayToolTip() {
    const QString tip = TrayToolTip();
    if (!tray_ || tip == trayToolTip_)
        return;
    trayToolTip_ = tip;
    tray_->setToolTip(tip);
}

QString TFormTail::TrayToolTip() const {
    if (applicationTitle_.isEmpty() || applicationTitle_.endsWith(trayHint_))
        return applicationTitle_.isEmpty() ? trayHint_ : applicationTitle_;
    return applicationTitle_ + QLatin1Char('\n') + trayHint_;
}

void TFormTail::OnTrayActivated(int reason) {
    if (reason == QSystemTrayIcon::DoubleClick)
        RestoreOperation();
}

void TFormTail::OnTrayStartStop() {
    SetTailStatus(TailStatus() == tsStop ? tsStart : tsStop);
}

void TFormTail::RestoreOperation() {
    if (isMinimized())
        showNormal();
    if (TrayEnabled() || hiddenToTray_) {
        hiddenToTray_ = false;
        if (!isVisible())
            show();
        raise();
        activateWindow();
    }
}

void TFormTail::MinimizeOperation() {
    showMinimized();
    if (TrayEnabled()) {
        hiddenToTray_ = true;
        hide();
    }
}

void TFormTail::OnShowHideRequest(int mode) {
    if (mode == 0)
        RestoreOperation();
    else if (mode == 1)
        MinimizeOperation();
}

void TFormTail::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayEnabled() && !hiddenToTray_) {
        // Minimised by any means: only the tray icon stays.
        hiddenToTray_ = true;
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

bool TFormTail::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // The first activation consumes "/minimized". Some desktops never activate a window that was
    // not clicked, so the first show counts too, once the event loop runs.
    if (!firstActivationDone_ && (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)) {
        firstActivationDone_ = true;
        QTimer::singleShot(0, this, [this] {
            if (startMinimized_) {
                startMinimized_ = false;
                MinimizeOperation();
            }
        });
    }
    return handled;
}

namespace {

// The caption of the modal dialog or box open in this process, if any.
QString ModalCaption() {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal->windowTitle() : QString();
}

} // namespace

QMap<QString, QString> TFormTail::Describe(DescribeDetail detail) const {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const int status = TailStatus();
    QMap<QString, QString> description = {
        {QStringLiteral("status"), status == tsStart  ? QStringLiteral("started")
                                   : status == tsStop ? QStringLiteral("stopped")
                                                      : QStringLiteral("none")},
        {QStringLiteral("filename"), ui_.EditComboBox->text()},
        {QStringLiteral("filter"), flag(ui_.CheckBoxFilter->isChecked())},
        {QStringLiteral("filterpattern"), ui_.RzComboBoxFilter->currentText()},
        {QStringLiteral("alert"), flag(ui_.CheckBoxAlert->isChecked())},
        {QStringLiteral("alertpattern"), ui_.RzComboBoxAlarm->currentText()},
        {QStringLiteral("minimized"), flag(isMinimized())},
        {QStringLiteral("hidden"), flag(hiddenToTray_)},
        {QStringLiteral("visible"), flag(isVisible())},
        {QStringLiteral("trayicon"), flag(TrayEnabled())},
        {QStringLiteral("modal"), ModalCaption()},
        {QStringLiteral("platform"), QGuiApplication::platformName()},
    };
    DescribeView(description, detail);
    return description;
}

void TFormTail::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TFormTail::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    SetTailStatus(tsStop);
    ui_.EditComboBox->setText(FileNameFromUrl(urls.first()).left(kMaxDroppedPath));
    event->acceptProposedAction();
}
