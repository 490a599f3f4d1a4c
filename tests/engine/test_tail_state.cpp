// The state machine: start and stop sequences, the tick and its countdown, the refresh rate, and
// the worker mode with its hand-over.
#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>

#include "engine/line_source.h"
#include "engine/scheduling.h"
#include "engine_fixture.h"

class TailStateTest : public EngineTest {
protected:
    QStringList Waiting() const {
        QStringList texts;
        for (const QString& t : window.stateTexts)
            if (t.contains("aiting ("))
                texts << t;
        return texts;
    }
    TTailFile* Define(const QString& name) {
        TTailFile* file = manager->List->AddFile(Path(name), "alias " + name);
        EXPECT_TRUE(manager->SaveToRegistry());
        return file;
    }
};

TEST_F(TailStateTest, RefreshRateFiveCountsDownBetweenPasses) {
    Write("a.log", "a\n");
    Def().SetRefreshRate(5);
    Start("a.log");
    Ticks(5);
    EXPECT_EQ(Waiting(), (QStringList{"Waiting (5s)", "Waiting (4s)", "Waiting (3s)", "Waiting (2s)",
                                      "Waiting (1s)", "Waiting (5s)"}));
    EXPECT_EQ(window.stateTexts.count("Loading filelist..."), 3); // start sequence + two passes
    EXPECT_TRUE(engine->TimerActive());
}

TEST_F(TailStateTest, AutoTimerGrowsToSixtyAndAChangeResetsIt) {
    Write("a.log", "a\n");
    Def().SetAutotimer(true);
    Start("a.log");
    EXPECT_EQ(engine->RefreshRate(), 1);
    clock.Advance(100 * 1000); // the file stopped changing 100 s ago
    std::vector<int> rates;
    for (int tick = 0; tick < 3000 && (rates.empty() || rates.back() < 60); ++tick) {
        engine->Tick();
        if (rates.empty() || rates.back() != engine->RefreshRate())
            rates.push_back(engine->RefreshRate());
    }
    ASSERT_EQ(rates.size(), 59u);
    EXPECT_EQ(rates.front(), 2);
    EXPECT_EQ(rates.back(), 60);
    EXPECT_EQ(window.stateTexts.last(), "Autowaiting (60s)");
    Ticks(60);
    EXPECT_EQ(engine->RefreshRate(), 60); // never beyond a minute
    Append("a.log", "b\n");
    Ticks(60);
    EXPECT_EQ(engine->RefreshRate(), 1);
}

TEST_F(TailStateTest, RefreshRateAdaptationRule) {
    struct Case {
        qint32 rate;
        bool autotimer;
        qint32 defRate;
        bool changed;
        qint64 passMs;
        qint64 sinceMs;
        qint32 expected;
    };
    const std::vector<Case> cases = {
        {7, false, 1, true, 9000, 0, 7},        {5, true, 2, true, 3500, 0, 4},
        {5, true, 6, true, 3500, 0, 6},         {1, true, 1, false, 100, 2000, 2},
        {2, true, 1, false, 100, 2999, 2},      {60, true, 1, false, 0, 999999, 60},
        {120, true, 120, false, 0, 121000, 60}, {60, true, 120, true, 0, 0, 120},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AdaptedRefreshRate(c.rate, c.autotimer, c.defRate, c.changed, c.passMs, c.sinceMs),
                  c.expected);
}

TEST_F(TailStateTest, ALongPassSetsTheRateToItsDuration) {
    Write("a.log", "a\n");
    Def().SetAutotimer(true);
    Def().SetRefreshRate(2);
    Start("a.log");
    window.onState = [&](const QString& text) {
        if (text == "Analyzing")
            clock.Advance(3500);
    };
    Append("a.log", "b\n");
    Ticks(2);
    EXPECT_EQ(window.timePane, "T=3.500s");
    EXPECT_EQ(engine->RefreshRate(), 4);
    EXPECT_EQ(window.stateTexts.last(), "Autowaiting (4s)");
}

TEST_F(TailStateTest, StatePaneClickResetsTheRate) {
    Write("a.log", "a\n");
    Def().SetRefreshRate(40);
    engine->ResetRefreshRate(); // stopped: nothing happens
    EXPECT_EQ(engine->RefreshRate(), 1);
    Start("a.log");
    EXPECT_EQ(engine->Countdown(), 40);
    Def().SetRefreshRate(2);
    engine->ResetRefreshRate();
    EXPECT_EQ(engine->RefreshRate(), 2);
    EXPECT_EQ(engine->Countdown(), 2);
}

