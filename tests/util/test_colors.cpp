#include "util/colors.h"

#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(Colors, ConvertPlainColoursWithRedInTheLowByte) {
    EXPECT_EQ(ColorToQColor(0x00336699u), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(QColorToColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
    EXPECT_EQ(QColorToColor(ColorToQColor(0x00ABCDEFu)), 0x00ABCDEFu);
}

TEST(Colors, SystemColoursComeFromThePalette) {
    EXPECT_TRUE(IsSystemColor(kColorBtnFace));
    EXPECT_FALSE(IsSystemColor(0x00FFFFFFu));
    EXPECT_FALSE(IsSystemColor(0x7F00000Fu));

    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Active, QPalette::Base, QColor(4, 5, 6));
    palette.setColor(QPalette::Active, QPalette::Text, QColor(7, 8, 9));
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 11, 12));
    palette.setColor(QPalette::Active, QPalette::Window, QColor(13, 14, 15));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(16, 17, 18));

    struct RoleCase {
        quint32 color;
        QColor expected;
    };
    const RoleCase cases[] = {
        {kColorBtnFace, QColor(1, 2, 3)},  // COLOR_BTNFACE
        {0xFF000005u, QColor(4, 5, 6)},    // COLOR_WINDOW: edit background
        {0xFF000008u, QColor(7, 8, 9)},    // COLOR_WINDOWTEXT
        {0xFF00000Du, QColor(10, 11, 12)}, // COLOR_HIGHLIGHT
        {0xFF000011u, QColor(16, 17, 18)}, // COLOR_GRAYTEXT
        {0xFF0000C8u, QColor(13, 14, 15)}, // unknown index
        {0x00030201u, QColor(1, 2, 3)},    // plain colour, palette not used
    };
    for (const RoleCase& c : cases)
        EXPECT_EQ(ResolveColor(c.color, palette), c.expected) << std::hex << c.color;
}

TEST(Colors, LightenAddsSixteenThenSmallerStepsNearWhite) {
    struct LightenCase {
        quint32 rgb;
        quint32 expected;
    };
    // Red is the low byte.
    const LightenCase cases[] = {
        {0x000000u, 0x101010u},   // +16 on each channel
        {0x102030u, 0x203040u},   // channels move independently
        {0xFF8000u, 0xFF9010u},   // only blue caps at +16
        {0xF8F8F8u, 0xFCFCFCu},   // +16 and +8 give white, +4 does not
        {0xF5F0FFu, 0xFDF8FFu},   // +16 caps all three, +8 does not
        {0xF0FFFFu, 0xF8FFFFu},   // two channels already full
        {0xFCFCFCu, 0xFEFEFEu},   // white until +2
        {0xFEFEFEu, 0xFFFFFFu},   // every try gives white: the +2 try stands
        {0xFEFFFEu, 0xFFFFFFu},   // likewise with two channels already full
        {0xFFFFFFu, 0xFFFFFFu},   // white stays white
        {0xFF00000Fu, 0x10101Fu}, // high byte ignored
    };
    for (const LightenCase& c : cases)
        EXPECT_EQ(LightenColor(c.rgb), c.expected) << std::hex << c.rgb;
}

TEST(Colors, TintLeavesColoursAloneOnPoorDisplaysAndResolvesSystemColours) {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Button, QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(TintColor(0x102030u, 300, palette), 0x102030u);
    EXPECT_EQ(TintColor(kColorBtnFace, 256, palette), kColorBtnFace);
    EXPECT_EQ(TintColor(0x102030u, 301, palette), 0x203040u);
    EXPECT_EQ(TintColor(kColorBtnFace, DisplayColorCount(24), palette), 0xF0F0F0u);
}

TEST(Colors, DisplayColorCountIsTwoToTheDepthIn64Bits) {
    EXPECT_EQ(DisplayColorCount(0), 1);
    EXPECT_EQ(DisplayColorCount(8), 256);
    EXPECT_EQ(DisplayColorCount(24), 16777216);
    EXPECT_EQ(DisplayColorCount(32), Q_INT64_C(4294967296));
    EXPECT_EQ(DisplayColorCount(63), std::numeric_limits<qint64>::max());
    EXPECT_EQ(DisplayColorCount(-1), 1);
}

} // namespace
