// Lines coloured by level and the user's highlight rules: the marks asked of the colorizer, and the
// pixels of a real view in day, night and user colours, with the switch on and off, under the
// filter's marks.
#include <QApplication>

#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "view_test_image.h"
#include "widgets/line_colors.h"
#include "widgets/match_highlight.h"
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

// Pixels of a real view: each line's rows as an image.
struct PaintedView {
    explicit PaintedView(const QPalette& palette) {
        QFont font(QStringLiteral("Monospace"));
        font.setPixelSize(18);
        view.setFont(font);
        view.setPalette(palette);
        view.resize(700, 300);
        ViewSnapshotBuilder builder;
        for (const char* line : {"12:00 ERROR disk failed", "12:00 INFO disk fine", "12:00 WARN disk slow",
                                 "12:00 DEBUG disk poll", "12:00 INFO req-42 served"})
            builder.Append(QString::fromLatin1(line));
        view.SetSnapshot(builder.Build());
        view.show();
    }
    QImage Line(qint64 line) {
        QApplication::processEvents();
        return view.viewport()->grab().toImage().copy(view.LineRect(line));
    }
    TailView view;
};

QPalette Colours(QColor base, QColor text) {
    QPalette palette;
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    return palette;
}

TEST(LineColors, LevelColoursReadInDayNightAndUserColoursAndGoWithTheSwitch) {
    const QPalette palettes[] = {Colours(QColor(0xF0, 0xFF, 0xF0), Qt::black),           // day
                                 Colours(Qt::black, QColor(0xF0, 0xFF, 0xF0)),           // night
                                 Colours(QColor(0x00, 0x00, 0x80), QColor(Qt::yellow))}; // the user's
    for (const QPalette& palette : palettes) {
        SCOPED_TRACE(palette.color(QPalette::Base).name().toStdString());
        PaintedView painted(palette);
        LineColorSettings settings;
        LineColorizer colors(painted.view, [&] { return settings; });
        const LevelColors& c = colors.Colors();
        const QColor base = palette.color(QPalette::Base);
        for (const QColor& level : {c.error, c.warning, c.debug})
            EXPECT_GE(ContrastRatio(level, base), 3.0) << level.name().toStdString();
        EXPECT_GE(ContrastRatio(c.error, base),
                  std::min(4.5, 0.9 * ContrastRatio(palette.color(QPalette::Text), base)));
        EXPECT_GT(c.error.red(), c.error.green() + 60) << "the error family is red";
        EXPECT_GT(c.warning.red(), c.warning.blue() + 60) << "warnings are amber";
        EXPECT_LT(ContrastRatio(c.debug, base), ContrastRatio(palette.color(QPalette::Text), base))
            << "debug dimmed";

        EXPECT_TRUE(HasColour(painted.Line(0), c.error));
        EXPECT_FALSE(HasColour(painted.Line(1), c.error));
        EXPECT_TRUE(HasColour(painted.Line(1), palette.color(QPalette::Text)));
        EXPECT_TRUE(HasColour(painted.Line(2), c.warning));
        EXPECT_TRUE(HasColour(painted.Line(3), c.debug));
        settings.byLevel = false;
        colors.Refresh();
        EXPECT_FALSE(HasColour(painted.Line(0), c.error));
        EXPECT_TRUE(HasColour(painted.Line(0), palette.color(QPalette::Text)));
    }
}

TEST(LineColors, ARuleColoursItsMatchOrItsLineAndTheFilterMarkStaysOverIt) {
    PaintedView painted(Colours(Qt::white, Qt::black));
    LineColorSettings settings{true, {{QStringLiteral("req-\\d+"), kYellow, false}}, {}, {}};
    LineColorizer colors(painted.view, [&] { return settings; });
    const QColor yellow(255, 255, 0);
    const QImage served = painted.Line(4);
    EXPECT_TRUE(HasColour(served, yellow));
    for (qint64 line = 0; line < 4; ++line)
        EXPECT_FALSE(HasColour(painted.Line(line), yellow)) << line;
    // Only on the match: not at the line's start nor past its text.
    EXPECT_FALSE(HasColour(served.copy(0, 0, 40, served.height()), yellow));
    EXPECT_FALSE(HasColour(served.copy(served.width() - 40, 0, 40, served.height()), yellow));

    // Whole line: its rows edge to edge.
    settings.rules = {{QStringLiteral("disk fine"), kCyan, true}};
    colors.Refresh();
    const QImage fine = painted.Line(1);
    EXPECT_EQ(fine.pixelColor(fine.width() - 2, fine.height() / 2), QColor(0, 255, 255));
    EXPECT_EQ(fine.pixelColor(1, fine.height() / 2), QColor(0, 255, 255));
    EXPECT_FALSE(HasColour(painted.Line(0), QColor(0, 255, 255)));

    // The filter's mark is drawn over a rule's colour.
    HighlightPatterns patterns{true, false, QStringLiteral("fine"), false, false, {}};
    MatchHighlighter highlighter(painted.view, [&] { return patterns; });
    EXPECT_TRUE(HasColour(painted.Line(1), highlighter.Colors().filter));
    EXPECT_TRUE(HasColour(painted.Line(1), QColor(0, 255, 255)));
}

} // namespace
