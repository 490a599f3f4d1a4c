#pragma once
// WindowIdentity: the CRC-32 (zlib's) of the raw command line, taken over its UTF-16LE bytes, so
// that two starts with the same command line can recognise each other.

#include <span>

#include <QString>
#include <QtGlobal>

struct IdentityResult {
    bool ok = false;
    quint32 value = 0; // the identity (0 on failure); for CheckCrcTable, the table's own CRC
    QString error;     // set when !ok, ready to show to the user
};

inline constexpr quint32 kExpectedCrcTableCrc = 0x6FCF9E13u;

// Checks a 256-entry CRC table by the CRC-32 of its entries as 1024 little-endian bytes.
IdentityResult CheckCrcTable(std::span<const quint32, 256> table);

// Checks zlib's table first; an empty command line gives 0.
IdentityResult WindowIdentity(const QString& commandLine);
