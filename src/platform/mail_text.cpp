#include "platform/mail_text.h"

#include <cstdio>
#include <cstdlib>

#include <QStringList>
#include <QUuid>

namespace {

bool IsPlainAddress(const QString& address) {
    if (address.isEmpty())
        return false;
    for (const QChar c : address) {
        if (c.isSpace() || c.unicode() < 0x20 || c == u'<' || c == u'>' || c == u',' || c == u';')
            return false;
    }
    return true;
}

// Splits at commas and semicolons that are neither inside quotes nor inside angle brackets, so
// "Smith, John" <js@x> stays one address.
QStringList SplitAddressList(const QString& text) {
    QStringList items;
    QString current;
    bool quoted = false;
    bool inAngle = false;
    for (const QChar c : text) {
        if (c == u'"' && !inAngle)
            quoted = !quoted;
        else if (c == u'<' && !quoted)
            inAngle = true;
        else if (c == u'>' && !quoted)
            inAngle = false;
        if ((c == u',' || c == u';') && !quoted && !inAngle) {
            items << current;
            current.clear();
        } else {
            current += c;
        }
    }
    items << current;
    return items;
}

QString OneLine(QString text) {
    // A file name may hold a line break; in a header it would start a header of its own.
    return text.replace(u'\r', u' ').replace(u'\n', u' ');
}

bool NeedsEncodedWords(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return true;
    }
    // Long texts too: encoded words fold, a plain one would break the 998-octet line limit.
    return text.contains(QStringLiteral("=?")) || text.size() > 900;
}

// RFC 2047 "B" words, each holding whole UTF-8 sequences, one per line: 39 bytes make a word of
// 64 characters, so even the first line with "Subject: " keeps within the 76 allowed.
QByteArray EncodedWords(const QString& text) {
    constexpr qsizetype kMaxBytes = 39;
    const QByteArray utf8 = text.toUtf8();
    QList<QByteArray> words;
    qsizetype start = 0;
    qsizetype lastBoundary = 0;
    for (qsizetype i = 1; i <= utf8.size(); ++i) {
        if (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            continue;
        if (i - start > kMaxBytes) {
            words << utf8.mid(start, lastBoundary - start);
            start = lastBoundary;
        }
        lastBoundary = i;
    }
    if (start < utf8.size())
        words << utf8.mid(start);
    QByteArray result;
    for (const QByteArray& word : words) {
        if (!result.isEmpty())
            result += "\r\n ";
        result += "=?UTF-8?B?" + word.toBase64() + "?=";
    }
    return result;
}

QByteArray HeaderText(const QString& text) {
    const QString line = OneLine(text);
    return NeedsEncodedWords(line) ? EncodedWords(line) : line.toLatin1();
}

QByteArray AddressText(const MailAddress& address) {
    const QByteArray mailbox = "<" + address.address.toUtf8() + ">";
    const QString name = OneLine(address.name);
    if (name.isEmpty())
        return address.address.toUtf8();
    if (NeedsEncodedWords(name))
        return EncodedWords(name) + " " + mailbox;
    static const QString kSpecials = QStringLiteral("()<>[]:;@\\,.\"");
    for (const QChar c : name) {
        if (kSpecials.contains(c)) {
            QString quoted = name;
            quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
            return "\"" + quoted.toLatin1() + "\" " + mailbox;
        }
    }
    return name.toLatin1() + " " + mailbox;
}

// RFC 5322 date in local time with its offset; names in English whatever the locale.
QByteArray MailDate(const QDateTime& now) {
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = now.date();
    const QTime time = now.time();
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const int absOffset = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                  kDays[date.dayOfWeek() - 1], date.day(), kMonths[date.month() - 1], date.year(),
                  time.hour(), time.minute(), time.second(), offsetMinutes < 0 ? '-' : '+', absOffset / 60,
                  absOffset % 60);
    return text;
}

