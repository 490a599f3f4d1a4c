// The two appearances of the tail window, stopped and running, where the file-name row sits in
// each (also after the window is resized), and captions and fields at the default size.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include "engine/tail_state.h"
#include "settings/uParam.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

struct Appearance {
    const char* name;
    bool running;
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
        // The file-name edit passes the tree button's left edge by one pixel; the painted panel
        // takes the edit's place.
        const QRect tree = w.RzBitBtnOpenTree->geometry();
        EXPECT_EQ(w.EditComboBox->geometry().right(), tree.left());
        EXPECT_EQ(w.RzPanelEditFN->geometry(), w.EditComboBox->geometry());
        // The tree button and the option panel share the top panel's coordinates.
        EXPECT_EQ(w.RzBitBtnOpenTree->parentWidget(), w.PanelCB->parentWidget());
        if (a.running) // the row ends before the read window of the option panel's first row
            EXPECT_EQ(tree.right() + 1 + 4, w.PanelCB->x() + w.LabelBufKo->x());
        else // the row runs to the top panel's end
            EXPECT_EQ(tree.right() + 1 + 4, w.RzPanel1->width());
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

const Appearance kStopped{"stopped", false};
const Appearance kRunning{"running", true};

// What needs fixing in the window's layout as it stands: captions narrower than their text (file
// names and status panes aside, which may be cut), controls outside their panel, and controls of
// the top panel on each other (the file-name edit passing the tree button by a pixel aside).
QStringList LayoutFaults(const TailWidgets& w, QWidget& window) {
    QStringList faults;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || qobject_cast<StatusPane*>(widget) || widget == w.LabelFn)
            continue;
        QString caption;
        int needs = 0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            caption = label->text();
            needs = label->sizeHint().width();
        } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
            caption = check->text();
            needs = check->sizeHint().width();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            caption = button->text();
            needs = button->iconSize().width() + button->fontMetrics().horizontalAdvance(caption) + 8;
        }
        if (caption.isEmpty())
            continue;
        if (widget->width() < needs)
            faults << QStringLiteral("\"%1\" is cut (%2 < %3)").arg(caption).arg(widget->width()).arg(needs);
        if (!widget->parentWidget()->rect().contains(widget->geometry()))
            faults << QStringLiteral("\"%1\" leaves its panel").arg(caption);
    }
    QList<QWidget*> placed;
    for (QWidget* panel : {w.RzPanel1, w.PanelCB}) {
        for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && child != w.PanelCB)
                placed << child;
        }
    }
    const auto inTopPanel = [&](QWidget* c) { return QRect(c->mapTo(w.RzPanel1, QPoint()), c->size()); };
    for (qsizetype i = 0; i < placed.size(); ++i) {
        for (qsizetype j = i + 1; j < placed.size(); ++j) {
            const QRect overlap = inTopPanel(placed[i]).intersected(inTopPanel(placed[j]));
            const bool editAndTree = overlap.width() == 1 && placed[j] == w.RzBitBtnOpenTree;
            if (!overlap.isEmpty() && !editAndTree)
                faults << QStringLiteral("%1 covers %2")
                              .arg(placed[i]->metaObject()->className(),
                                   placed[j]->metaObject()->className());
        }
    }
    return faults;
}

TEST_F(TailWindowAppearance, NoCaptionIsCutAndThePatternFieldsTakeTheRoom) {
    MakeWindow();
    ASSERT_EQ(Window().size(), QSize(630, 410)) << "the default size";
    EXPECT_EQ(LayoutFaults(Ui(), Window()), QStringList()) << "stopped";
    StartOn(WriteFile(QStringLiteral("app.log"), "one line\n"));
    EXPECT_EQ(LayoutFaults(Ui(), Window()), QStringList()) << "running";
    EXPECT_FALSE(Ui().RzStatusPaneFile->TextCut()) << "the file's size, age and type show whole";
    const int filter = Ui().RzComboBoxFilter->width();
    const int alarm = Ui().RzComboBoxAlarm->width();
    EXPECT_GE(filter, 120);

    // A wider window: wider pattern fields, and still nothing cut.
    Window().resize(900, 410);
    QTest::qWait(0);
    EXPECT_EQ(Ui().RzComboBoxFilter->width(), filter + 270);
    EXPECT_EQ(Ui().RzComboBoxAlarm->width(), alarm + 270);
    EXPECT_EQ(LayoutFaults(Ui(), Window()), QStringList()) << "running, wider";
}

