#pragma once
// The text side of sending mail: reading address lists as users type them, and writing the
// message (headers and body) that goes after SMTP DATA. No I/O; any thread.
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "platform/mail_sender.h"

struct MailAddress {
    QString name; // display name, may be empty
    QString address;
};

// "Name <addr>", "\"Name\" <addr>", "<addr>" or "addr"; nullopt when no usable address is left,
// and when the item holds more than one (text after "<addr>", an unquoted name holding "@").
std::optional<MailAddress> ParseMailAddress(const QString& item);

// Addresses separated by commas or semicolons; blank items are skipped. nullopt with *badItem set
// when an item holds no usable address.
std::optional<QList<MailAddress>> ParseMailAddressList(const QString& text, QString* badItem);

// The whole message, CR LF lines: Date (now, local time), From, To, Subject, Message-ID, MIME
// headers, then the body. The body's lines come out exactly (8bit, or quoted-printable when a line
// is too long for SMTP).
QByteArray ComposeMailText(const MailMessage& message, const MailAddress& from, const QList<MailAddress>& to,
                           const QDateTime& now);
