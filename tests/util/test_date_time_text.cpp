#include "util/date_time_text.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// The same wall-clock time in two zones: texts without the zone are equal for both.
const QDate kDate(2026, 1, 2);
const QTime kTime(15, 4, 5);

QDateTime InTokyo() {
    return QDateTime(kDate, kTime, QTimeZone("Asia/Tokyo"));
}

QDateTime InUtc() {
    return QDateTime(kDate, kTime, QTimeZone::utc());
}

TEST(DateTimeText, ZoneFieldIsRemovedWithItsSeparators) {
    struct FormatCase {
        const char* format;
        const char* expected;
    };
    const FormatCase cases[] = {
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"HH:mm:ss (t)", "HH:mm:ss"},
        {"APh:mm:ss [t]", "APh:mm:ss"},
        {"h:mm:ss AP, t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"HH:mm:ss tttt", "HH:mm:ss"},
        {"h:mm t ss", "h:mm ss"},
        {"'kl'. HH:mm:ss t", "'kl'. HH:mm:ss"},
        {"HH 'at' mm t", "HH 'at' mm"}, // a quoted t is text, not the zone
        {"HH 'o''clock' 'tt' t", "HH 'o''clock' 'tt'"},
        {"HH:mm:ss", "HH:mm:ss"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(WithoutZoneField(QString::fromLatin1(c.format)), QString::fromLatin1(c.expected))
            << c.format;
}

TEST(DateTimeText, PinnedLocalesGiveDateAndTimeWithoutZone) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale fr(QLocale::French, QLocale::France);
    const QDateTime when = InTokyo();

    EXPECT_EQ(LongTimeText(when, us), QStringLiteral("3:04:05 PM"));
    EXPECT_EQ(LongTimeText(when, fr), QStringLiteral("15:04:05"));
    EXPECT_EQ(ShortDateLongTimeText(when, us), QStringLiteral("1/2/26 3:04:05 PM"));
    EXPECT_EQ(ShortDateLongTimeText(when, fr), QStringLiteral("02/01/2026 15:04:05"));
    EXPECT_EQ(LongDateLongTimeText(when, us), QStringLiteral("Friday, January 2, 2026 3:04:05 PM"));
    EXPECT_EQ(LongDateLongTimeText(when, fr), QStringLiteral("vendredi 2 janvier 2026 15:04:05"));
}

TEST(DateTimeText, NoLocaleShowsTheZone) {
    // The locale data puts the zone last, first, in brackets or after a comma.
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const QString format = LongTimeFormat(locale);
        SCOPED_TRACE(locale.name().toStdString() + " [" + format.toStdString() + "]");
        EXPECT_FALSE(format.isEmpty());
        EXPECT_EQ(LongTimeText(InTokyo(), locale), LongTimeText(InUtc(), locale));
        EXPECT_EQ(LongDateLongTimeText(InTokyo(), locale), LongDateLongTimeText(InUtc(), locale));
    }
}

} // namespace
