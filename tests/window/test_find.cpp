// The tail window's find bar and match marks, wired to the real view and the pass's switches.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "engine/tail_state.h"
#include "widgets/find_bar.h"
#include "widgets/match_highlight.h"
#include "widgets/view_find.h"
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

// Costly expressions typed key by key into the real window's find bar, over five lines of 210,000
// characters in a 2000 KB read window (past 200,000 characters the library no longer looks for the
// letters the expression needs first, and .*.*E alone ran for minutes) and over 25,000 lines: the
// window goes on answering (a timer of its thread keeps ticking) while every key is handled and
// the count runs, and the count ends.
TEST_F(TailWindowFind, CostlyExpressionsTypedIntoTheBarNeverHoldTheWindow) {
    MakeWindow();
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    Ui().RzSpinEditBufKo->setValue(2000);
    const QByteArray words = QByteArray("abcd ").repeated(42000);
    const QByteArray nested = QByteArray(40, 'a') + "!\n";
    const struct {
        QByteArray text;
        QString typed;
    } cases[] = {{(words + '\n').repeated(5), QStringLiteral(".*.*ERROR")},
                 {nested.repeated(25000), QStringLiteral("(a+)+$")}};
    auto* bar = Window().findChild<FindBar*>();
    ASSERT_NE(bar, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        StartOn(WriteFile(QStringLiteral("long.log"), c.text));
        bar->Open();
        bar->RegularExpression().setChecked(true);
        bar->Field().clear();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        beat.start(5);
        for (const QChar key : c.typed) {
            QTest::keyClick(&bar->Field(), key.toLatin1());
            QTest::qWait(20);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->Find().Count().has_value(); }, 60000));
        QTest::qWait(50);
        EXPECT_EQ(bar->Field().text(), c.typed);
        EXPECT_EQ(bar->CountText(), QStringLiteral("0 of 0")) << "nothing found within the budget";
        // Minutes before; a key, a paint with its marks and a count of a line are bounded now.
        EXPECT_LT(longest, 3000);
        ClickStop();
    }
}

} // namespace
