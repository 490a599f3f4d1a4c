// The tail window's controls: what each click and change does.
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

#include "engine/tail_state.h"
#include "manage/fTailAlerts.h"
#include "platform/dialogs.h"
#include "platform/file_names.h"
#include "settings/histories.h"
#include "settings/uList.h"
#include "source/source.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"
#include "window/tail_port.h"

namespace {

const QString kBrowseFilter = QStringLiteral("Text File|*.txt|Log file|*.log|All file|*.*");

} // namespace

void TFormTail::ConnectControls() {
    ConnectPatternControls();
    ConnectOptionControls();
    ConnectButtons();
    ConnectViewControls();
}

void TFormTail::ConnectPatternControls() {
    connect(ui_.CheckBoxFilter, &QCheckBox::clicked, this, &TFormTail::OnFilterClicked);
    connect(ui_.RzComboBoxFilter, &QComboBox::editTextChanged, this, [this] {
        if (ui_.CheckBoxAutoOffset->isChecked())
            ui_.RzSpinEditOffset->setValue(0);
    });
    connect(ui_.RzLabelFilter, &ClickableLabel::released, this, &TFormTail::OnFilterLabelReleased);
    connect(ui_.CheckBoxAlert, &QCheckBox::clicked, this, &TFormTail::OnAlertClicked);
    connect(ui_.RzComboBoxAlarm, &QComboBox::editTextChanged, this, &TFormTail::UpdateAlarmImage);
    connect(ui_.RzLabelAlert, &ClickableLabel::released, this, &TFormTail::OnAlertLabelReleased);
}

void TFormTail::ConnectOptionControls() {
    connect(ui_.CheckBoxReverseDNS, &QCheckBox::clicked, this, &TFormTail::OnReverseDnsClicked);
    connect(ui_.CheckBoxWrap, &QCheckBox::clicked, this, &TFormTail::OnWrapClicked);
    connect(ui_.CheckBox_Top, &QCheckBox::clicked, this, &TFormTail::OnAlwaysOnTopClicked);
    connect(ui_.RzStatusPanesSTATE, &StatusPane::clicked, this, [this] { engine_->ResetRefreshRate(); });
}

void TFormTail::ConnectButtons() {
    connect(ui_.RzBitBtnStart, &QPushButton::clicked, this, [this] { SetTailStatus(tsStart); });
    connect(ui_.RzBitBtnStop, &QPushButton::clicked, this, [this] { SetTailStatus(tsStop); });
    connect(ui_.SpeedButtonBrowse, &QToolButton::clicked, this, &TFormTail::OnBrowse);
    connect(ui_.SpeedButtonAddManager, &QToolButton::clicked, this, &TFormTail::OnAddToManager);
    connect(ui_.RzBitBtnOpenTree, &QPushButton::clicked, this, &TFormTail::OnOpenTree);
    connect(ui_.SpeedButtonManager, &QToolButton::clicked, this, &TFormTail::OnOpenManager);
    connect(ui_.SpeedButtonControlPanel, &QToolButton::clicked, this, &TFormTail::OnOpenParameters);
    ConnectFileCommands();
    // The clear button and the notepad button also answer the right button: watched below.
    ui_.SpeedButtonClear->installEventFilter(this);
    ui_.SpeedButtonNotePad->installEventFilter(this);
}

