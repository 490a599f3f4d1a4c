#include "util/window_identity.h"

#include <array>

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

TEST(WindowIdentity, IsTheCrc32OfTheUtf16LeCommandLine) {
    // Expected values computed independently with
    //   python3 -c "import zlib; print(hex(zlib.crc32('text'.encode('utf-16-le'))))"
    struct CrcCase {
        const char16_t* text;
        quint32 expected;
    };
    const CrcCase cases[] = {
        {u"a", 0x3D3F4819u},
        {u"kovra", 0xA3EDF9CBu},
        {u"/usr/bin/kovra /start /f=error", 0x4BF9302Eu},
        {u"\"/opt/kovra/kovra\" /recycle /var/log/syslog", 0x781224B7u},
        {u"kovra é日志", 0x7C789978u},
        {u"log \U0001F600", 0x4B53AFA8u}, // a surrogate pair: four bytes
    };
    for (const CrcCase& c : cases) {
        const IdentityResult result = WindowIdentity(QString::fromUtf16(c.text));
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.error.isEmpty());
        EXPECT_EQ(result.value, c.expected) << QString::fromUtf16(c.text).toStdString();
    }
}

TEST(WindowIdentity, EmptyCommandLineGivesZero) {
    const IdentityResult result = WindowIdentity(QString());
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.value, 0u);
}

TEST(CrcTableCheck, AcceptsZlibsTableAndReportsABadOne) {
    std::array<quint32, 256> table{};
    const z_crc_t* zlibTable = get_crc_table();
    std::copy(zlibTable, zlibTable + 256, table.begin());
    const IdentityResult good = CheckCrcTable(table);
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.value, 0x6FCF9E13u);

    // Found values from python3's zlib.crc32 over the altered tables as 1024 little-endian bytes:
    // bit 0 of entry 255 flipped; entry 0 set to 85 (a CRC with leading zeros); all zero.
    struct BadCase {
        std::array<quint32, 256> table;
        const char* error;
    };
    BadCase flipped{table, "CRC32 Table CRC32 is D773F976, expecting $6FCF9E13"};
    flipped.table[255] ^= 1u;
    BadCase padded{table, "CRC32 Table CRC32 is 001604DC, expecting $6FCF9E13"};
    padded.table[0] = 85u;
    const BadCase cases[] = {
        flipped,
        padded,
        {std::array<quint32, 256>{}, "CRC32 Table CRC32 is EFB5AF2E, expecting $6FCF9E13"},
    };
    for (const BadCase& c : cases) {
        const IdentityResult bad = CheckCrcTable(c.table);
        EXPECT_FALSE(bad.ok);
        EXPECT_EQ(bad.error, QString::fromLatin1(c.error));
    }
}

} // namespace
