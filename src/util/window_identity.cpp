#include "util/window_identity.h"

#include <array>

#include <QByteArray>

#include <zlib.h>

namespace {

quint32 Crc32(const char* data, qsizetype size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes uInt lengths; feed large inputs in pieces.
    while (size > 0) {
        const auto piece = static_cast<uInt>(qMin<qsizetype>(size, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), piece);
        data += piece;
        size -= piece;
    }
    return static_cast<quint32>(crc);
}

// Explicit little-endian bytes, whatever the host's byte order.
QByteArray Utf16LeBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

IdentityResult CheckCrcTable(std::span<const quint32, 256> table) {
    std::array<char, 1024> bytes{};
    for (size_t i = 0; i < table.size(); ++i) {
        for (size_t b = 0; b < 4; ++b)
            bytes[i * 4 + b] = static_cast<char>((table[i] >> (8 * b)) & 0xFFu);
    }
    IdentityResult result;
    result.value = Crc32(bytes.data(), static_cast<qsizetype>(bytes.size()));
    result.ok = result.value == kExpectedCrcTableCrc;
    if (!result.ok) {
        const QString found = QString::number(result.value, 16).toUpper().rightJustified(8, QLatin1Char('0'));
        result.error =
            QStringLiteral("CRC32 Table CRC32 is ") + found + QStringLiteral(", expecting $6FCF9E13");
    }
    return result;
}

IdentityResult WindowIdentity(const QString& commandLine) {
    static_assert(sizeof(z_crc_t) == sizeof(quint32), "zlib's CRC table entries are 32 bits");
    const std::span<const quint32, 256> table(reinterpret_cast<const quint32*>(get_crc_table()), 256);
    IdentityResult result = CheckCrcTable(table);
    if (!result.ok) {
        result.value = 0;
        return result;
    }
    const QByteArray bytes = Utf16LeBytes(commandLine);
    result.value = commandLine.isEmpty() ? 0 : Crc32(bytes.constData(), bytes.size());
    return result;
}
