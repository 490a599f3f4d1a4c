#include "engine/utf8_scan.h"

#include <cstring>

QStringDecoder LineUtf8Decoder() {
    return QStringDecoder(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
}

namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Bytes of the character a lead byte starts; 0 for a byte that cannot start one.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
bool SecondByteFits(unsigned char lead, unsigned char second) {
    switch (lead) {
    case 0xE0:
        return second >= 0xA0 && second <= 0xBF;
    case 0xED:
        return second >= 0x80 && second <= 0x9F;
    case 0xF0:
        return second >= 0x90 && second <= 0xBF;
    case 0xF4:
        return second >= 0x80 && second <= 0x8F;
    default:
        return IsContinuation(second);
    }
}

bool EightAscii(const unsigned char* p) {
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

} // namespace

Utf8Scan ScanUtf8(QByteArrayView bytes) {
    Utf8Scan scan;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n && EightAscii(p + i)) {
            i += 8;
            scan.units += 8;
            continue;
        }
        const unsigned char lead = p[i];
        const int length = SequenceLength(lead);
        if (length == 0 || i + length > n || (length > 1 && !SecondByteFits(lead, p[i + 1]))) {
            scan.valid = false;
            return scan;
        }
        for (int k = 2; k < length; ++k) {
            if (!IsContinuation(p[i + k])) {
                scan.valid = false;
                return scan;
            }
        }
        if (length > 1)
            scan.ascii = false;
        scan.units += length == 4 ? 2 : 1;
        i += length;
    }
    return scan;
}

qsizetype Utf8Size(QStringView text) {
    qsizetype size = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            size += 1;
        } else if (c < 0x800) {
            size += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            size += 4;
            ++i;
        } else {
            size += 3;
        }
    }
    return size;
}

qsizetype Utf8UnitsBefore(QByteArrayView bytes, qsizetype end) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype units = 0;
    for (qsizetype i = 0; i < end; ++i)
        units += (!IsContinuation(p[i])) + (p[i] >= 0xF0);
    return units;
}

Utf8Place Utf8FindUnit(QByteArrayView bytes, Utf8Place from, qsizetype unit) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    Utf8Place at = from;
    while (at.byte < n) {
        const unsigned char lead = p[at.byte];
        const int units = lead >= 0xF0 ? 2 : 1;
        if (unit < at.unit + units)
            return at;
        at.unit += units;
        at.byte += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    at.byte = n;
    return at;
}
