// The two appearances of the tail window, stopped and running, and where the file-name row sits
// relative to the option panel in each (also after the window is resized).
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "engine/tail_state.h"
#include "settings/uParam.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

struct Appearance {
    const char* name;
    bool running;
    int treeOffset; // tree button's left edge from the option panel's left edge
    int editRight;  // file-name edit's right edge (left + width) from the same place
};

class TailWindowAppearance : public TailWindowTest {
protected:
    void ExpectAppearance(const Appearance& a) {
        const TailWidgets& w = Ui();
        SCOPED_TRACE(a.name);
        EXPECT_EQ(w.RzBitBtnStart->isVisible(), !a.running);
        EXPECT_EQ(w.RzBitBtnStop->isVisible(), a.running);
        EXPECT_EQ(w.PanelCB->isVisible(), a.running);
        EXPECT_EQ(w.EditComboBox->isVisible(), !a.running);
        EXPECT_EQ(w.RzPanelEditFN->isVisible(), a.running);
        const int panelLeft = w.PanelCB->x();
        EXPECT_EQ(w.RzBitBtnOpenTree->x(), panelLeft + a.treeOffset);
        EXPECT_EQ(w.EditComboBox->x() + w.EditComboBox->width(), panelLeft + a.editRight);
        // The painted panel takes the edit's place.
        EXPECT_EQ(w.RzPanelEditFN->geometry(), w.EditComboBox->geometry());
        // The tree button and the option panel share the top panel's coordinates.
        EXPECT_EQ(w.RzBitBtnOpenTree->parentWidget(), w.PanelCB->parentWidget());
        ExpectTreeButtonTakesClicks();
    }

    // A click at the tree button's place, delivered as the window system delivers it (to whatever
    // is on top there), reaches the button. The button's handler is kept out: it opens a window.
    void ExpectTreeButtonTakesClicks() {
        QPushButton* tree = Ui().RzBitBtnOpenTree;
        ButtonEventCatcher catcher;
        tree->installEventFilter(&catcher);
        const QPoint at = tree->mapTo(&Window(), tree->rect().center());
        QTest::mouseClick(Window().windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        tree->removeEventFilter(&catcher);
        EXPECT_EQ(catcher.presses, 1) << "the click went to another control";
        EXPECT_EQ(catcher.releases, 1);
    }

    struct ButtonEventCatcher final : QObject {
        int presses = 0;
        int releases = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            presses += event->type() == QEvent::MouseButtonPress;
            releases += event->type() == QEvent::MouseButtonRelease;
            return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease;
        }
    };
};

const Appearance kStopped{"stopped", false, 206, 207};
const Appearance kRunning{"running", true, 136, 137};

TEST_F(TailWindowAppearance, StoppedAndRunningLayoutsHoldAtAnySize) {
    MakeWindow();
    const quint32 stopped = 0x00C0C0FF, tail = 0x00C0FFC0;
    Window().Params().stoppedcolor_day = stopped;
    Window().Params().tailcolor_day = tail;
    Window().ApplyColors();
    const QString log = WriteFile(QStringLiteral("app.log"), "first line\nsecond line\n");

    ExpectAppearance(kStopped);
    EXPECT_EQ(Ui().RzStatusPanesSTATE->text(), QStringLiteral("STOPPED"));
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(stopped));

    StartOn(log);
    ExpectAppearance(kRunning);
    EXPECT_NE(Ui().RzStatusPanesSTATE->text(), QStringLiteral("STOPPED"));
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(tail));
    EXPECT_EQ(Ui().RzPanelEditFN->FileName(), log) << "the panel shows the name as typed";
    EXPECT_EQ(Ui().LabelFn->text(), log) << "the first pass names the file it read";

    // A resize places everything again for the state the window is in.
    Window().resize(900, 520);
    QTest::qWait(0);
    ExpectAppearance(kRunning);

    ClickStop();
    ExpectAppearance(kStopped);
    EXPECT_EQ(Ui().RzStatusPanesSTATE->text(), QStringLiteral("STOPPED"));
    EXPECT_EQ(Ui().EditComboBox->text(), log) << "the edit holds the manager's file name again";
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(stopped));

    Window().resize(640, 420);
    QTest::qWait(0);
    ExpectAppearance(kStopped);
}

TEST_F(TailWindowAppearance, StartWithoutFileNameStaysStopped) {
    MakeWindow();
    Ui().EditComboBox->setText(QStringLiteral("   "));
    QTest::mouseClick(Ui().RzBitBtnStart, Qt::LeftButton);
    EXPECT_EQ(Window().TailStatus(), tsStop);
    ExpectAppearance(kStopped);
    EXPECT_TRUE(Ui().MemoTail->toPlainText().endsWith(QStringLiteral(" - No filename entered !")))
        << Ui().MemoTail->toPlainText().toStdString();
}

} // namespace
