// Lines coloured by level and the user's highlight rules: the marks the colorizer gives a line (the
// pixels of the real window are tested in tests/window/test_line_colors.cpp).
#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "widgets/line_colors.h"
#include "widgets/tail_view.h"

namespace {

struct Mark {
    qsizetype start;
    qsizetype length;
    bool wholeLine;
    bool levelColour; // a text colour and no background
    friend bool operator==(const Mark&, const Mark&) = default;
};

std::vector<Mark> MarksOf(const QList<ViewMark>& marks) {
    std::vector<Mark> out;
    for (const ViewMark& m : marks)
        out.push_back({m.start, m.length, m.wholeLine, m.foreground.isValid() && !m.background.isValid()});
    return out;
}

constexpr quint32 kYellow = 0x0000FFFF; // red in the low byte
constexpr quint32 kCyan = 0x00FFFF00;

TEST(LineColors, LevelsAndRulesGiveTheirMarksTopRuleLast) {
    TailView view;
    LineColorSettings settings{true,
                               {{QStringLiteral("req-\\d+"), kYellow, false},
                                {QStringLiteral("db"), kCyan, true},
                                {QStringLiteral("(unclosed"), kCyan, false},
                                {QStringLiteral("^(a+)+$|db"), kYellow, false}},
                               {},
                               {}};
    LineColorizer colors(view, [&] { return settings; });
    const QString line = QStringLiteral("ERROR db req-42 and req-7");
    // The level, then the rules from the last to the first (a pattern that does not compile
    // gives none): the first is drawn over the others.
    EXPECT_EQ(MarksOf(colors.MarksFor(line, 0)), (std::vector<Mark>{{0, 25, false, true},
                                                                    {6, 2, false, false},
                                                                    {0, 25, true, false},
                                                                    {9, 6, false, false},
                                                                    {20, 5, false, false}}));
    const QList<ViewMark> marks = colors.MarksFor(line, 0);
    EXPECT_EQ(marks[3].background, QColor(255, 255, 0));
    EXPECT_EQ(marks[2].background, QColor(0, 255, 255));
    EXPECT_EQ(marks[0].foreground, colors.Colors().error);
    EXPECT_EQ(MarksOf(colors.MarksFor(QStringView(line).mid(9), 9)),
              (std::vector<Mark>{{9, 6, false, false}, {20, 5, false, false}}))
        << "a slice of a long line keeps its columns and shows no level";
    EXPECT_TRUE(colors.MarksFor(QStringLiteral("INFO all well"), 0).empty());
    // Too costly on a line: that rule marks nothing there, not even its "db", the others still do.
    const QString costly = QString(3000, u'a') + QStringLiteral("b db");
    EXPECT_EQ(MarksOf(colors.MarksFor(costly, 0)), (std::vector<Mark>{{0, 3004, true, false}}));

    // A source that ranks its own lines decides over the words; the switch off shows no level.
    settings.levels = [](QStringView text) {
        return text.startsWith(u"kernel") ? LineLevel::Warning : LineLevel::Plain;
    };
    settings.levelsOf = QStringLiteral("journal:");
    settings.rules.clear();
    colors.Refresh();
    EXPECT_TRUE(colors.MarksFor(QStringLiteral("ERROR in text only"), 0).empty());
    ASSERT_EQ(colors.MarksFor(QStringLiteral("kernel: disk"), 0).size(), 1);
    EXPECT_EQ(colors.MarksFor(QStringLiteral("kernel: disk"), 0)[0].foreground, colors.Colors().warning);
    settings.byLevel = false;
    colors.Refresh();
    EXPECT_TRUE(colors.MarksFor(QStringLiteral("kernel: disk"), 0).empty());
}

TEST(LineColors, OnlyTheLinesLaidOutForTheScreenAreLookedAt) {
    ViewSnapshotBuilder builder;
    for (int i = 0; i < 100000; ++i)
        builder.Append(QStringLiteral("12:00 ERROR %1").arg(i));
    TailView view;
    view.resize(600, 400);
    view.SetSnapshot(builder.Build());
    view.SetFirstVisibleLine(50000);
    int asked = 0;
    LineColorSettings settings;
    settings.levels = [&](QStringView) {
        ++asked;
        return LineLevel::Error;
    };
    settings.levelsOf = QStringLiteral("counted");
    LineColorizer colors(view, [&] { return settings; });
    view.viewport()->grab();
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, 2 * (view.LinesThatFit() + 2)) << "no pass over the whole window";
}

} // namespace
