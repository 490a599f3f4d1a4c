// Notices appended to a full view: the first lines go, and the view the user looks at does not
// move under them (the same line on top, the selection on its text) unless it showed the end.
#include <gtest/gtest.h>

#include "engine/view_publishing.h"
#include "support/fake_tail_window.h"

namespace {

ViewSnapshot NumberedLines(int count) {
    ViewSnapshotBuilder builder;
    for (int i = 0; i < count; ++i)
        builder.Append(QString::number(i));
    return builder.Build();
}

TEST(ViewPublishing, NoticesBeyondTheBoundKeepTheTopLineAndTheSelectionOnTheirText) {
    FakeTailWindow window;
    window.view = NumberedLines(int(kMaxNoticeLines));
    window.firstVisible = 500;
    window.selection = {{600, 0}, {601, 1}}; // "600\r\n6"
    AppendViewNotice(window, u"notice one");
    ASSERT_EQ(window.view.LineCount(), kMaxNoticeLines);
    EXPECT_EQ(window.view.Line(0), "1");
    EXPECT_EQ(window.view.Line(kMaxNoticeLines - 1), "notice one");
    EXPECT_EQ(window.view.Line(window.firstVisible), "500");
    EXPECT_EQ(window.view.TextBetween(window.selection, u"\r\n"), "600\r\n6");

    window.selection = {{0, 0}, {0, 1}};                                     // its line is the next to go
    window.firstVisible = window.view.LineCount() - window.linesThatFit + 1; // the end is on screen
    AppendViewNotice(window, u"notice two");
    ASSERT_EQ(window.view.LineCount(), kMaxNoticeLines);
    EXPECT_EQ(window.view.Line(0), "2");
    EXPECT_TRUE(window.selection.IsEmpty())
        << window.view.TextBetween(window.selection, u"\r\n").toStdString();
    EXPECT_EQ(window.firstVisible, kMaxNoticeLines - window.linesThatFit) << "the end stays shown";

    window.view = NumberedLines(3); // below the bound nothing goes
    AppendViewNotice(window, u"notice three");
    EXPECT_EQ(window.ViewLines(), (QStringList{"0", "1", "2", "notice three"}));
}

} // namespace
