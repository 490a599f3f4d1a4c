#include "util/text_codecs.h"

namespace {

int DigitValue(QChar c, unsigned base) {
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

bool IsCharAt(const QString& text, qsizetype pos, char16_t one, char16_t other) {
    return pos < text.size() && (text[pos].unicode() == one || text[pos].unicode() == other);
}

// Upper-cases a-z and maps the accented lower-case letters of the flag rule; others unchanged.
char16_t FoldFlagChar(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - u'a' + u'A');
    switch (c) {
    case u'à':
    case u'â':
    case u'ä':
        return u'A';
    case u'ç':
        return u'C';
    case u'è':
    case u'é':
    case u'ê':
    case u'ë':
        return u'E';
    case u'î':
    case u'ï':
        return u'I';
    case u'ô':
    case u'ö':
        return u'O';
    case u'ù':
    case u'û':
    case u'ü':
        return u'U';
    default:
        return c;
    }
}

} // namespace

qint32 DecodeInteger(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == QLatin1Char(' '))
        ++pos;
    bool negative = false;
    if (IsCharAt(text, pos, u'-', u'+'))
        negative = text[pos++] == QLatin1Char('-');
    unsigned base = 10;
    if (IsCharAt(text, pos, u'$', u'$') || IsCharAt(text, pos, u'x', u'X')) {
        base = 16;
        ++pos;
    } else if (IsCharAt(text, pos, u'0', u'0') && IsCharAt(text, pos + 1, u'x', u'X')) {
        base = 16;
        pos += 2;
    }
    // Unsigned arithmetic wraps by definition: no overflow to worry about.
    quint32 value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0)
            break;
        value = value * base + static_cast<quint32>(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<qint32>(value);
}

bool DecodeFlag(const QString& text) {
    if (text == QLatin1String("O") || text == QLatin1String("o"))
        return true;
    if (text.size() != 3)
        return false;
    static constexpr char16_t kOui[] = u"OUI";
    for (qsizetype i = 0; i < 3; ++i) {
        if (FoldFlagChar(text[i].unicode()) != kOui[i])
            return false;
    }
    return true;
}

QString EncodeFlag(bool on) {
    return on ? QStringLiteral("O") : QStringLiteral("N");
}

QString TrimBlanksAndControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}
