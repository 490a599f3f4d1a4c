#pragma once
// A real SMTP server for one test: aiosmtpd, run by Debian's /usr/bin/python3, on 127.0.0.1 and a
// free port. Every accepted message is captured by smtp_capture.py (beside this file): the
// envelope, the raw bytes, and what Python's own e-mail parser reads from them, an independent
// decoder to compare the sender's output with. The destructor stops the server. Test thread only.
#include <functional>
#include <optional>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

struct CapturedMail {
    using Mailbox = std::pair<QString, QString>; // display name, address

    QString mailFrom;       // envelope sender
    QStringList recipients; // envelope recipients
    QString login;          // the login of the session, empty without one
    QByteArray raw;         // the message as received, dot-unstuffed

    // As Python's e-mail package reads the raw bytes; parseError is set when it could not.
    QString parseError;
    QString subject;
    QList<Mailbox> from;
    QList<Mailbox> to;
    QString messageId;
    QStringList headerNames;
    std::optional<qint64> dateSecsSinceEpoch;
    QByteArray body; // the decoded text/plain content, as UTF-8
};

// A port on 127.0.0.1 that nothing listened on a moment ago.
quint16 FreeLocalPort();

class SmtpTestServer final {
public:
    SmtpTestServer() = default;
    ~SmtpTestServer();
    Q_DISABLE_COPY_MOVE(SmtpTestServer)

    // aiosmtpd's own command line with the capturing handler; no login needed. false with *error
    // saying what is missing when the server cannot be started.
    bool Start(QString* error);
    // A server that takes the message (it is captured) and then never answers: not the end of
    // DATA, not QUIT.
    bool StartSilentAfterData(QString* error);
    // A server that refuses mail until the client logged in with this login and password; AUTH
    // is offered over plain text.
    bool StartRequiringLogin(const QString& login, const QString& password, QString* error);

    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // Every message accepted so far, oldest first.
    QList<CapturedMail> Messages() const;

private:
    bool StartWithHandler(const QString& handler, QString* error);
    // arguments gives the command line for a listen address "127.0.0.1:PORT".
    bool Launch(const std::function<QStringList(const QString&)>& arguments, QString* error);
    bool WaitUntilReady(QString* error);
    void Stop();

    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};