TEST_F(TailStateTest, StopInsideATimerModePassKeepsTheBufferUntilThePassEnds) {
    Write("a.log", QByteArray(60000, 'x') + "\n" + QByteArray(40000, '\n'));
    Def().SetAutooffset(true);
    Def().SetKillline(true);
    Start("a.log");
    ASSERT_EQ(window.stateTexts.filter("Reading at").size(), 2); // the auto offset stepped back once
    window.onState = [&](const QString& text) {
        if (text == "Analyzing" && engine->TailStatus() == tsStart)
            engine->SetTailStatus(tsStop); // as a Stop click handled while the pass processes events
    };
    Append("a.log", "\n");
    Ticks(1);
    EXPECT_EQ(engine->TailStatus(), tsStop);
    EXPECT_EQ(window.stateTexts.filter("Reading at").size(), 3); // the auto offset noticed the stop
    EXPECT_FALSE(engine->ReadBufferHeld());
    EXPECT_EQ(engine->ReadBufferCapacity(), 2 * LineSource::kBlockBytes); // the blocks the window spans
    EXPECT_FALSE(engine->TimerActive());
    EXPECT_FALSE(engine->Busy());
}

TEST_F(TailStateTest, WorkerHandsEveryWindowCallOverSynchronously) {
    params->usethread = true;
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += "line " + QByteArray::number(i) + "\n";
    Write("a.log", lines);
    window.onState = [&](const QString& text) {
        if (text == "Reading at 0") // the worker is waiting: the line is in this very read
            Append("a.log", "written during the hand-over\n");
    };
    window.stateTexts.clear();
    window.events.clear();
    Start("a.log");
    EXPECT_EQ(View().last(), "written during the hand-over");
    EXPECT_EQ(View().size(), 101);
    QStringList expected{"Loading filelist...", "Loading filelist...", "Reading at 0", "Analyzing"};
    const qint64 units = QFileInfo(Path("a.log")).size();
    for (qint64 i = units / 10; i <= units; i += units / 10)
        expected << QString("Analyzing %1%").arg(i * 100 / units);
    expected << "Analyze > Memo"
             << "Waiting (1s)*";
    EXPECT_EQ(window.stateTexts, expected);
    const qsizetype file = window.events.indexOf(QRegularExpression("File:Size=.*"));
    EXPECT_GT(file, window.events.indexOf("View:replace"));
    EXPECT_LT(file, window.events.indexOf("State:Waiting (1s)*"));
    EXPECT_FALSE(window.calledOffWindowThread);
    TickAndWait();
    EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)*");
}

TEST_F(TailStateTest, StopDuringAWorkerPassWaitsForIt) {
    params->usethread = true;
    Write("a.log", QByteArray(4000, 'x') + "\n");
    Start("a.log");
    window.stateTexts.clear();
    window.processEvents = false; // only the stop's own wait handles the worker's hand-overs
    bool busyAtStopping = false;
    window.onState = [&](const QString& text) {
        if (text == "Analyzing")
            QMetaObject::invokeMethod(
                qApp, [&] { engine->SetTailStatus(tsStop); }, Qt::QueuedConnection);
        if (text == "STOPPING")
            busyAtStopping = engine->Busy();
    };
    Append("a.log", "y\n");
    engine->Tick();
    ASSERT_TRUE(WaitUntil([&] { return window.stateTexts.contains("STOPPED"); }));
    EXPECT_TRUE(busyAtStopping);
    const QStringList& t = window.stateTexts;
    const qsizetype stopping = t.indexOf("STOPPING");
    ASSERT_GT(stopping, t.indexOf("Analyzing"));
    EXPECT_EQ(t.last(), "STOPPED");
    EXPECT_EQ(t[t.size() - 2], "Waiting (1s)*"); // the worker's remaining texts came in between
    // The stop asked the pass to end: it did at its next line, without replacing the view.
    EXPECT_FALSE(t.mid(stopping).contains("Analyze > Memo"));
    EXPECT_EQ(window.ViewLines(), QStringList{QString(4000, 'x')});
    EXPECT_EQ(t.count("Loading filelist..."), 1);
    EXPECT_FALSE(engine->TimerActive());
    EXPECT_FALSE(engine->ReadBufferHeld());
    EXPECT_FALSE(WaitUntil([&] { return window.stateTexts.last() != "STOPPED"; }, 100)); // no pass after
}