// At the default width the panes cannot all show their texts: a cut one shows it whole in its tool
// tip (above its hint, if it has one). Where the window is wide enough, every text shows whole.
TEST_F(TailWindowAppearance, StatusPanesShowTheirTextsWholeOrInTheirToolTips) {
    MakeWindow();
    StartOn(WriteFile(QStringLiteral("some-application-name.log"), "connect from 10.1.2.3 port 22\n"));
    ClickOn(Ui().CheckBoxReverseDNS);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Window().Engine().Tick();
            return Ui().RzStatusPaneRDNS->text().startsWith(QStringLiteral("SUSP"));
        },
        20000))
        << Ui().RzStatusPaneRDNS->text().toStdString();
    const TailWidgets& w = Ui();
    const QList<StatusPane*> panes{w.RzStatusPanesSTATE, w.RzStatusPaneTime, w.RzStatusPaneFile,
                                   w.RzStatusPaneINFO, w.RzStatusPaneRDNS};
    const auto shownTip = [](StatusPane* pane) {
        QHelpEvent help(QEvent::ToolTip, pane->rect().center(), pane->mapToGlobal(pane->rect().center()));
        QApplication::sendEvent(pane, &help);
        return QToolTip::text();
    };
    int cut = 0;
    for (StatusPane* pane : panes) {
        SCOPED_TRACE(pane->text().toStdString());
        if (!pane->TextCut())
            continue;
        ++cut;
        const QString hint = pane->toolTip();
        EXPECT_EQ(shownTip(pane), hint.isEmpty() ? pane->text() : pane->text() + u'\n' + hint);
    }
    EXPECT_GE(cut, 2) << "the line counts and the resolver's state do not fit at 630 pixels";

    Window().resize(1100, 410);
    QTest::qWait(0);
    for (StatusPane* pane : panes)
        EXPECT_FALSE(pane->TextCut()) << pane->text().toStdString() << " in " << pane->width() << " pixels";
}

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
    EXPECT_TRUE(ViewPlain().endsWith(QStringLiteral(" - No filename entered !")))
        << ViewPlain().toStdString();
}

TEST_F(TailWindowAppearance, PassTitleShowsInTheWindowTitleAndTrayTipOnly) {
    const QString displayName = QGuiApplication::applicationDisplayName();
    MakeWindow();
    SetDefaultRefreshRate(1);
    const QString caption = Window().Caption();
    ASSERT_TRUE(caption.startsWith(QStringLiteral("KOVRA - ")));
    EXPECT_EQ(Window().windowTitle(), caption) << "no pass yet";

    const QString log = WriteFile(QStringLiteral("app.log"), "one\n");
    StartOn(log);
    EXPECT_EQ(Window().windowTitle(), caption + QStringLiteral(" \u2014 Kovra ") + log);
    EXPECT_EQ(Window().TrayHint(), log);
    EXPECT_EQ(Window().TrayToolTip(), QStringLiteral("Kovra ") + log);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), displayName) << "dialogs would carry it";

    Window().Params().removepathontaskbar = true;
    Window().Engine().Tick();
    EXPECT_EQ(Window().windowTitle(), caption + QStringLiteral(" \u2014 Kv app.log"));
    EXPECT_EQ(Window().TrayToolTip(), QStringLiteral("Kv app.log\n") + log);
    Window().UpdateTitle(); // as after the parameters dialog
    EXPECT_EQ(Window().Caption(), caption);
    EXPECT_EQ(Window().windowTitle(), caption + QStringLiteral(" \u2014 Kv app.log"));
}

} // namespace
