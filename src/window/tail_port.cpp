#include "window/tail_port.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSystemTrayIcon>

#include "manage/fTailAlerts.h"
#include "platform/sound_player.h"
#include "settings/uList.h"
#include "widgets/kovra_resources.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

TailWindowAdapter::TailWindowAdapter(TFormTail& window) : w_(window) {}

TailWindowAdapter::~TailWindowAdapter() = default;

int TailWindowAdapter::ReadBufferKo() const {
    return w_.ui_.RzSpinEditBufKo->value();
}
void TailWindowAdapter::SetReadBufferKo(int kilobytes) {
    w_.ui_.RzSpinEditBufKo->setValue(kilobytes);
}
int TailWindowAdapter::Offset() const {
    return w_.ui_.RzSpinEditOffset->value();
}
void TailWindowAdapter::SetOffset(int bytes) {
    w_.ui_.RzSpinEditOffset->setValue(bytes);
}
bool TailWindowAdapter::AutoOffset() const {
    return w_.ui_.CheckBoxAutoOffset->isChecked();
}
void TailWindowAdapter::SetAutoOffset(bool on) {
    w_.ui_.CheckBoxAutoOffset->setChecked(on);
}
bool TailWindowAdapter::FilterOn() const {
    return w_.ui_.CheckBoxFilter->isChecked();
}
bool TailWindowAdapter::AlertOn() const {
    return w_.ui_.CheckBoxAlert->isChecked();
}
bool TailWindowAdapter::ReverseDnsOn() const {
    return w_.ui_.CheckBoxReverseDNS->isChecked();
}
bool TailWindowAdapter::KillLine() const {
    return w_.ui_.ItemCompactLine->isChecked();
}
void TailWindowAdapter::SetKillLine(bool on) {
    w_.ui_.ItemCompactLine->setChecked(on);
}
bool TailWindowAdapter::KillSpace() const {
    return w_.ui_.CheckBoxCompactSpace->isChecked();
}
void TailWindowAdapter::SetKillSpace(bool on) {
    w_.ui_.CheckBoxCompactSpace->setChecked(on);
}
bool TailWindowAdapter::UseTabs() const {
    return w_.ui_.CheckBoxTabs->isChecked();
}
void TailWindowAdapter::SetUseTabs(bool on) {
    w_.ui_.CheckBoxTabs->setChecked(on);
}

void TailWindowAdapter::SetWrap(bool on) {
    if (w_.ui_.CheckBoxWrap->isChecked() == on)
        return;
    // As a click would: the view follows the box.
    w_.ui_.CheckBoxWrap->setChecked(on);
    w_.OnWrapClicked();
}

int TailWindowAdapter::TabWidth() const {
    return w_.ui_.RzSpinEditTab->value();
}
void TailWindowAdapter::SetTabWidth(int dialogUnits) {
    w_.ui_.RzSpinEditTab->setValue(dialogUnits);
}
int TailWindowAdapter::ContextLines() const {
    return w_.ui_.RzSpinEditFilterHistory->value();
}
QString TailWindowAdapter::FilterPattern() const {
    return w_.ui_.RzComboBoxFilter->currentText();
}
QString TailWindowAdapter::AlertPattern() const {
    return w_.ui_.RzComboBoxAlarm->currentText();
}
bool TailWindowAdapter::FilterInverted() const {
    return w_.filterInverted_;
}
bool TailWindowAdapter::AlertInverted() const {
    return w_.alertInverted_;
}

QString TailWindowAdapter::FileNameText() const {
    return w_.ui_.EditComboBox->text();
}
void TailWindowAdapter::SetFileNameText(const QString& text) {
    w_.ui_.EditComboBox->setText(text);
}

void TailWindowAdapter::SetFileNameEditVisible(bool visible) {
    w_.ui_.EditComboBox->setVisible(visible);
    // While the edit is hidden, the painted panel shows the alias and the typed name in its place.
    if (!visible)
        w_.ui_.RzPanelEditFN->SetTexts(w_.manager_->GetCurrentAlias(), w_.manager_->FileName);
    w_.ui_.RzPanelEditFN->setVisible(!visible);
}

TailViewState TailWindowAdapter::ViewState() const {
    const TailView* view = w_.ui_.MemoTail;
    return {view->Snapshot(), view->FirstVisibleLine(), view->LinesThatFit(), view->Selection()};
}

// Nothing is painted before the event loop runs again, so the new text, its scroll position and
// its selection show together.
void TailWindowAdapter::PublishView(const TailViewUpdate& update) {
    TailView* view = w_.ui_.MemoTail;
    view->SetSnapshot(update.snapshot);
    if (update.scrollToEnd)
        view->ScrollToEnd();
    else
        view->SetFirstVisibleLine(update.firstVisibleLine);
    if (update.selection)
        view->Select(*update.selection);
}