TEST_F(TailStateTest, StartingAgainRestoresTheOffsetOfTheSameDefinedFile) {
    Write("a.log", "a\n");
    Write("b.log", "b\n");
    Define("a.log");
    Start("a.log");
    EXPECT_EQ(window.offset, 0);
    window.offset = 1;
    engine->SetTailStatus(tsStop);
    EXPECT_EQ(window.fileNameText, Path("a.log"));
    EXPECT_EQ(window.startCaption, "Start alias a.log - " + Path("a.log"));
    engine->SetTailStatus(tsStart);
    EXPECT_EQ(window.offset, 1);
    engine->SetTailStatus(tsStop);
    Start("b.log");
    EXPECT_EQ(window.offset, 0);
}

TEST_F(TailStateTest, NewlineOnlyShowsOnlyLinesWrittenAfterTheStart) {
    Write("n.log", QByteArray(1 << 20, 'x') + "\n"); // an odd size: the bound is not rounded below
    Define("n.log")->SetNewlineOnly(true);
    Start("n.log");
    EXPECT_TRUE(window.ViewText().isEmpty());
    EXPECT_TRUE(window.infoPane.endsWith(" - [NEWLINES]")) << window.infoPane.toStdString();
    Append("n.log", "new\n");
    Ticks(1);
    EXPECT_EQ(View(), QStringList{"new"});
}

TEST_F(TailStateTest, WindowSizeIsStoredAtStopAndAppliedOnlyWithKeepWindowSize) {
    Write("w.log", "w\n");
    Define("w.log");
    Start("w.log");
    window.outerSize = QSize(800, 600);
    engine->SetTailStatus(tsStop);
    EXPECT_TRUE(dialogs.Texts().isEmpty());
    TTailFileManager reloaded;
    ASSERT_TRUE(reloaded.LoadFromRegistry());
    ASSERT_EQ(reloaded.List->Count(), 1);
    EXPECT_EQ(reloaded.List->RItems(0)->GetWindowWidth(), 800);
    EXPECT_EQ(reloaded.List->RItems(0)->GetWindowHeight(), 600);

    window.outerSize = QSize(300, 200);
    Start("w.log");
    EXPECT_EQ(window.outerSize, QSize(300, 200)); // KeepWindowSize is off
    engine->SetTailStatus(tsStop);
    manager->GetCurrentFile()->SetKeepWindowSize(true);
    window.outerSize = QSize(640, 480);
    Start("w.log");
    EXPECT_EQ(window.outerSize, QSize(300, 200)); // the size stored at the last stop
}

TEST_F(TailStateTest, StartAndStopLayoutAndRequests) {
    Write("a.log", "a\n");
    Start("a.log");
    EXPECT_EQ(engine->TailStatus(), tsStart);
    EXPECT_TRUE(window.startedLayout);
    EXPECT_FALSE(window.startButtonVisible);
    EXPECT_FALSE(window.fileNameEditVisible);
    const int colors = window.applyColorsCount;
    engine->SetTailStatus(tsStart); // the same state: nothing
    EXPECT_EQ(window.applyColorsCount, colors);
    engine->SetTailStatus(7); // any other value: colours only
    EXPECT_EQ(window.applyColorsCount, colors + 1);
    EXPECT_EQ(engine->TailStatus(), tsStart);
    engine->SetTailStatus(tsStop);
    EXPECT_FALSE(window.startedLayout);
    EXPECT_TRUE(window.startButtonVisible);
    EXPECT_EQ(window.stateTexts.mid(window.stateTexts.size() - 2), (QStringList{"STOPPING", "STOPPED"}));
}

TEST(SchedulingTexts, WaitingAndDurationTexts) {
    EXPECT_EQ(WaitingText(false, 4, false), "Waiting (4s)");
    EXPECT_EQ(WaitingText(true, 12, true), "Autowaiting (12s)*");
    EXPECT_EQ(PassDurationText(47), "T=0.047s");
    EXPECT_EQ(PassDurationText(61005), "T=61.005s");
}

TEST_F(TailStateTest, AStopAskedDuringTheStartSequenceRunsAfterIt) {
    Write("a.log", "a\n");
    window.onState = [&](const QString& text) {
        if (text == "Analyzing")
            engine->SetTailStatus(tsStop); // handled while the start's first pass processes events
    };
    Start("a.log");
    EXPECT_EQ(engine->TailStatus(), tsStart);
    EXPECT_TRUE(window.startedLayout); // the start sequence finished undisturbed
    window.onState = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return engine->TailStatus() == tsStop; }));
    EXPECT_FALSE(engine->TimerActive());
    EXPECT_FALSE(window.startedLayout);
    EXPECT_EQ(window.stateTexts.last(), "STOPPED");
}
