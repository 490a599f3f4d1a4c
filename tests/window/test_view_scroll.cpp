// The view's scroll position on the real widget, with lines long enough to wrap: a view at its end
// stays at its end when lines arrive and when its height changes, one scrolled up stays where it
// is, and the Wrap box shows the end. The first visible line, the lines that fit and the line count
// must share one unit. A button held in the view holds its updates, until the press ends however
// it ends.
#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include "engine/tail_state.h"
#include "settings/uList.h"
#include "widgets/find_bar.h"
#include "widgets/kovra_resources.h"
#include "widgets/tail_view.h"
#include "window/tail_controls.h"
#include "window/tail_port.h"
#include "window_fixture.h"
#include "window_parts/wait_until.h"

namespace {

// Lines of about four screen lines each in the default window.
QByteArray LongLines(int from, int count) {
    QByteArray text;
    for (int i = from; i < from + count; ++i)
        text += "line " + QByteArray::number(i) + ' ' + QByteArray(300, 'x') + '\n';
    return text;
}

class TailWindowScroll : public TailWindowTest {
protected:
    QScrollBar* Bar() { return Ui().MemoTail->verticalScrollBar(); }
    bool LastLineOnScreen() {
        TailView* view = Ui().MemoTail;
        const QRect last = view->LineRect(view->LineCount() - 1);
        return !last.isNull() && view->viewport()->rect().contains(last.bottomLeft());
    }
    QString Indicator() { return Ui().ImageIndicator->property("picture").toString(); }
    void FollowArrivingLines(bool wrap);
    void Append(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(text);
    }
};

TEST_F(TailWindowScroll, ViewAtItsEndFollowsArrivingLinesWrappedOrNot) {
    for (bool wrap : {true, false}) {
        SCOPED_TRACE(wrap ? "wrap" : "no wrap");
        FollowArrivingLines(wrap);
    }
}

void TailWindowScroll::FollowArrivingLines(bool wrap) {
    MakeWindow();
    Window().Manager().List->DefFile->SetWrap(wrap);
    const QString log =
        WriteFile(wrap ? QStringLiteral("wrap.log") : QStringLiteral("plain.log"), LongLines(0, 40));
    StartOn(log);
    ASSERT_EQ(Ui().CheckBoxWrap->isChecked(), wrap);
    TailWindowAdapter port(Window());
    ASSERT_EQ(port.ViewState().shown.LineCount(), 40);
    const int rowHeight = QFontMetrics(Ui().MemoTail->font()).lineSpacing();
    ASSERT_EQ(Ui().MemoTail->LineRect(39).height() > rowHeight * 3 / 2, wrap) << "the lines wrap";
    EXPECT_EQ(Bar()->value(), Bar()->maximum()) << "the first pass shows the end";
    EXPECT_TRUE(LastLineOnScreen());
    EXPECT_TRUE(port.ViewState().AtBottom());

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Append(log, LongLines(40 + round * 5, 5));
        Window().Engine().Tick();
        EXPECT_TRUE(ViewPlain().endsWith(QStringLiteral("line %1 ").arg(44 + round * 5) +
                                         QString(300, QLatin1Char('x'))));
        EXPECT_EQ(Bar()->value(), Bar()->maximum());
        EXPECT_TRUE(LastLineOnScreen());
        EXPECT_EQ(Indicator(), QLatin1String(kImageBottom));
    }

    // Scrolled up by the user, the view keeps the same line at its top and says it is not at the end.
    Bar()->setValue(Bar()->maximum() / 2);
    QTest::qWait(0);
    const qint64 top = port.ViewState().firstVisibleLine;
    ASSERT_GT(top, 0);
    EXPECT_FALSE(port.ViewState().AtBottom());
    Append(log, LongLines(100, 5));
    Window().Engine().Tick();
    EXPECT_EQ(port.ViewState().firstVisibleLine, top);
    EXPECT_FALSE(LastLineOnScreen());
    EXPECT_EQ(Indicator(), QLatin1String(kImageMiddle));
}

