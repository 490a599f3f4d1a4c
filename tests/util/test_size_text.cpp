#include "util/size_text.h"

#include <limits>

#include <QLocale>

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    qint64 bytes;
    const char* expected;
};

TEST(SizeText, FollowsTheTableAndRoundsAtTheThresholds) {
    const SizeCase cases[] = {
        {0, "0 b"},
        {512, "512 b"},
        {899, "899 b"},
        {900, "0.9 Kb"},    // 0.879 rounds up to one decimal
        {10188, "9.9 Kb"},  // 9.949
        {10239, "10.0 Kb"}, // 9.999: below 10, so still one decimal
        {10240, "10 Kb"},   // exactly 10: the whole-kilo row
        {327680, "320 Kb"},
        {921599, "900 Kb"},  // 899.999 rounds to the threshold
        {921600, "0.88 Mb"}, // 900 K moves to the mega row
        {1310720, "1.25 Mb"},
        {943718399, "900.00 Mb"}, // 899.99999 M
        {943718400, "0.88 Gb"},
        {966367641599, "900.00 Gb"},
        {966367641600, "0.879 Tb"},
        {1099511627776, "1.000 Tb"},
        {989560464998399, "900.000 Tb"},
        {989560464998400, ""}, // 900 T: beyond the table
        {std::numeric_limits<qint64>::max(), ""},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(SizeText(c.bytes, QLatin1Char('b')), QString::fromLatin1(c.expected)) << c.bytes;
        if (c.bytes > 0 && *c.expected) {
            EXPECT_EQ(SizeText(-c.bytes, QLatin1Char('b')),
                      QLatin1Char('-') + QString::fromLatin1(c.expected))
                << -c.bytes;
        }
    }
}

TEST(SizeText, NegativeExtremesGiveEmptyTextWithoutSign) {
    EXPECT_EQ(SizeText(-989560464998400, QLatin1Char('b')), QString());
    EXPECT_EQ(SizeText(std::numeric_limits<qint64>::min(), QLatin1Char('b')), QString());
}

TEST(SizeText, UsesTheUnitLetterInEveryRow) {
    EXPECT_EQ(SizeText(512, QLatin1Char('o')), QStringLiteral("512 o"));
    EXPECT_EQ(SizeText(327680, QLatin1Char('o')), QStringLiteral("320 Ko"));
    EXPECT_EQ(SizeText(1310720, QLatin1Char('o')), QStringLiteral("1.25 Mo"));
}

TEST(SizeText, IgnoresTheLocaleDecimalSeparator) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    const QString text = SizeText(1310720, QLatin1Char('b'));
    QLocale::setDefault(saved);
    EXPECT_EQ(text, QStringLiteral("1.25 Mb"));
}

} // namespace