bool TFormTail::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (watched == ui_.MemoTail) {
        if (type == QEvent::Resize)
            PlaceBottomIndicator(ui_);
        else if (type == QEvent::FocusOut)
            engine_->MouseHeld().store(false);
    } else if (watched == ui_.MemoTail->viewport()) {
        TrackViewHold(*event);
    } else if (type == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* button = static_cast<QWidget*>(watched);
        const bool inside = button->rect().contains(mouse->position().toPoint());
        if (watched == ui_.SpeedButtonClear && inside) {
            OnClearReleased(mouse->button());
        } else if (watched == ui_.SpeedButtonNotePad && inside && mouse->button() == Qt::RightButton) {
            ui_.PopupMenuAction->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// The passes leave the view alone while a button is held in it. The release does not always come
// back to the view (a context menu opened on the press takes it, a window hidden or deactivated
// meanwhile never sees it), so every way a press can end ends the hold.
void TFormTail::TrackViewHold(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        engine_->MouseHeld().store(true);
        break;
    case QEvent::MouseButtonRelease:
        engine_->MouseHeld().store(static_cast<const QMouseEvent&>(event).buttons() != Qt::NoButton);
        break;
    case QEvent::ContextMenu:
    case QEvent::Hide:
        engine_->MouseHeld().store(false);
        break;
    default:
        break;
    }
}

void TFormTail::OnFilterClicked() {
    if (TailStatus() == tsStart)
        ApplyColors();
    if (ui_.CheckBoxFilter->isChecked())
        AddToHistory(ui_.RzComboBoxFilter);
    if (ui_.CheckBoxAutoOffset->isChecked())
        ui_.RzSpinEditOffset->setValue(0);
}

void TFormTail::OnAlertClicked() {
    UpdateAlarmImage();
    try {
        if (ui_.CheckBoxAlert->isChecked()) {
            alerts_->ShowAtTopLeft();
            AddToHistory(ui_.RzComboBoxAlarm);
        } else {
            alerts_->HideWindow();
        }
    } catch (const std::exception&) {
        // Showing or hiding the alerts window never stops the user.
    }
}

void TFormTail::OnFilterLabelReleased() {
    filterInverted_ = !filterInverted_;
    ApplyColors();
    engine_->ResetRefreshRate();
}

void TFormTail::OnAlertLabelReleased() {
    alertInverted_ = !alertInverted_;
    ApplyColors();
    engine_->ResetRefreshRate();
}

void TFormTail::OnReverseDnsClicked() {
    engine_->ResetRefreshRate();
    ui_.RzStatusPaneRDNS->setVisible(ui_.CheckBoxReverseDNS->isChecked());
}

void TFormTail::OnWrapClicked() {
    TailView* view = ui_.MemoTail;
    const bool wrap = ui_.CheckBoxWrap->isChecked();
    view->SetWrap(wrap);
    view->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    view->ScrollToEnd();
    PlaceTailWidgets(ui_, centralWidget(), TailStatus() == tsStart);
}

void TFormTail::WithTailStopped(const std::function<void()>& work) {
    // A running tail restarts afterwards, taking its settings from the definition again.
    const int remembered = TailStatus();
    SetTailStatus(tsStop);
    work();
    SetTailStatus(remembered);
}

void TFormTail::OnAlwaysOnTopClicked() {
    WithTailStopped([this] { ApplyWindowStaysOnTop(ui_.CheckBox_Top->isChecked()); });
}

void TFormTail::ApplyWindowStaysOnTop(bool onTop) {
    if (bool(windowFlags() & Qt::WindowStaysOnTopHint) == onTop)
        return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible)
        show(); // changing the flags hides a window
}

void TFormTail::OnBrowse() {
    SetTailStatus(tsStop);
    // A chooser made of Qt's widgets hands undecodable bytes back as U+FFFD: found again on disk.
    const QString path = RecoverFileName(services_.dialogs->ChooseOpenFile(kBrowseFilter));
    if (!path.isEmpty())
        ui_.EditComboBox->setText(path);
}

namespace {

// Truncating and deleting the shown file: ask first, report a failure. verb names the act in the
// question ("clear", "DELETE") and in the failure message ("clear", "delete").
void ActOnShownFile(DialogService& dialogs, const QString& name, const QString& askVerb,
                    const QString& failVerb, const std::function<bool()>& act) {
    if (!SourceKindOf(name).Traits().localFile || !StatFile(name).isFile)
        return;
    if (!dialogs.AskYesNo(DialogService::Icon::Warning,
                          QStringLiteral("WARNING ! Do you really want to ") + askVerb +
                              QStringLiteral(" physically the file [") + name + QStringLiteral("] ?")))
        return;
    if (!act())
        dialogs.ShowMessage(DialogService::Icon::Error, QStringLiteral("Unable to ") + failVerb +
                                                            QStringLiteral(" the file [") + name +
                                                            QStringLiteral("]. Check the rights !"));
}

} // namespace

void TFormTail::OnClearReleased(Qt::MouseButton button) {
    if (button == Qt::RightButton) {
        engine_->HidePoint().store(0);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    const QString name = ui_.LabelFn->text();
    const Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    if (modifiers & Qt::ControlModifier) {
        ActOnShownFile(*services_.dialogs, name, QStringLiteral("clear"), QStringLiteral("clear"), [&name] {
            QFile file; // created anew, empty
            return OpenFile(file, name, QIODevice::WriteOnly | QIODevice::Truncate);
        });
    } else if (modifiers & Qt::ShiftModifier) {
        ActOnShownFile(*services_.dialogs, name, QStringLiteral("DELETE"), QStringLiteral("delete"),
                       [&name] { return RemoveFile(name); });
    } else if (TailStatus() != tsStart) {
        ui_.MemoTail->SetSnapshot(ViewSnapshot());
    } else {
        engine_->ClearRequested().store(true);
    }
}

void TFormTail::AddToHistory(QComboBox* combo) {
    const QString text = combo->currentText();
    auto* history = combo == ui_.RzComboBoxFilter ? filterHistory_.get() : alarmHistory_.get();
    history->AddToHistory(text);
    combo->setEditText(text); // the model change must not replace the pattern being used
}