void TailWindowAdapter::ApplyTabStops(int dialogUnits) {
    TailView* view = w_.ui_.MemoTail;
    const qreal averageWidth = QFontMetricsF(view->font()).averageCharWidth();
    view->SetTabStopDistance(dialogUnits * averageWidth / 4.0);
}

void TailWindowAdapter::ApplyDefaultTabStops() {
    // Eight average characters, the classic default.
    TailView* view = w_.ui_.MemoTail;
    view->SetTabStopDistance(8 * QFontMetricsF(view->font()).averageCharWidth());
}

void TailWindowAdapter::ApplyViewFont(const QFont& font, quint32 /*color*/) {
    // The text colour comes from ApplyColors, which also knows the day and night arrangement.
    w_.ui_.MemoTail->setFont(font);
}

void TailWindowAdapter::SetBottomIndicator(bool atBottom) {
    QLabel* indicator = w_.ui_.ImageIndicator;
    const char* picture = atBottom ? kImageBottom : kImageMiddle;
    if (indicator->property("picture").toString() == QLatin1String(picture))
        return;
    indicator->setProperty("picture", QLatin1String(picture));
    indicator->setPixmap(KovraPicture(picture).pixmap(16, 16));
}

void TailWindowAdapter::SetStatePane(const QString& text) {
    w_.ui_.RzStatusPanesSTATE->setText(text);
}
void TailWindowAdapter::SetTimePane(const QString& text) {
    w_.ui_.RzStatusPaneTime->setText(text);
}
void TailWindowAdapter::SetInfoPane(const QString& text) {
    w_.ui_.RzStatusPaneINFO->setText(text);
}

void TailWindowAdapter::SetFileStatus(const QString& filePane, const QString& infoPane) {
    w_.ui_.RzStatusPaneFile->setText(filePane);
    w_.ui_.RzStatusPaneINFO->setText(infoPane);
}

void TailWindowAdapter::SetFileLabel(const QString& text) {
    w_.ui_.LabelFn->setText(text);
    w_.ApplyLocalFileCommands(text);
}

void TailWindowAdapter::SetApplicationTitle(const QString& text) {
    w_.SetApplicationTitle(text);
}

void TailWindowAdapter::SetTrayHint(const QString& text) {
    w_.SetTrayHint(text);
}
void TailWindowAdapter::AdvanceTrayImage() {
    w_.AdvanceTrayImage();
}
void TailWindowAdapter::SetStartMenuCaption(const QString& text) {
    w_.Start1_->setText(text);
}

void TailWindowAdapter::SetStartedLayout(bool started) {
    w_.ui_.PanelCB->setVisible(started);
    PlaceTailWidgets(w_.ui_, w_.centralWidget(), started);
}

void TailWindowAdapter::SetStartStopButtons(bool started) {
    w_.ui_.RzBitBtnStart->setVisible(!started);
    w_.ui_.RzBitBtnStop->setVisible(started);
}

void TailWindowAdapter::ApplyColors() {
    w_.ApplyColors();
}

void TailWindowAdapter::SetBusyCursor(bool busy) {
    if (busy == busyCursor_)
        return;
    busyCursor_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QSize TailWindowAdapter::WindowOuterSize() const {
    return w_.frameGeometry().size();
}

// A stored size is the user's file to edit: it is bounded by the screen's available area (a
// width of 2147483647 would take gigabytes of window buffers) and by the window's minimum.
void TailWindowAdapter::SetWindowOuterSize(const QSize& size) {
    QSize bounded = size;
    if (const QScreen* screen = w_.screen() ? w_.screen() : QGuiApplication::primaryScreen())
        bounded = bounded.boundedTo(screen->availableGeometry().size());
    w_.resize(w_.ClientSizeForOuter(bounded).expandedTo(w_.minimumSize()));
}

void TailWindowAdapter::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void TailWindowAdapter::InsertAlertLine(const QString& line) {
    w_.alerts_->AddAlertLine(line);
}
bool TailWindowAdapter::AlertsWindowVisible() const {
    return w_.alerts_->isVisible();
}
void TailWindowAdapter::ShowAlertsWindow() {
    w_.alerts_->ShowIfHidden();
}
void TailWindowAdapter::RestoreWindow() {
    w_.RestoreOperation();
}
bool TailWindowAdapter::IsMinimized() const {
    return w_.isMinimized() || w_.hiddenToTray_;
}

void TailWindowAdapter::PlaySound(const QString& fileName) {
    if (w_.services_.sound)
        w_.services_.sound->Play(fileName);
}
