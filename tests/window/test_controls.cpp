// What the tail window's controls do: the filter box, the invert labels, the R. DNS box, the
// state pane, "Always on top", and the pattern histories they feed.
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "engine/tail_state.h"
#include "settings/histories.h"
#include "settings/uParam.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

std::string Show(const QStringList& list) {
    return ("[" + list.join(QStringLiteral("|")) + "]").toStdString();
}

class TailWindowControls : public TailWindowTest {
protected:
    // Running on a file with the default definition's refresh rate at 40 s: right after the
    // start the countdown and the refresh rate are both 40. Then the definition says 2 s, which a
    // reset of the refresh rate applies.
    void StartWithLongRefresh() {
        SetDefaultRefreshRate(40);
        StartOn(WriteFile(QStringLiteral("app.log"), "one\ntwo\n"));
        ASSERT_EQ(Window().Engine().Countdown(), 40);
        ASSERT_EQ(Window().Engine().RefreshRate(), 40);
        SetDefaultRefreshRate(2);
    }
    void ExpectRefresh(qint32 countdown, qint32 rate, const char* what) {
        EXPECT_EQ(Window().Engine().Countdown(), countdown) << what;
        EXPECT_EQ(Window().Engine().RefreshRate(), rate) << what;
    }
};

TEST_F(TailWindowControls, FilterBoxFeedsHistoryResetsOffsetAndRecoloursWhileRunning) {
    MakeWindow();
    const quint32 tail = 0x00C0FFC0, filter = 0x00FFE0C0;
    Window().Params().tailcolor_day = tail;
    Window().Params().filtercolor_day = filter;
    QCheckBox* box = Ui().CheckBoxFilter;
    QComboBox* combo = Ui().RzComboBoxFilter;

    // Unchecking never adds; checking adds the pattern and leaves it in the edit field.
    combo->setEditText(QStringLiteral("timeout"));
    ClickOn(box);
    ASSERT_TRUE(box->isChecked());
    EXPECT_EQ(Window().FilterHistory().Items(), QStringList{"timeout"});
    EXPECT_EQ(combo->currentText(), QStringLiteral("timeout"));
    combo->setEditText(QStringLiteral("refused"));
    ClickOn(box);
    ASSERT_FALSE(box->isChecked());
    EXPECT_EQ(Window().FilterHistory().Items(), QStringList{"timeout"}) << "unchecked: not added";

    // Auto Offset checked: the click sets the offset back to 0; unchecked it is left alone.
    Ui().CheckBoxAutoOffset->setChecked(false);
    Ui().RzSpinEditOffset->setValue(2048);
    ClickOn(box);
    EXPECT_EQ(Ui().RzSpinEditOffset->value(), 2048);
    Ui().CheckBoxAutoOffset->setChecked(true);
    Ui().RzSpinEditOffset->setValue(4096);
    ClickOn(box);
    EXPECT_EQ(Ui().RzSpinEditOffset->value(), 0);
    ASSERT_FALSE(box->isChecked());

    // While running the view takes the filter colour at once, and back.
    StartOn(WriteFile(QStringLiteral("app.log"), "one\n"));
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(tail));
    ClickOn(box);
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(filter));
    ClickOn(box);
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), StoredColor(tail));
}

TEST_F(TailWindowControls, InvertLabelsToggleRecolourAndResetRefreshOnlyWhileRunning) {
    struct Label {
        const char* name;
        std::function<ClickableLabel*(const TailWidgets&)> widget;
        std::function<bool(const TFormTail&)> inverted;
    };
    const Label labels[] = {
        {"Filter:", [](const TailWidgets& w) { return w.RzLabelFilter; },
         [](const TFormTail& t) { return t.FilterInverted(); }},
        {"Alert:", [](const TailWidgets& w) { return w.RzLabelAlert; },
         [](const TFormTail& t) { return t.AlertInverted(); }},
    };
    for (const Label& label : labels) {
        SCOPED_TRACE(label.name);
        MakeWindow();
        const quint32 gui = 0x00405060, guiFont = 0x00102030;
        Window().Params().guicolor_day = Window().Params().guicolor_night = gui;
        Window().Params().guifontcolor_day = Window().Params().guifontcolor_night = guiFont;
        ClickableLabel* widget = label.widget(Ui());
        ASSERT_EQ(widget->text(), QString::fromLatin1(label.name));
        const QColor highlight = QApplication::palette().color(QPalette::Highlight);

        StartWithLongRefresh();
        ReleaseOn(widget, Qt::LeftButton);
        EXPECT_TRUE(label.inverted(Window()));
        EXPECT_EQ(widget->palette().color(QPalette::Window), highlight);
        EXPECT_EQ(widget->palette().color(QPalette::WindowText), QColor(Qt::white));
        ExpectRefresh(2, 2, "running: reset to the definition's rate");

        ClickStop();
        SetDefaultRefreshRate(9);
        ReleaseOn(widget, Qt::LeftButton);
        EXPECT_FALSE(label.inverted(Window()));
        EXPECT_EQ(widget->palette().color(QPalette::Window), StoredColor(gui));
        EXPECT_EQ(widget->palette().color(QPalette::WindowText), StoredColor(guiFont));
        ExpectRefresh(2, 2, "stopped: the refresh rate is not touched");
    }
}