QByteArray MessageIdDomain(const QString& sender) {
    const QString domain = sender.section(u'@', -1);
    if (!sender.contains(u'@') || domain.isEmpty())
        return "localhost";
    for (const QChar c : domain) {
        if (c.unicode() > 0x7f || (!c.isLetterOrNumber() && c != u'.' && c != u'-'))
            return "localhost";
    }
    return domain.toLatin1();
}

// 8bit is fine while every line is at most 998 octets and holds no bare CR, LF or NUL.
bool FitsEightBit(const QByteArray& body) {
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            if (i - lineStart > 998)
                return false;
            lineStart = i + 2;
            ++i;
        } else if (c == '\r' || c == '\n' || c == '\0') {
            return false;
        }
    }
    return body.size() - lineStart <= 998;
}

bool EndsLine(const QByteArray& body, qsizetype next) {
    return next == body.size() || (body[next] == '\r' && next + 1 < body.size() && body[next + 1] == '\n');
}

QByteArray QuotedPrintable(const QByteArray& body) {
    QByteArray out;
    qsizetype lineLength = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const auto c = static_cast<unsigned char>(body[i]);
        if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            out += "\r\n";
            lineLength = 0;
            ++i;
            continue;
        }
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !EndsLine(body, i + 1));
        const QByteArray piece = literal ? QByteArray(1, char(c))
                                         : "=" + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        if (lineLength + piece.size() > 75) {
            out += "=\r\n";
            lineLength = 0;
        }
        out += piece;
        lineLength += piece.size();
    }
    return out;
}

} // namespace

// Text after the mailbox, or an address-like name outside quotes ("a@b <c@d> e@f"), is more than
// one address written without a separator: refused, never half taken.
std::optional<MailAddress> ParseMailAddress(const QString& item) {
    MailAddress result;
    const QString text = item.trimmed();
    const qsizetype open = text.lastIndexOf(u'<');
    const qsizetype close = open < 0 ? -1 : text.indexOf(u'>', open);
    if (close > open) {
        result.name = text.left(open).trimmed();
        const bool quoted =
            result.name.size() >= 2 && result.name.startsWith(u'"') && result.name.endsWith(u'"');
        if (close + 1 < text.size() || (!quoted && result.name.contains(u'@')))
            return std::nullopt;
        if (quoted)
            result.name = result.name.mid(1, result.name.size() - 2);
        result.address = text.mid(open + 1, close - open - 1).trimmed();
    } else {
        result.address = text;
    }
    if (!IsPlainAddress(result.address))
        return std::nullopt;
    return result;
}

// Every non-blank item must hold an address: a silently dropped recipient is a lost alert.
std::optional<QList<MailAddress>> ParseMailAddressList(const QString& text, QString* badItem) {
    QList<MailAddress> addresses;
    for (const QString& item : SplitAddressList(text)) {
        if (item.trimmed().isEmpty())
            continue;
        const std::optional<MailAddress> address = ParseMailAddress(item);
        if (!address) {
            *badItem = item.trimmed();
            return std::nullopt;
        }
        addresses << *address;
    }
    return addresses;
}

QByteArray ComposeMailText(const MailMessage& message, const MailAddress& from, const QList<MailAddress>& to,
                           const QDateTime& now) {
    QByteArray toText;
    for (const MailAddress& address : to)
        toText += (toText.isEmpty() ? "" : ",\r\n ") + AddressText(address);
    const QByteArray body = message.body.toUtf8();
    const bool eightBit = FitsEightBit(body);
    QByteArray text;
    text += "Date: " + MailDate(now) + "\r\n";
    text += "From: " + AddressText(from) + "\r\n";
    text += "To: " + toText + "\r\n";
    text += "Subject: " + HeaderText(message.subject) + "\r\n";
    text += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@" +
            MessageIdDomain(from.address) + ">\r\n";
    text += "MIME-Version: 1.0\r\n";
    text += "Content-Type: text/plain; charset=UTF-8\r\n";
    text += QByteArray("Content-Transfer-Encoding: ") + (eightBit ? "8bit" : "quoted-printable") + "\r\n";
    text += "\r\n";
    text += eightBit ? body : QuotedPrintable(body);
    return text;
}
