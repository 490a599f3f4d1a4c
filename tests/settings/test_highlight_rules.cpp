// Highlight rules in kovra.ini: stored and read back in order, a hand-edited file keeps every other
// line byte for byte (a failed save is said as the histories' is: the same code), and "Highlight
// selection" rules are literal and take the palette's next colour.
#include <QRegularExpression>

#include "settings/highlight_rules.h"
#include "settings_fixture.h"

namespace {

class HighlightRules : public SettingsTest {};

TEST_F(HighlightRules, SurviveASaveAndAHandEditedFileKeepsItsOtherLines) {
    EXPECT_TRUE(LoadHighlightRules().empty()) << "no INI file";
    const QByteArray handEdited = "; my notes\r\n"
                                  "[\\Software\\Velmora\\Quorvel\\filter]\r\n"
                                  "Filter0=ERROR\r\n"
                                  "\r\n"
                                  "[\\Software\\Velmora\\Quorvel\\highlight]\r\n"
                                  "; rules I wrote\r\n"
                                  "Pattern0=host-\\d+\r\n"
                                  "Color0=255\r\n"
                                  "WholeLine0=O\r\n"
                                  "Pattern1=req=(\\w+)\r\n"
                                  "Color1=$00FF00\r\n"
                                  "Pattern3=never read: 2 is missing\r\n"
                                  "[other program]\r\n"
                                  "key=\xe9t\xe9 latin-1 bytes\r\n";
    WriteText(IniPath(), handEdited);
    const std::vector<HighlightRule> read = LoadHighlightRules();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], (HighlightRule{QStringLiteral("host-\\d+"), 0xFF, true}));
    EXPECT_EQ(read[1], (HighlightRule{QStringLiteral("req=(\\w+)"), 0x00FF00, false}));

    std::vector<HighlightRule> rules = read;
    std::swap(rules[0], rules[1]);
    rules.push_back({QStringLiteral("a;b=c [d]"), 0xFF0000FF, false}); // a system-colour byte is dropped
    ASSERT_TRUE(SaveHighlightRules(rules, nullptr));
    const QByteArray saved = ReadText(IniPath());
    EXPECT_TRUE(
        saved.startsWith("; my notes\r\n[\\Software\\Velmora\\Quorvel\\filter]\r\nFilter0=ERROR\r\n\r\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.endsWith("[other program]\r\nkey=\xe9t\xe9 latin-1 bytes\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("; rules I wrote\r\n"));
    EXPECT_FALSE(saved.contains("never read"));
    rules[2].color = 0xFF;
    EXPECT_EQ(LoadHighlightRules(), rules) << "read back as a restart reads them";

    // Saving what is stored again changes no byte.
    ASSERT_TRUE(SaveHighlightRules(LoadHighlightRules(), nullptr));
    EXPECT_EQ(ReadText(IniPath()).toStdString(), saved.toStdString());
}

TEST(LiteralHighlightRule, EscapesTheTextAndTakesThePalettesNextColour) {
    std::vector<HighlightRule> rules;
    for (int i = 0; i < 7; ++i)
        rules.push_back(LiteralHighlightRule(QStringLiteral("a.b(c)*[%1]").arg(i), rules));
    EXPECT_TRUE(QRegularExpression(rules[0].pattern).match(QStringLiteral("x a.b(c)*[0] y")).hasMatch());
    EXPECT_FALSE(QRegularExpression(rules[0].pattern).match(QStringLiteral("aXb(c)[0]")).hasMatch());
    EXPECT_FALSE(rules[0].wholeLine);
    for (size_t i = 1; i < 6; ++i)
        EXPECT_NE(rules[i].color, rules[i - 1].color);
    EXPECT_EQ(rules[6].color, rules[0].color) << "six colours, then round again";
    rules.back().color = 0x123456; // a colour of the user's: the palette goes on by the count
    EXPECT_EQ(LiteralHighlightRule(QStringLiteral("z"), rules).color, rules[1].color);
}

} // namespace