TEST_F(TailWindowControls, StatePaneClickResetsRefreshRateOnlyWhileRunning) {
    MakeWindow();
    StartWithLongRefresh();
    ClickOn(Ui().RzStatusPanesSTATE);
    ExpectRefresh(2, 2, "running");

    // A longer definition rate lowers nothing: the countdown keeps the smaller value.
    SetDefaultRefreshRate(30);
    ClickOn(Ui().RzStatusPanesSTATE);
    ExpectRefresh(2, 30, "countdown only lowered");

    ClickStop();
    SetDefaultRefreshRate(5);
    ClickOn(Ui().RzStatusPanesSTATE);
    ExpectRefresh(2, 30, "stopped");
}

TEST_F(TailWindowControls, ReverseDnsBoxShowsItsPaneAndResetsRefresh) {
    MakeWindow();
    QCheckBox* box = Ui().CheckBoxReverseDNS;
    EXPECT_FALSE(Ui().RzStatusPaneRDNS->isVisible());

    StartWithLongRefresh();
    ClickOn(box);
    ASSERT_TRUE(box->isChecked());
    EXPECT_TRUE(Ui().RzStatusPaneRDNS->isVisible());
    ExpectRefresh(2, 2, "checking resets the refresh rate");
    SetDefaultRefreshRate(1);
    ClickOn(box);
    ASSERT_FALSE(box->isChecked());
    EXPECT_FALSE(Ui().RzStatusPaneRDNS->isVisible());
    ExpectRefresh(1, 1, "unchecking resets it too");
}

TEST_F(TailWindowControls, AlwaysOnTopRestartsARunningTailAndKeepsAStoppedOneStopped) {
    MakeWindow();
    QCheckBox* box = Ui().CheckBox_Top;

    ClickOn(box);
    ASSERT_TRUE(box->isChecked());
    EXPECT_TRUE(Window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Window().TailStatus(), tsStop);
    EXPECT_TRUE(Window().isVisible()) << "changing the flag must not leave the window hidden";
    ClickOn(box);
    EXPECT_FALSE(Window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    SetDefaultRefreshRate(40);
    StartOn(WriteFile(QStringLiteral("app.log"), "one\n"));
    Window().Engine().Tick();
    Window().Engine().Tick();
    ASSERT_EQ(Window().Engine().Countdown(), 38);
    ClickOn(box);
    EXPECT_TRUE(Window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Window().TailStatus(), tsStart);
    EXPECT_EQ(Window().Engine().Countdown(), 40) << "restarted: a first pass ran again";
    EXPECT_TRUE(Ui().RzBitBtnStop->isVisible());
    EXPECT_TRUE(Window().isVisible());

    Window().Engine().Tick();
    ClickOn(box);
    EXPECT_FALSE(Window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Window().TailStatus(), tsStart);
    EXPECT_EQ(Window().Engine().Countdown(), 40);
}

TEST_F(TailWindowControls, HistoriesTakeEachExactTextOnceAndNeverEmpty) {
    struct Pattern {
        const char* name;
        std::function<QCheckBox*(const TailWidgets&)> box;
        std::function<QComboBox*(const TailWidgets&)> combo;
        std::function<THistoryModel&(TFormTail&)> history;
    };
    const Pattern patterns[] = {
        {"filter", [](const TailWidgets& w) { return w.CheckBoxFilter; },
         [](const TailWidgets& w) { return w.RzComboBoxFilter; },
         [](TFormTail& t) -> THistoryModel& { return t.FilterHistory(); }},
        {"alert", [](const TailWidgets& w) { return w.CheckBoxAlert; },
         [](const TailWidgets& w) { return w.RzComboBoxAlarm; },
         [](TFormTail& t) -> THistoryModel& { return t.AlarmHistory(); }},
    };
    for (const Pattern& p : patterns) {
        SCOPED_TRACE(p.name);
        MakeWindow();
        QCheckBox* box = p.box(Ui());
        QComboBox* combo = p.combo(Ui());
        THistoryModel& history = p.history(Window());
        const auto checkWith = [&](const QString& text) {
            if (box->isChecked())
                ClickOn(box);
            combo->setEditText(text);
            ClickOn(box);
            ASSERT_TRUE(box->isChecked());
            EXPECT_EQ(combo->currentText(), text) << "the pattern in use stays in the edit field";
        };
        checkWith(QStringLiteral("Error"));
        checkWith(QStringLiteral("error"));
        checkWith(QStringLiteral("error"));
        checkWith(QStringLiteral("Error"));
        checkWith(QString());
        checkWith(QStringLiteral("abort"));
        EXPECT_EQ(history.Items(), (QStringList{"abort", "Error", "error"})) << Show(history.Items());
        EXPECT_EQ(combo->count(), 3) << "the combo lists the history";
    }
}

} // namespace
