#include "engine/alerts.h"

#include <QFileInfo>

#include "engine/clock.h"
#include "engine/pass_failure.h"
#include "engine/tail_runtime.h"
#include "engine/tail_window_port.h"
#include "platform/alert_notifier.h"
#include "platform/mail_sender.h"
#include "settings/uParam.h"
#include "util/date_time_text.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool FileExists(const QString& name) {
    return !name.isEmpty() && QFileInfo(name).isFile();
}

void FileChangeSound(TailRuntime& rt, const AlertServices& s) {
    const QDateTime now = s.clock.Now();
    bool play = true;
    if (s.params.filechangesoundonlyifminimized && !s.window.IsMinimized())
        play = false;
    else if (s.params.filechangesoundonlyifsince &&
             rt.LastFileChangeNoticeTime.msecsTo(now) <
                 qint64(s.params.filechangesoundonlyifsincedelay) * 1000)
        play = false;
    if (play && FileExists(s.params.filechangesoundfile))
        s.window.PlaySound(s.params.filechangesoundfile);
    rt.LastFileChangeNoticeTime = now;
}

void FileChangeNotice(const AlertFindings& f, TailRuntime& rt, const AlertServices& s) {
    if (s.params.filechangebtf)
        s.window.RestoreWindow();
    if (s.params.playfilechangesound)
        FileChangeSound(rt, s);
    s.window.InsertAlertLine(LongTimeText(s.clock.Now()) + QLatin1String(" - File has changed, file=[") +
                             f.fileName + QLatin1Char(']'));
    if (s.params.notifyfilechange && s.notifier)
        s.notifier->Notify(AlertKind::FileChange, f.fileName, QString());
}

void TextAlert(const AlertFindings& f, TailRuntime& rt, const AlertServices& s) {
    const QString lead =
        f.alertInverted ? QStringLiteral(" - Invert Alert text=[") : QStringLiteral(" - Alert text=[");
    s.window.InsertAlertLine(LongTimeText(s.clock.Now()) + lead + f.alertPattern +
                             QLatin1String("], line=[") + f.alertLine + QLatin1String("], file=[") +
                             f.fileName + QLatin1Char(']'));
    if (!s.window.AlertsWindowVisible())
        s.window.ShowAlertsWindow();
    if (s.params.alertbtf)
        s.window.RestoreWindow();
    rt.LastAlertLine = f.alertLine;
    if (s.params.notifyalert && s.notifier)
        s.notifier->Notify(AlertKind::Text, f.fileName, f.alertLine);
    if (s.params.playalertsound && FileExists(s.params.alertsoundfile))
        s.window.PlaySound(s.params.alertsoundfile);
    if (s.params.sendalertemail && s.mail) {
        QString error;
        if (!s.mail->Send(BuildAlertMail(s.params, f, s.clock.Now()), &error))
            throw PassFailure(error);
    }
}

} // namespace

void RunAlertStep(const AlertFindings& findings, TailRuntime& rt, const AlertServices& services) {
    if (findings.alertOn && findings.alertPattern.isEmpty() && findings.viewChanged)
        FileChangeNotice(findings, rt, services);
    if (!findings.alertLine.isEmpty() && findings.alertLine != rt.LastAlertLine)
        TextAlert(findings, rt, services);
}

MailMessage BuildAlertMail(const TTailParam& params, const AlertFindings& findings, const QDateTime& now) {
    MailMessage message;
    message.server = params.smtpserver;
    message.login = params.smtplogin;
    message.password = params.smtppassword;
    message.from = params.smtpfrom;
    message.recipients = params.alertemail;
    message.subject = QLatin1String("[KOVRA] ALERT - File:") + findings.fileName;
    QStringList lines{QLatin1String("FILE=[") + findings.fileName + QLatin1Char(']'), QString(),
                      QLatin1String("TIME=[") + LongDateLongTimeText(now) + QLatin1Char(']')};
    if (findings.alertInverted)
        lines << QStringLiteral("INVERT");
    lines << QLatin1String("TEXT=[") + findings.alertPattern + QLatin1Char(']') << QString()
          << QLatin1String("LINE=[") + findings.alertLine + QLatin1Char(']');
    message.body = lines.join(kCrLf) + kCrLf;
    return message;
}

bool AlarmImageVisible(const TTailParam& params, bool alertChecked, const QString& alertPattern) {
    if (!alertChecked)
        return false;
    if (params.playalertsound && FileExists(params.alertsoundfile) && !alertPattern.isEmpty())
        return true;
    if (params.sendalertemail && !params.smtpserver.isEmpty() && !params.alertemail.isEmpty() &&
        !alertPattern.isEmpty())
        return true;
    return params.playfilechangesound && FileExists(params.filechangesoundfile) && alertPattern.isEmpty();
}
