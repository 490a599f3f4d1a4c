// The tail window's colours by tail state and by day and night, its title and the alarm picture.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QSystemTrayIcon>

#include <QApplication>
#include <QTime>

#include "engine/alerts.h"
#include "engine/tail_state.h"
#include "platform/instances.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "util/colors.h"
#include "util/version_text.h"
#include "widgets/panel_tint.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

namespace {

// Two colours this far apart in lightness (0..255) read as text on background.
constexpr int kReadableLightnessGap = 96;

// A panel or label: its background and its text. Its children inherit no more, so check boxes
// and buttons keep the system's colours for their indicators and faces: a dark or saturated
// window colour cannot hide a check mark.
void PaintPanel(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

// An entry field (pattern combos, spins): the same colours for its text area too.
void PaintField(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    widget->setPalette(palette);
}

} // namespace

bool TFormTail::IsDayTime() const {
    const int hour = QTime::currentTime().hour();
    return params_->daystartat <= hour && hour < params_->nightstartat;
}

bool TFormTail::UseDayColors() const {
    return params_->switchdaycolor ? IsDayTime() : true;
}

void TFormTail::ApplyColors() {
    const TTailParam& p = *params_;
    const quint32 state = TailStatus() != tsStart           ? p.stoppedcolor_day
                          : ui_.CheckBoxFilter->isChecked() ? p.filtercolor_day
                                                            : p.tailcolor_day;
    const QPalette system = QApplication::style() ? QApplication::palette() : palette();
    const qint64 colors = DisplayColorCount();

    QPalette view = ui_.MemoTail->palette();
    if (colors < 1000) {
        view.setColor(QPalette::Base, Qt::white);
        ui_.MemoTail->setPalette(view);
        return;
    }
    const QColor stateColor = ResolveColor(state, system);
    const QColor fontColor = ResolveColor(manager_->GetCurrentDefinition()->GetFontColor(), system);
    const bool day = UseDayColors();
    view.setColor(QPalette::Base, day ? stateColor : fontColor);
    view.setColor(QPalette::Text, day ? fontColor : stateColor);
    ui_.MemoTail->setPalette(view);

    const bool daytime = IsDayTime();
    const QColor back = ResolveColor(daytime ? p.guicolor_day : p.guicolor_night, system);
    const QColor fore = ResolveColor(daytime ? p.guifontcolor_day : p.guifontcolor_night, system);
    PaintPanel(centralWidget(), back, fore);
    centralWidget()->setAutoFillBackground(true);
    PaintField(ui_.EditComboBox, system.color(QPalette::Base), system.color(QPalette::Text));
    for (QWidget* widget : std::initializer_list<QWidget*>{ui_.LabelFn, ui_.RzPanel1, ui_.RzStatusBar1})
        PaintPanel(widget, back, fore);
    // The file and resolver panes write in navy, unless the bar is too dark for it to be read.
    const QColor navy(0x00, 0x00, 0x80);
    const QColor paneText = qAbs(back.lightness() - navy.lightness()) >= kReadableLightnessGap ? navy : fore;
    for (QWidget* pane : std::initializer_list<QWidget*>{ui_.RzStatusPaneFile, ui_.RzStatusPaneRDNS})
        PaintPanel(pane, back, paneText);
    for (QWidget* widget : std::initializer_list<QWidget*>{ui_.RzComboBoxFilter, ui_.RzComboBoxAlarm,
                                                           ui_.RzSpinEditBufKo, ui_.RzSpinEditOffset,
                                                           ui_.RzSpinEditTab, ui_.RzSpinEditFilterHistory})
        PaintField(widget, back, fore);
    QPalette panel = ui_.RzPanel2->palette();
    panel.setColor(QPalette::Window, back);
    ui_.RzPanel2->setPalette(panel);

    const QColor highlight = system.color(QPalette::Highlight);
    PaintPanel(ui_.RzLabelFilter, filterInverted_ ? highlight : back,
               filterInverted_ ? QColor(Qt::white) : fore);
    PaintPanel(ui_.RzLabelAlert, alertInverted_ ? highlight : back,
               alertInverted_ ? QColor(Qt::white) : fore);
    ApplyTaggedPanelTint(*this, QColorToColor(back), colors);
}

void TFormTail::OnColorTimer() {
    const bool day = IsDayTime();
    if (day == dayFlag_)
        return;
    dayFlag_ = day;
    ApplyColors();
}

void TFormTail::UpdateTitle() {
    caption_ = QStringLiteral("KOVRA - ") + VersionText(QString(), true, false);
    if (channel_)
        channel_->SetCaption(caption_);
    ShowTitles();
}

void TFormTail::SetApplicationTitle(const QString& title) {
    applicationTitle_ = title;
    ShowTitles();
}

void TFormTail::ShowTitles() {
    // Only this window: an application-wide display name would follow every dialog's caption.
    setWindowTitle(applicationTitle_.isEmpty() ? caption_
                                               : caption_ + QStringLiteral(" \u2014 ") + applicationTitle_);
    if (windowIconText() != applicationTitle_)
        setWindowIconText(applicationTitle_);
    ShowTrayToolTip();
}

void TFormTail::UpdateAlarmImage() {
    ui_.ImageAlarm->setVisible(
        AlarmImageVisible(*params_, ui_.CheckBoxAlert->isChecked(), ui_.RzComboBoxAlarm->currentText()));
}
