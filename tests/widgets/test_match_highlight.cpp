// Filter and alert matches marked on the lines of a view: the ranges, case-insensitive and
// zero-length patterns, inversion and costly patterns, and colours that stay readable.
#include <QApplication>

#include <gtest/gtest.h>

#include "engine/view_snapshot.h"
#include "view_test_image.h"
#include "widgets/match_highlight.h"
#include "widgets/tail_view.h"

namespace {

struct Range {
    qsizetype start;
    qsizetype length;
    bool bold;
    friend bool operator==(const Range&, const Range&) = default;
};

std::vector<Range> RangesOf(const QList<ViewMark>& marks) {
    std::vector<Range> ranges;
    for (const ViewMark& mark : marks)
        ranges.push_back({mark.start, mark.length, mark.bold});
    return ranges;
}

TEST(MatchHighlight, MarksFilterAndAlertMatchesAsThePassSeesThem) {
    TailView view;
    HighlightPatterns patterns{true, false, QStringLiteral("err\\w*"),
                               true, false, QStringLiteral("(?i)fatal")};
    MatchHighlighter highlighter(view, [&] { return patterns; });
    const QString line = QStringLiteral("an error and a FATAL errand");
    EXPECT_EQ(RangesOf(highlighter.MarksFor(line, 0)),
              (std::vector<Range>{{3, 5, false}, {21, 6, false}, {15, 5, true}}));
    EXPECT_EQ(RangesOf(highlighter.MarksFor(QStringView(line).mid(10), 10)),
              (std::vector<Range>{{21, 6, false}, {15, 5, true}}))
        << "a slice of a long line keeps the line's columns";
    EXPECT_TRUE(highlighter.MarksFor(QStringLiteral("An Error"), 0).empty()) << "case-sensitive unless (?i)";

    // Zero-length matches end and mark nothing; a match next to them still shows.
    patterns.filter = QStringLiteral("x*");
    patterns.alert = QStringLiteral("\\b|(?=z)");
    highlighter.Refresh();
    EXPECT_EQ(RangesOf(highlighter.MarksFor(QStringLiteral("axxb \U0001F600z"), 0)),
              (std::vector<Range>{{1, 2, false}}));

    // Inverted patterns, a blank filter, a switch off and an empty alert mark nothing.
    patterns = {true, true, QStringLiteral("error"), true, true, QStringLiteral("error")};
    highlighter.Refresh();
    EXPECT_TRUE(highlighter.MarksFor(QStringLiteral("error"), 0).empty());
    patterns = {true, false, QStringLiteral(" \t"), true, false, QString()};
    highlighter.Refresh();
    EXPECT_TRUE(highlighter.MarksFor(QStringLiteral("a \t b"), 0).empty());
    patterns = {false, false, QStringLiteral("a"), false, false, QStringLiteral("a")};
    highlighter.Refresh();
    EXPECT_TRUE(highlighter.MarksFor(QStringLiteral("a"), 0).empty());

    // A pattern too costly on a line marks nothing there, and the other pattern still does.
    patterns = {true, false, QStringLiteral("^(a+)+$"), true, false, QStringLiteral("b")};
    highlighter.Refresh();
    EXPECT_EQ(RangesOf(highlighter.MarksFor(QString(3000, QLatin1Char('a')) + QStringLiteral("b"), 0)),
              (std::vector<Range>{{3000, 1, true}}));
}

TEST(MatchHighlight, TheViewPaintsTheMarksAndDropsThemWhenThePatternIsInverted) {
    TailView view;
    view.resize(500, 200);
    HighlightPatterns patterns{true, false, QStringLiteral("kept"), true, false, QStringLiteral("alarm")};
    MatchHighlighter highlighter(view, [&] { return patterns; });
    ViewSnapshotBuilder builder;
    builder.Append(QStringLiteral("a kept line"));
    builder.Append(QStringLiteral("an alarm line"));
    view.SetSnapshot(builder.Build());
    view.show();
    QImage image = view.viewport()->grab().toImage();
    EXPECT_TRUE(HasColour(image, highlighter.Colors().filter));
    EXPECT_TRUE(HasColour(image, highlighter.Colors().alert));

    patterns.filterInverted = true;
    patterns.alertInverted = true;
    builder.Append(QStringLiteral("a new line"));
    view.SetSnapshot(builder.Build()); // a pass publishes: the switches are read again
    image = view.viewport()->grab().toImage();
    EXPECT_FALSE(HasColour(image, highlighter.Colors().filter));
    EXPECT_FALSE(HasColour(image, highlighter.Colors().alert));
}

TEST(MatchHighlight, MarkColoursAreReadableInDayNightAndUserColours) {
    struct Colours {
        QColor base, text;
    };
    for (const Colours& c :
         {Colours{Qt::white, Qt::black}, Colours{Qt::black, Qt::white},
          Colours{QColor(0xC0, 0xFF, 0xC0), Qt::black}, Colours{QColor(0, 0, 0x80), QColor(0xC0, 0xC0, 0xC0)},
          Colours{QColor(0x30, 0x30, 0x30), QColor(0xFF, 0xFF, 0x80)}}) {
        QPalette palette;
        palette.setColor(QPalette::Base, c.base);
        palette.setColor(QPalette::Text, c.text);
        const MarkColors marks = MarkColorsFor(palette);
        const double plain = ContrastRatio(c.text, c.base);
        for (const QColor& mark : {marks.filter, marks.alert, marks.find, marks.current}) {
            SCOPED_TRACE(c.base.name().toStdString() + " " + mark.name().toStdString());
            EXPECT_GE(ContrastRatio(c.text, mark), std::min(4.5, plain * 0.9)) << "text stays readable";
            EXPECT_NE(mark, c.base) << "the mark shows";
        }
        EXPECT_NE(marks.filter, marks.alert);
        EXPECT_NE(marks.find, marks.current);
    }
}

} // namespace
