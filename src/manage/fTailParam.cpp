#include "manage/fTailParam.h"

#include <atomic>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "manage/highlight_rules_editor.h"
#include "manage/param_color_box.h"
#include "platform/dialogs.h"
#include "platform/launch.h"
#include "platform/mail_sender.h"
#include "platform/send_to_entry.h"
#include "settings/uParam.h"
#include "util/colors.h"
#include "widgets/panel_tint.h"

namespace {

const QString kSoundFilter = QStringLiteral("Sound WAV|*.wav|MP3 File|*.mp3|All|*.*");
const QString kNoThreadQuestion = QStringLiteral("You choose NOT to use THREAD for tailing. Are you sure ?");

// The colour boxes and the parameters they edit.
struct ColorBinding {
    TColorBox* TailParamWidgets::*box;
    quint32 TTailParam::*value;
};
constexpr ColorBinding kColorBindings[] = {
    {&TailParamWidgets::RzColorEdit_TailingDay, &TTailParam::tailcolor_day},
    {&TailParamWidgets::RzColorEdit_TailingNight, &TTailParam::tailcolor_night},
    {&TailParamWidgets::RzColorEdit_FilterDay, &TTailParam::filtercolor_day},
    {&TailParamWidgets::RzColorEdit_FilterNight, &TTailParam::filtercolor_night},
    {&TailParamWidgets::RzColorEdit_StopDay, &TTailParam::stoppedcolor_day},
    {&TailParamWidgets::RzColorEdit_StopNight, &TTailParam::stoppedcolor_night},
    {&TailParamWidgets::RzColorEdit_GUIFontDay, &TTailParam::guifontcolor_day},
    {&TailParamWidgets::RzColorEdit_GUIFontNight, &TTailParam::guifontcolor_night},
    {&TailParamWidgets::RzColorEdit_GUIDay, &TTailParam::guicolor_day},
    {&TailParamWidgets::RzColorEdit_GUINight, &TTailParam::guicolor_night},
};

// The plain check boxes and their flags (those with a setter are handled on their own).
struct FlagBinding {
    QCheckBox* TailParamWidgets::*box;
    bool TTailParam::*flag;
};
constexpr FlagBinding kFlagBindings[] = {
    {&TailParamWidgets::CheckBoxUseTHREAD, &TTailParam::usethread},
    {&TailParamWidgets::CheckBoxSwitchDayColor, &TTailParam::switchdaycolor},
    {&TailParamWidgets::CheckBoxAlertBTF, &TTailParam::alertbtf},
    {&TailParamWidgets::CheckBoxPlayAlertSound, &TTailParam::playalertsound},
    {&TailParamWidgets::CheckBoxSendAlertEMAIL, &TTailParam::sendalertemail},
    {&TailParamWidgets::CheckBoxFileChangeBTF, &TTailParam::filechangebtf},
    {&TailParamWidgets::CheckBoxPlayFileChangeSound, &TTailParam::playfilechangesound},
    {&TailParamWidgets::CheckBoxPlayFileChangeSoundOnlyIfSince, &TTailParam::filechangesoundonlyifsince},
    {&TailParamWidgets::CheckBoxPlayFileChangeSoundOnlyIfMinimized,
     &TTailParam::filechangesoundonlyifminimized},
    {&TailParamWidgets::CheckBoxShowRemLineInfo, &TTailParam::showremlineinfo},
    {&TailParamWidgets::CheckBoxAlwaysScroll, &TTailParam::alwaysscroll},
    {&TailParamWidgets::CheckBoxExpandTreeview, &TTailParam::autoexpandtree},
    {&TailParamWidgets::CheckBoxColorByLevel, &TTailParam::colorlinesbylevel},
};

struct TextBinding {
    QLineEdit* TailParamWidgets::*field;
    QString TTailParam::*text;
};
constexpr TextBinding kTextBindings[] = {
    {&TailParamWidgets::EditAlertSoundFile, &TTailParam::alertsoundfile},
    {&TailParamWidgets::EditAlerteMAIL, &TTailParam::alertemail},
    {&TailParamWidgets::EditFileChangeSoundFile, &TTailParam::filechangesoundfile},
    {&TailParamWidgets::Edit_SMTPServer, &TTailParam::smtpserver},
    {&TailParamWidgets::Edit_SMTPLogin, &TTailParam::smtplogin},
    {&TailParamWidgets::Edit_SMTPFrom, &TTailParam::smtpfrom},
    {&TailParamWidgets::Edit_SMTPPassword, &TTailParam::smtppassword},
};

QString IdentityText(quint32 identity) {
    return u'$' + QStringLiteral("%1").arg(identity, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TFormTailParam::TFormTailParam(TTailParam& params, TailParamServices services, QWidget* parent)
    : QDialog(parent), params_(params), services_(services) {
    setObjectName(QStringLiteral("FormTailParam"));
    setWindowTitle(QStringLiteral("KOVRA - Configuration panel"));
    setModal(true);
    w_ = BuildTailParamWidgets(*this, *services_.dialogs);
    w_.PageControl->setCurrentIndex(0);
    ConnectControls();
    ApplyTaggedPanelTint(*this, kColorBtnFace, ScreenColorCount(*this));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QRect(QPoint(), sizeHint()).center());
}

TFormTailParam::~TFormTailParam() = default;

void TFormTailParam::ConnectControls() {
    connect(w_.ButtonOK, &QPushButton::clicked, this, &TFormTailParam::OnOk);
    connect(w_.ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(w_.CheckBox_ShellSendTo, &QCheckBox::toggled, this, &TFormTailParam::OnSendToToggled);
    connect(w_.SpeedButtonBrowseAlertSound, &QToolButton::clicked, this,
            [this] { OnBrowseSound(w_.EditAlertSoundFile); });
    connect(w_.SpeedButtonBrowseFileChangeSound, &QToolButton::clicked, this,
            [this] { OnBrowseSound(w_.EditFileChangeSoundFile); });
    connect(w_.RzBitBtnFont, &QPushButton::clicked, this, &TFormTailParam::OnChooseFont);
    connect(w_.SpeedButtonTestMail, &QToolButton::clicked, this, &TFormTailParam::OnTestMail);
    // The link label: elided to its width, and a double click opens the entry's folder.
    w_.LabelPathShortCut->installEventFilter(this);
}

void TFormTailParam::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        LoadControls();
    }
}

void TFormTailParam::LoadControls() {
    for (const FlagBinding& b : kFlagBindings)
        (w_.*b.box)->setChecked(params_.*b.flag);
    for (const TextBinding& b : kTextBindings)
        (w_.*b.field)->setText(params_.*b.text);
    for (const ColorBinding& b : kColorBindings)
        (w_.*b.box)->SetValue(params_.*b.value);
    w_.CheckBoxAlwaysOnTop->setChecked(params_.alwaysontop);
    w_.CheckBoxMinimizeToTray->setChecked(params_.minimizetotray);
    w_.CheckBoxRemovePathonTaskbar->setChecked(params_.removepathontaskbar);
    w_.CheckBoxUseAlphaBlend->setChecked(params_.usealphablend);
    w_.CheckBoxNotifyAlert->setChecked(params_.notifyalert);
    w_.CheckBoxNotifyFileChange->setChecked(params_.notifyfilechange);
    w_.RzSpinEditAlphaBlendValue->setValue(params_.alphablendvalue);
    w_.RzSpinEditSince->setValue(params_.filechangesoundonlyifsincedelay);
    w_.RzSpinEdit_Day->setValue(params_.daystartat);
    w_.RzSpinEdit_Night->setValue(params_.nightstartat);
    w_.ComboBoxThreadPriority->setCurrentIndex(params_.threadprio - 1);
    w_.ComboBoxFilterBA->setCurrentIndex(params_.filterBAmode - 1);
    w_.LabelFontName->setText(params_.pathcombofontname);
    w_.HighlightRules->SetRules(params_.highlightRules);
    // Checking the box runs its action, which only shows the path of an entry that exists.
    linkPath_.clear();
    ShowLinkPath();
    w_.CheckBox_ShellSendTo->setChecked(QFileInfo::exists(SendToEntryPath()));
    LoadInformation();
}

void TFormTailParam::LoadInformation() {
    w_.MemoCommandLine->setPlainText(params_.CommandLine);
    w_.LabelCommandLineId->setText(IdentityText(params_.Identity));
}

// In the order the parameters have always been written; the setters act on the window at once.
void TFormTailParam::WriteControls() {
    params_.usethread = w_.CheckBoxUseTHREAD->isChecked();
    params_.threadprio = w_.ComboBoxThreadPriority->currentIndex() + 1;
    params_.filterBAmode = w_.ComboBoxFilterBA->currentIndex() + 1;
    params_.SetMinimizeToTray(w_.CheckBoxMinimizeToTray->isChecked());
    params_.SetRemovePathOnTaskbar(w_.CheckBoxRemovePathonTaskbar->isChecked());
    params_.SetAlwaysOnTop(w_.CheckBoxAlwaysOnTop->isChecked());
    params_.SetAlphaBlendValue(w_.RzSpinEditAlphaBlendValue->value());
    params_.SetUseAlphaBlend(w_.CheckBoxUseAlphaBlend->isChecked());
    for (const FlagBinding& b : kFlagBindings)
        params_.*b.flag = (w_.*b.box)->isChecked();
    params_.filechangesoundonlyifsincedelay = w_.RzSpinEditSince->value();
    for (const TextBinding& b : kTextBindings)
        params_.*b.text = (w_.*b.field)->text();
    for (const ColorBinding& b : kColorBindings)
        params_.*b.value = (w_.*b.box)->Value();
    params_.daystartat = w_.RzSpinEdit_Day->value();
    params_.nightstartat = w_.RzSpinEdit_Night->value();
    params_.SetPathComboFontName(w_.LabelFontName->text());
    params_.SetNotifyAlert(w_.CheckBoxNotifyAlert->isChecked());
    params_.SetNotifyFileChange(w_.CheckBoxNotifyFileChange->isChecked());
    params_.highlightRules = w_.HighlightRules->Rules();
}

void TFormTailParam::OnOk() {
    // Written before the closing question: a No leaves them in the live parameters.
    WriteControls();
    accept();
}

void TFormTailParam::done(int result) {
    if (sending_)
        return;
    if (!w_.CheckBoxUseTHREAD->isChecked() &&
        !services_.dialogs->AskYesNo(DialogService::Icon::Warning, kNoThreadQuestion))
        return;
    QDialog::done(result);
}

void TFormTailParam::closeEvent(QCloseEvent* event) {
    if (sending_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event); // rejects, which asks
}

void TFormTailParam::OnSendToToggled(bool checked) {
    const QString path = SendToEntryPath();
    if (checked) {
        linkPath_ = path;
        // Reports nothing: a failed creation still shows the path.
        CreateSendToEntry(path, QCoreApplication::applicationFilePath(),
                          w_.CheckBox_ShellAddStart->isChecked());
    } else {
        linkPath_.clear();
        QFile::remove(path);
    }
    ShowLinkPath();
}

void TFormTailParam::ShowLinkPath() {
    QLabel* label = w_.LabelPathShortCut;
    label->setText(label->fontMetrics().elidedText(linkPath_, Qt::ElideMiddle, qMax(label->width(), 40)));
    label->setToolTip(linkPath_);
}

bool TFormTailParam::eventFilter(QObject* watched, QEvent* event) {
    if (watched == w_.LabelPathShortCut) {
        if (event->type() == QEvent::Resize)
            ShowLinkPath();
        else if (event->type() == QEvent::MouseButtonDblClick && !linkPath_.isEmpty())
            ShellRun(QFileInfo(linkPath_).absolutePath(), QString(), QString(), 0, 1, false);
    }
    return QDialog::eventFilter(watched, event);
}

void TFormTailParam::OnBrowseSound(QLineEdit* field) {
    const QString path = services_.dialogs->ChooseOpenFile(kSoundFilter);
    if (!path.isEmpty())
        field->setText(path);
}

void TFormTailParam::OnChooseFont() {
    // Only the face is kept; size, style and colour are not used.
    QFont font(w_.LabelFontName->text());
    if (services_.dialogs->ChooseFont(font, nullptr))
        w_.LabelFontName->setText(font.family());
}

void TFormTailParam::OnTestMail() {
    MailMessage message;
    message.server = w_.Edit_SMTPServer->text();
    message.login = w_.Edit_SMTPLogin->text();
    message.password = w_.Edit_SMTPPassword->text();
    message.from = w_.Edit_SMTPFrom->text();
    message.recipients = w_.EditAlerteMAIL->text();
    message.subject = QStringLiteral("[KOVRA] Test mail");
    message.body = QStringLiteral("This is a test eMAIL.  server=") + message.server +
                   QStringLiteral(" - login=") + message.login + QStringLiteral("\r\n");
    QString error;
    if (SendRepainting(message, &error))
        services_.dialogs->ShowMessage(DialogService::Icon::Information,
                                       QStringLiteral("eMail is sent. Look for it !"));
    else
        services_.dialogs->ShowMessage(DialogService::Icon::Error, error);
}

bool TFormTailParam::SendRepainting(const MailMessage& message, QString* error) {
    if (!services_.mail) {
        *error = QStringLiteral("No SMTP client");
        return false;
    }
    // The exchange is bounded by the client's timeouts. Meanwhile the dialog keeps painting but
    // takes no input and cannot be closed, as if the exchange ran on this thread.
    sending_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    bool sent = false;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        sent = services_.mail->Send(message, error);
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Only the program's end leaves the loop before the exchange (a quit signal, say): it must
    // not wait for the server's silence.
    if (!done)
        services_.mail->Abort();
    worker.join();
    QApplication::restoreOverrideCursor();
    sending_ = false;
    return sent;
}
