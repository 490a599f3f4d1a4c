#pragma once
// The alert step that ends a pass: the file-change notice (alert on, empty pattern, the view
// changed) and the text alert (a new alert line), with the window restore, the sounds and the
// alert e-mail the global parameters ask for. Runs on the pass thread; reaches the window only
// through the port.
#include <QDateTime>
#include <QString>

struct MailMessage;
class AlertNotifier;
class EngineClock;
class MailSender;
class TailWindowPort;
class TTailParam;
struct TailRuntime;

struct AlertFindings {
    bool alertOn = false;       // CheckBoxAlert
    QString alertPattern;       // RzComboBoxAlarm text
    bool alertInverted = false; // AlertInverted
    bool viewChanged = false;   // the pass replaced the view's text
    QString alertLine;          // last shown line that met the alert condition, or empty
    QString fileName;           // the current (resolved) file name
};

struct AlertServices {
    TailWindowPort& window;
    const TTailParam& params;
    const EngineClock& clock;
    MailSender* mail; // null: no e-mail is sent
    // null: no desktop notification.
    AlertNotifier* notifier = nullptr;
};

// Throws PassFailure when the e-mail cannot be sent (LastAlertLine is already updated then).
void RunAlertStep(const AlertFindings& findings, TailRuntime& rt, const AlertServices& services);

// The alert e-mail as sent: subject, recipients, sender, server, login, password and body.
MailMessage BuildAlertMail(const TTailParam& params, const AlertFindings& findings, const QDateTime& now);

// UpdateAlarmImage's rule: whether the alert settings can make a sound or a mail.
bool AlarmImageVisible(const TTailParam& params, bool alertChecked, const QString& alertPattern);
