#include "source/journal_render.h"

#include <ctime>

namespace {

// Fields longer than this, or not printable, are left out of the line's head.
constexpr qsizetype kPrintThreshold = 300;

char32_t Decode(const unsigned char* p, int len) {
    if (len == 1)
        return p[0];
    char32_t c = p[0] & (0xFF >> (len + 1));
    for (int i = 1; i < len; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    return c;
}

int EncodedLength(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool ValidCodePoint(char32_t c) {
    return c < 0x110000 && (c & 0xFFFFF800) != 0xD800 && !(c >= 0xFDD0 && c <= 0xFDEF) &&
           (c & 0xFFFE) != 0xFFFE;
}

bool IsControl(char32_t c, bool newline) {
    if (c == u'\t' || (newline && c == u'\n'))
        return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Valid UTF-8 (shortest forms only) without control characters but tabs (and line feeds).
bool Printable(QByteArrayView text, bool newline) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p;
        const int len = b < 0x80             ? 1
                        : (b & 0xE0) == 0xC0 ? 2
                        : (b & 0xF0) == 0xE0 ? 3
                        : (b & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (len == 0 || end - p < len)
            return false;
        for (int i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        const char32_t c = Decode(p, len);
        if (EncodedLength(c) != len || !ValidCodePoint(c) || IsControl(c, newline))
            return false;
        p += len;
    }
    return true;
}

bool ShallPrint(QByteArrayView field) {
    return !field.isNull() && field.size() < kPrintThreshold && Printable(field, false);
}

// Tabs as eight blanks; colour sequences (ESC [ digits and ; then m) and hyperlink sequences
// (ESC ] printable text then BEL) dropped; carriage returns before a line feed or the end dropped.
// Anything else stays, an escape that starts no such sequence included.
QByteArray StripTabsAndColours(QByteArrayView in) {
    QByteArray out;
    out.reserve(in.size());
    const char* p = in.data();
    const char* end = p + in.size();
    qsizetype returns = 0;
    while (p < end) {
        const char c = *p;
        if (c == '\r') {
            ++returns;
            ++p;
            continue;
        }
        if (c != '\n')
            out.append(returns, '\r');
        returns = 0;
        if (c == '\t') {
            out.append(8, ' ');
            ++p;
        } else if (c == '\x1B' && p + 1 < end && (p[1] == '[' || p[1] == ']')) {
            const bool csi = p[1] == '[';
            const char* q = p + 2;
            for (; q < end; ++q) {
                const unsigned char u = static_cast<unsigned char>(*q);
                const bool inside = csi ? ((u >= '0' && u <= '9') || u == ';' || u == 'm')
                                        : (u == '\a' || (u >= 32 && u <= 126));
                if (!inside || u == (csi ? 'm' : '\a'))
                    break;
            }
            const bool ended = q < end && *q == (csi ? 'm' : '\a');
            if (ended) {
                p = q + 1;
            } else {
                out.append(p, 2); // no sequence: the escape and its bracket stay
                p += 2;
            }
        } else if (c == '\x1B') {
            // An escape of no such sequence stays with the byte after it, as it is.
            out.append(p, p + 1 < end ? 2 : 1);
            p += p + 1 < end ? 2 : 1;
        } else {
            out.append(c);
            ++p;
        }
    }
    return out;
}

// Byte counts as the journal's tools give them: "7B", "1.9K", "1.2M".
QByteArray BlobSize(quint64 bytes) {
    static const struct {
        const char* suffix;
        quint64 factor;
    } kUnits[] = {{"E", 1ULL << 60}, {"P", 1ULL << 50}, {"T", 1ULL << 40},
                  {"G", 1ULL << 30}, {"M", 1ULL << 20}, {"K", 1ULL << 10}};
    for (const auto& unit : kUnits) {
        if (bytes >= unit.factor) {
            const quint64 tenth = (bytes / (unit.factor / 1024) * 10 / 1024) % 10;
            return QByteArray::number(bytes / unit.factor) + '.' + QByteArray::number(tenth) + unit.suffix;
        }
    }
    return QByteArray::number(bytes) + 'B';
}

std::optional<quint64> ParseMicroseconds(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 19)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
    }
    return value;
}

// Entries come many to a second: the text of the last second is kept (per thread).
void AppendTime(quint64 realtimeUs, QByteArray& out) {
    thread_local time_t lastSeconds = -1;
    thread_local char text[64];
    thread_local size_t length = 0;
    const time_t seconds = time_t(realtimeUs / 1000000);
    if (seconds != lastSeconds) {
        struct tm local {};
        length =
            localtime_r(&seconds, &local) ? strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) : 0;
        lastSeconds = seconds;
    }
    out.append(text, qsizetype(length));
}

// Printable ASCII and line feeds only: nothing to strip, nothing to check.
bool PlainAscii(QByteArrayView text) {
    for (const char c : text) {
        if ((c < 0x20 || c > 0x7E) && c != '\n')
            return false;
    }
    return true;
}

} // namespace

void RenderJournalEntry(const JournalEntryFields& fields, quint64 realtimeUs, QByteArray& out) {
    if (fields.message.isNull())
        return;
    const qsizetype head = out.size();
    const std::optional<quint64> source = ParseMicroseconds(fields.sourceRealtime);
    AppendTime(source && *source > 0 && *source < (1ULL << 55) ? *source : realtimeUs, out);
    if (ShallPrint(fields.hostname))
        out.append(' ').append(fields.hostname);
    if (ShallPrint(fields.identifier))
        out.append(' ').append(fields.identifier);
    else if (ShallPrint(fields.comm))
        out.append(' ').append(fields.comm);
    else
        out.append(" unknown");
    if (ShallPrint(fields.pid))
        out.append('[').append(fields.pid).append(']');
    else if (ShallPrint(fields.syslogPid))
        out.append('[').append(fields.syslogPid).append(']');
    out.append(": ");
    const qsizetype indent = out.size() - head;

    const bool plain = PlainAscii(fields.message);
    const QByteArray stripped = plain ? QByteArray() : StripTabsAndColours(fields.message);
    const QByteArrayView message = plain ? fields.message : QByteArrayView(stripped);
    if (!plain && !Printable(message, true)) {
        out.append('[').append(BlobSize(quint64(message.size()))).append(" blob data]\n");
        return;
    }
    if (message.isEmpty()) {
        out.append('\n');
        return;
    }
    for (qsizetype pos = 0; pos < message.size();) {
        qsizetype end = message.indexOf('\n', pos);
        if (end < 0)
            end = message.size();
        if (pos > 0)
            out.append(indent, ' ');
        out.append(message.data() + pos, end - pos).append('\n');
        pos = end + 1;
    }
}

void RenderBootLine(QByteArrayView bootIdHex, QByteArray& out) {
    out.append("-- Boot ").append(bootIdHex).append(" --\n");
}
