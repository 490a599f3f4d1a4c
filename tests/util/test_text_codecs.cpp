#include "util/text_codecs.h"

#include <gtest/gtest.h>

namespace {

struct IntegerCase {
    const char16_t* text;
    qint32 expected;
};

TEST(DecodeInteger, ReadsSignsPrefixesAndStopsAtTheFirstStrayCharacter) {
    const IntegerCase cases[] = {
        {u" 42", 42}, {u"   7", 7},  {u"-7", -7},   {u"+3", 3},     {u"$1F", 31},   {u"x1f", 31},
        {u"X1F", 31}, {u"0x1F", 31}, {u"0X1f", 31}, {u"-$10", -16}, {u"12abc", 12}, {u"$1G", 1},
        {u"0x", 0},   {u"$", 0},     {u"007", 7},   {u"1 2", 1},    {u"abc", 0},    {u"", 0},
        {u"-", 0},    {u"- 5", 0},   {u"\t5", 0}, // only blanks are skipped
        {u"٣", 0},                                // a non-ASCII digit does not count
    };
    for (const IntegerCase& c : cases)
        EXPECT_EQ(DecodeInteger(QString::fromUtf16(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(DecodeInteger, WrapsLikeA32BitIntegerOnOverflow) {
    // Expected values are the texts' numbers modulo 2^32 read as signed 32-bit, computed with
    // python3 (n % 2**32).
    const IntegerCase cases[] = {
        {u"2147483647", 2147483647},
        {u"2147483648", -2147483647 - 1},
        {u"-2147483648", -2147483647 - 1},
        {u"4294967295", -1},
        {u"$FFFFFFFF", -1},
        {u"$FF00000F", -16777201}, // the button-face system colour
        {u"-16777201", -16777201},
        {u"99999999999", 1215752191},
        {u"$123456789", 0x23456789},
        {u"99999999999999999999999999", static_cast<qint32>(0xE3FFFFFFu)},
    };
    for (const IntegerCase& c : cases)
        EXPECT_EQ(DecodeInteger(QString::fromUtf16(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(Flags, OnlyOAndOuiSpellingsDecodeAsOn) {
    struct FlagCase {
        const char16_t* text;
        bool expected;
    };
    const FlagCase cases[] = {
        {u"O", true},    {u"o", true},     {u"OUI", true}, {u"Oui", true}, {u"oUi", true},
        {u"oui", true},  {u"öùï", true},   {u"oûî", true}, // lower-case accented letters fold
        {u"N", false},   {u"n", false},    {u"1", false},  {u"", false},   {u"0", false},
        {u"Ôui", false}, // upper-case accented letters are not folded
        {u"Où", false},  {u"OUI ", false}, {u" O", false}, {u"OU", false}, {u"OUIOUI", false},
        {u"Yes", false}, {u"Non", false},
    };
    for (const FlagCase& c : cases)
        EXPECT_EQ(DecodeFlag(QString::fromUtf16(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
    EXPECT_EQ(EncodeFlag(true), QStringLiteral("O"));
    EXPECT_EQ(EncodeFlag(false), QStringLiteral("N"));
}

TEST(TrimBlanksAndControls, TrimsCodesUpTo32AtBothEndsOnly) {
    const QString c0 = QString(QChar(0)) + QChar(0x1F);
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral(" \t value \r\n")), QStringLiteral("value"));
    EXPECT_EQ(TrimBlanksAndControls(c0 + QStringLiteral("a b") + c0), QStringLiteral("a b"));
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral(" \x01 ")), QString());
    EXPECT_EQ(TrimBlanksAndControls(QString()), QString());
    // A no-break space (0xA0) is above 32 and stays, unlike QString::trimmed.
    EXPECT_EQ(TrimBlanksAndControls(QStringLiteral("\u00A0x ")), QStringLiteral("\u00A0x"));
}

} // namespace
