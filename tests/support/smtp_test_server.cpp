#include "support/smtp_test_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Debian's interpreter: python3-aiosmtpd installs for it, not for another python3 on the PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kMissingTool = QStringLiteral("install Debian's python3-aiosmtpd (scripts/setup does)");

// smtp_capture.py sits beside this file; KOVRA_SOURCE_DIR (set by ctest) covers a moved build.
QString CaptureModuleFolder() {
    const QString here = QFileInfo(QStringLiteral(__FILE__)).absolutePath();
    if (QFileInfo::exists(here + QStringLiteral("/smtp_capture.py")))
        return here;
    return qEnvironmentVariable("KOVRA_SOURCE_DIR") + QStringLiteral("/tests/support");
}

QList<CapturedMail::Mailbox> Mailboxes(const QJsonValue& value) {
    QList<CapturedMail::Mailbox> result;
    for (const QJsonValue& pair : value.toArray())
        result.append({pair.toArray().at(0).toString(), pair.toArray().at(1).toString()});
    return result;
}

CapturedMail ReadCapture(const QJsonObject& json) {
    CapturedMail mail;
    mail.mailFrom = json[QStringLiteral("mail_from")].toString();
    for (const QJsonValue& recipient : json[QStringLiteral("rcpt_tos")].toArray())
        mail.recipients << recipient.toString();
    mail.login = json[QStringLiteral("login")].toString();
    mail.raw = QByteArray::fromBase64(json[QStringLiteral("raw")].toString().toLatin1());
    mail.parseError = json[QStringLiteral("parse_error")].toString();
    mail.subject = json[QStringLiteral("subject")].toString();
    mail.from = Mailboxes(json[QStringLiteral("from")]);
    mail.to = Mailboxes(json[QStringLiteral("to")]);
    mail.messageId = json[QStringLiteral("message_id")].toString();
    for (const QJsonValue& name : json[QStringLiteral("header_names")].toArray())
        mail.headerNames << name.toString();
    if (json[QStringLiteral("date_epoch")].isDouble())
        mail.dateSecsSinceEpoch = qint64(json[QStringLiteral("date_epoch")].toDouble());
    mail.body = QByteArray::fromBase64(json[QStringLiteral("body_utf8")].toString().toLatin1());
    return mail;
}

} // namespace

quint16 FreeLocalPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

SmtpTestServer::~SmtpTestServer() {
    Stop();
}

bool SmtpTestServer::Start(QString* error) {
    return StartWithHandler(QStringLiteral("smtp_capture.CaptureHandler"), error);
}

bool SmtpTestServer::StartSilentAfterData(QString* error) {
    return StartWithHandler(QStringLiteral("smtp_capture.SilentAfterDataHandler"), error);
}

bool SmtpTestServer::StartWithHandler(const QString& handler, QString* error) {
    return Launch(
        [this, &handler](const QString& listen) {
            return QStringList{QStringLiteral("-m"),
                               QStringLiteral("aiosmtpd"),
                               QStringLiteral("-n"),
                               QStringLiteral("-l"),
                               listen,
                               QStringLiteral("-c"),
                               handler,
                               folder_.path()};
        },
        error);
}

bool SmtpTestServer::StartRequiringLogin(const QString& login, const QString& password, QString* error) {
    return Launch(
        [&](const QString& listen) {
            return QStringList{QStringLiteral("-m"),         QStringLiteral("smtp_capture"),
                               QStringLiteral("--listen"),   listen,
                               QStringLiteral("--folder"),   folder_.path(),
                               QStringLiteral("--login"),    login,
                               QStringLiteral("--password"), password};
        },
        error);
}

bool SmtpTestServer::Launch(const std::function<QStringList(const QString&)>& arguments, QString* error) {
    if (!QFileInfo(kPython).isExecutable()) {
        *error = kPython + QStringLiteral(" is missing: ") + kMissingTool;
        return false;
    }
    if (!folder_.isValid()) {
        *error = QStringLiteral("no temporary folder for the captured mail");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONPATH"), CaptureModuleFolder());
    environment.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"),
                       QStringLiteral("1")); // keep the source tree clean
    environment.remove(QStringLiteral("PYTHONHOME"));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // The free port may be taken between the probe and the bind: try again with another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = FreeLocalPort();
        process_.start(kPython, arguments(QStringLiteral("127.0.0.1:%1").arg(port_)));
        if (WaitUntilReady(error))
            return true;
        Stop();
        if (!error->contains(QStringLiteral("address already in use"), Qt::CaseInsensitive))
            return false;
    }
    return false;
}

// Ready once it answers a connection with its 220 greeting; a server that exits says why.
bool SmtpTestServer::WaitUntilReady(QString* error) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (process_.state() == QProcess::NotRunning || process_.waitForFinished(100)) {
            const QString output = QString::fromLocal8Bit(process_.readAll()).trimmed();
            *error = QStringLiteral("the test SMTP server exited (") + output + QStringLiteral(")");
            if (output.contains(QStringLiteral("No module named")))
                *error += QStringLiteral(": ") + kMissingTool;
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(500) && probe.waitForReadyRead(2000) && probe.readLine().startsWith("220"))
            return true;
    }
    *error = QStringLiteral("the test SMTP server did not answer on ") + Address() +
             QStringLiteral(" within 20 s");
    return false;
}

void SmtpTestServer::Stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QList<CapturedMail> SmtpTestServer::Messages() const {
    QList<CapturedMail> mails;
    const QDir folder(folder_.path());
    for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            mails << ReadCapture(QJsonDocument::fromJson(file.readAll()).object());
    }
    return mails;
}