TEST_F(TailWindowScroll, WrapBoxShowsTheEndEitherWay) {
    MakeWindow();
    const QString log = WriteFile(QStringLiteral("app.log"), LongLines(0, 40));
    StartOn(log);
    for (bool wrap : {true, false, true}) {
        SCOPED_TRACE(wrap);
        Bar()->setValue(0);
        ClickOn(Ui().CheckBoxWrap);
        ASSERT_EQ(Ui().CheckBoxWrap->isChecked(), wrap);
        EXPECT_EQ(Ui().MemoTail->Wrap(), wrap);
        EXPECT_EQ(Bar()->value(), Bar()->maximum());
        EXPECT_TRUE(LastLineOnScreen());
    }
}

// The find bar opening and closing under the view, a smaller window: a view showing its end keeps
// showing it, and lines that arrive then show; a view scrolled up keeps its first line.
TEST_F(TailWindowScroll, HeightChangesKeepTheEndOnScreen) {
    for (bool wrap : {false, true}) {
        SCOPED_TRACE(wrap ? "wrap" : "no wrap");
        MakeWindow();
        Window().Manager().List->DefFile->SetWrap(wrap);
        const QString log = WriteFile(QStringLiteral("heights.log"), LongLines(0, 40));
        StartOn(log);
        TailView* view = Ui().MemoTail;
        int next = 40;
        // Does what changes the view's height; true once the height went down (or up).
        const auto height = [&](const std::function<void()>& change, bool down) {
            const int before = view->viewport()->height();
            change();
            return WaitUntil([&] {
                return down ? view->viewport()->height() < before : view->viewport()->height() > before;
            });
        };
        const auto endStaysOnScreen = [&](const char* after) {
            SCOPED_TRACE(after);
            EXPECT_TRUE(view->AtBottom());
            EXPECT_TRUE(LastLineOnScreen());
            Append(log, LongLines(next++, 1));
            Window().Engine().Tick();
            EXPECT_TRUE(ViewPlain().endsWith(QStringLiteral("line %1 ").arg(next - 1) + QString(300, u'x')));
            EXPECT_TRUE(LastLineOnScreen());
            EXPECT_EQ(Indicator(), QLatin1String(kImageBottom));
        };
        ASSERT_TRUE(LastLineOnScreen());

        auto* bar = Window().findChild<FindBar*>();
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(height([&] { QTest::keyClick(&Window(), Qt::Key_F, Qt::ControlModifier); }, true));
        ASSERT_TRUE(bar->isVisible());
        endStaysOnScreen("the find bar opened");
        EXPECT_TRUE(height([&] { QTest::keyClick(&bar->Field(), Qt::Key_Escape); }, false));
        endStaysOnScreen("the find bar closed");
        const QSize size = Window().size();
        EXPECT_TRUE(height([&] { Window().resize(size.width(), size.height() - 150); }, true));
        endStaysOnScreen("the window got smaller");

        Bar()->setValue(Bar()->maximum() / 2);
        const qint64 top = view->FirstVisibleLine();
        ASSERT_GT(top, 0);
        EXPECT_TRUE(height([&] { Window().resize(size); }, false));
        EXPECT_EQ(view->FirstVisibleLine(), top) << "scrolled up, the first line stays";
        EXPECT_FALSE(view->AtBottom());
        ClickStop();
    }
}

