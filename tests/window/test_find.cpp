// The tail window's find bar and match marks, wired to the real view and the pass's switches.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "engine/tail_state.h"
#include "widgets/find_bar.h"
#include "widgets/match_highlight.h"
#include "window_fixture.h"

namespace {

class TailWindowFind : public TailWindowTest {};

TEST_F(TailWindowFind, CtrlFSearchesTheViewWhileTheTailGoesOnAndMarksFollowTheSwitches) {
    MakeWindow();
    const QString log = WriteFile(QStringLiteral("app.log"), "ERROR disk\nok one\nerror net\n");
    StartOn(log);
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));

    // Ctrl+F with the focus outside the view (in the filter field) opens the bar.
    auto* bar = Window().findChild<FindBar*>();
    ASSERT_NE(bar, nullptr);
    Ui().RzComboBoxFilter->setFocus();
    QTest::keyClick(&Window(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible()) << "Ctrl+F did not open the find bar";
    // The bottom indicator stays over the view, clear of the bar.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Ui().ImageIndicator->geometry().bottom() < bar->mapTo(Ui().RzPanel2, QPoint(0, 0)).y();
        },
        20000))
        << "the bottom indicator covers the find bar";
    QTest::keyClicks(&bar->Field(), QStringLiteral("error"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->CountText() == QStringLiteral("1 of 2"); }, 20000))
        << bar->CountText().toStdString();
    // Lines arrive while the bar is open: the count follows the new view.
    const QByteArray more = "third error\n";
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(more);
    file.close();
    Window().Engine().Tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->CountText().endsWith(QStringLiteral(" of 3")); }, 20000))
        << bar->CountText().toStdString();

    // The marks: the filter's matches once the filter is on and not inverted, none when off.
    auto* highlighter = Ui().MemoTail->findChild<MatchHighlighter*>();
    ASSERT_NE(highlighter, nullptr);
    const QString line = QStringLiteral("ERROR disk");
    EXPECT_TRUE(highlighter->MarksFor(line, 0).isEmpty()) << "no filter, no marks";
    Ui().RzComboBoxFilter->setEditText(QStringLiteral("(?i)error"));
    ClickOn(Ui().CheckBoxFilter);
    Window().Engine().Tick();
    const QList<ViewMark> marks = highlighter->MarksFor(line, 0);
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].start, 0);
    EXPECT_EQ(marks[0].length, 5);
    ClickOn(Ui().CheckBoxFilter);
    EXPECT_TRUE(highlighter->MarksFor(line, 0).isEmpty()) << "marks stay after the filter is turned off";
}

} // namespace
