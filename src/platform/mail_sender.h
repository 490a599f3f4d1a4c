#pragma once
// Sends one plain-text e-mail over SMTP. The libcurl implementation connects, upgrades with
// STARTTLS when the server offers it, logs in when a login is given, sends and disconnects; every
// exchange is bounded in time. Safe to call from a worker thread (one call at a time per object).
#include <QString>

struct MailMessage {
    QString server; // "host" or "host:port"; port 25 by default
    QString login;  // empty: no authentication
    QString password;
    QString from;
    QString recipients; // "a@x, Name <b@y>; c@z"
    QString subject;
    QString body; // lines separated by CR LF
};

class MailSender {
public:
    virtual ~MailSender() = default;
    // false with *error set to the client's message (and the server's reply when there is one).
    virtual bool Send(const MailMessage& message, QString* error) = 0;
    // Any thread: ends a Send in progress as soon as it can (it fails), and every later Send at
    // once. For the end of the sender's user, which must not wait for a slow server.
    virtual void Abort() {}
};