// The passes leave the view alone while a button is held in it; however the press ends, the next
// pass shows the new lines: the context menu took the release, the focus went elsewhere, the
// window was hidden.
TEST_F(TailWindowScroll, AHeldButtonEndsHoweverThePressEnds) {
    MakeWindow();
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    const QString log = WriteFile(QStringLiteral("held.log"), "line 0\n");
    StartOn(log);
    QMenu* menu = Ui().PopupMenuTAILMemo;
    // Through the window, as the window system delivers them: the right button's press opens the
    // context menu, which then takes the release.
    QWindow* window = Window().windowHandle();
    const QPoint inside = Ui().MemoTail->viewport()->mapTo(&Window(), QPoint(20, 5));
    int next = 1;
    const auto newLineShows = [&] {
        const QString line = QStringLiteral("line %1").arg(next++);
        Append(log, line.toLatin1() + '\n');
        Window().Engine().Tick();
        return ViewPlain().endsWith(line);
    };

    QTest::mousePress(window, Qt::LeftButton, {}, inside);
    EXPECT_FALSE(newLineShows()) << "held, the view stays as it is";
    QTest::mouseRelease(window, Qt::LeftButton, {}, inside);
    EXPECT_TRUE(newLineShows());

    const std::pair<const char*, std::function<void()>> endings[] = {
        {"menu closed by Escape",
         [&] {
             QTest::mousePress(window, Qt::RightButton, {}, inside);
             EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); })) << "the press opened no menu";
             QTest::mouseRelease(window, Qt::RightButton, {}, inside);
             QTest::keyClick(menu, Qt::Key_Escape);
             EXPECT_TRUE(WaitUntil([&] { return !menu->isVisible(); }));
         }},
        {"focus gone elsewhere",
         [&] {
             QTest::mousePress(window, Qt::LeftButton, {}, inside);
             EXPECT_TRUE(Ui().MemoTail->hasFocus());
             Ui().RzComboBoxFilter->setFocus();
         }},
        {"window hidden",
         [&] {
             QTest::mousePress(window, Qt::LeftButton, {}, inside);
             Window().hide();
             Window().show();
             EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window()));
         }},
    };
    for (const auto& [how, end] : endings) {
        SCOPED_TRACE(how);
        end();
        EXPECT_TRUE(newLineShows());
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) // up again: the next press is a new one
            QTest::mouseRelease(window, Qt::LeftButton, {}, inside);
    }
}

// A million lines, wrapped or not: the view scrolled up keeps its top line and a selection moves to
// the last occurrence of its text; the view at its end follows the end; a held mouse button keeps
// the view as it is.
TEST_F(TailWindowScroll, MillionLinesKeepTheScrollAndSelectionRules) {
    constexpr int kLines = 1000000;
    QByteArray lines;
    lines.reserve(kLines * 8);
    for (int i = 0; i < kLines; ++i)
        lines += (i == 10 || i == 900000 ? QByteArray("marker") : QByteArray::number(i)) + '\n';
    for (bool wrap : {false, true}) {
        SCOPED_TRACE(wrap ? "wrap" : "no wrap");
        MakeWindow();
        Window().Manager().List->DefFile->SetWrap(wrap);
        Window().Manager().List->DefFile->SetBufferkoVal(16 * 1024);
        const QString log = WriteFile(QStringLiteral("million.log"), lines);
        StartOn(log);
        TailView* view = Ui().MemoTail;
        ASSERT_EQ(view->LineCount(), kLines);
        EXPECT_TRUE(view->AtBottom());
        EXPECT_TRUE(LastLineOnScreen());

        view->SetFirstVisibleLine(5);
        view->Select({{10, 0}, {10, 6}});
        Append(log, "a\n");
        Window().Engine().Tick();
        ASSERT_EQ(view->LineCount(), kLines + 1);
        EXPECT_EQ(view->FirstVisibleLine(), 5) << "scrolled up: the same line stays on top";
        EXPECT_EQ(view->Selection(), (ViewRange{{900000, 0}, {900000, 6}})) << "the last occurrence";
        EXPECT_EQ(Indicator(), QLatin1String(kImageMiddle));

        view->ScrollToEnd();
        view->Select({{kLines - 1, 0}, {kLines, 1}}); // "999999\r\na": unique, across a line end
        Append(log, "b\n");
        Window().Engine().Tick();
        ASSERT_EQ(view->LineCount(), kLines + 2);
        EXPECT_TRUE(view->AtBottom());
        EXPECT_TRUE(LastLineOnScreen());
        EXPECT_EQ(view->SelectedText(), QStringLiteral("999999\r\na"));
        EXPECT_EQ(view->Selection().from.line, kLines - 1);
        EXPECT_EQ(Indicator(), QLatin1String(kImageBottom));

        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        Append(log, "c\n");
        Window().Engine().Tick();
        EXPECT_EQ(view->LineCount(), kLines + 2) << "not replaced while the button is held";
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        Window().Engine().Tick();
        EXPECT_EQ(view->LineCount(), kLines + 3);
        ClickStop();
    }
}

} // namespace
