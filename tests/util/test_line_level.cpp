// The level a log line shows: the first level word or one-letter form decides, whole words only,
// in the common loggers' layouts; and the text key that survives the view's shaping of blanks.
#include <QString>

#include <gtest/gtest.h>

#include "util/line_level.h"

namespace {

TEST(LineLevel, TheFirstLevelWordOfALineDecides) {
    const struct {
        const char16_t* line;
        LineLevel level;
    } cases[] = {
        {u"2024-05-01 12:00:01 ERROR db: timeout", LineLevel::Error},
        {u"2024-05-01 12:00:01 [error] db: timeout", LineLevel::Error},
        {u"May  1 12:00:01 host kernel: <crit> disk", LineLevel::Error},
        {u"level=fatal msg=\"out of memory\"", LineLevel::Error},
        {u"SEVERE: Servlet failed", LineLevel::Error},
        {u"sshd[812]: err: bad key", LineLevel::Error},
        {u"EMERG panic ALERT", LineLevel::Error},
        {u"12:00 WARN disk 91%", LineLevel::Warning},
        {u"12:00 Warning: disk 91%", LineLevel::Warning},
        {u"12:00 DEBUG cache hit", LineLevel::Debug},
        {u"12:00 trace enter f()", LineLevel::Debug},
        {u"12:00 VERBOSE x=1", LineLevel::Debug},
        // The first one wins: an info line that speaks of an error stays plain.
        {u"INFO retrying after error", LineLevel::Plain},
        {u"NOTICE: WARNING follows", LineLevel::Plain},
        {u"DEBUG: error count 0", LineLevel::Debug},
        // Whole words only; no level at all is plain.
        {u"errors=0 warnings=0 informational", LineLevel::Plain},
        {u"ERRATA WARNED debugger", LineLevel::Plain},
        {u"stderr_log terror", LineLevel::Plain},
        {u"", LineLevel::Plain},
        // One-letter forms in brackets and Android's "E/Tag:"; a path or "I/O" is none.
        {u"12:00:01 [E] socket closed", LineLevel::Error},
        {u"12:00:01 [W] slow", LineLevel::Warning},
        {u"[D] poll", LineLevel::Debug},
        {u"05-01 12:00:01.123 E/ActivityManager( 812): ANR", LineLevel::Error},
        {u"W/System: slow", LineLevel::Warning},
        {u"disk I/O error", LineLevel::Error},
        {u"open /var/E/x: denied", LineLevel::Plain},
        {u"[x] done [e]", LineLevel::Plain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LevelOfText(QStringView(c.line)), c.level) << QString::fromUtf16(c.line).toStdString();

    // Only the start of a long line is looked at.
    const QString late = QString(kLevelScanUnits, u'x') + QStringLiteral(" ERROR");
    EXPECT_EQ(LevelOfText(late), LineLevel::Plain);
    EXPECT_EQ(LevelOfText(QStringLiteral("ERROR ") + late), LineLevel::Error);
}

TEST(LineLevel, PrioritiesAndTextKeys) {
    const LineLevel expected[] = {LineLevel::Error,   LineLevel::Error, LineLevel::Error, LineLevel::Error,
                                  LineLevel::Warning, LineLevel::Plain, LineLevel::Plain, LineLevel::Debug};
    for (int priority = 0; priority < 8; ++priority)
        EXPECT_EQ(LevelOfPriority(priority), expected[priority]) << priority;
    EXPECT_EQ(LevelOfPriority(-1), LineLevel::Plain);
    EXPECT_EQ(LevelOfPriority(8), LineLevel::Plain);

    // Kill space folds blanks and tabs become blanks: the key stays; other text changes it.
    const QByteArray rendered = "2024-05-01T12:00:01+0000 web1 app[3]:  disk \xc3\xa9t\xc3\xa9   full";
    EXPECT_EQ(LineTextKey(QStringLiteral("2024-05-01T12:00:01+0000 web1 app[3]: disk \u00e9t\u00e9 full")),
              LineTextKey(rendered));
    EXPECT_EQ(LineTextKey(QStringLiteral("a\tb")), LineTextKey(QByteArrayView("a b")));
    EXPECT_NE(LineTextKey(QByteArrayView("disk full")), LineTextKey(QByteArrayView("disk fall")));
}

} // namespace
