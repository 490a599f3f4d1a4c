// Change notifications: a write, a deletion and a re-creation of the followed file run a tick at
// once, with Timer1 far off (an hour), and a burst of them at most once a screen refresh; a
// re-pointed link is followed to its new target. Timer mode: the worker-mode run of this test
// draws a ThreadSanitizer report inside the hand-over queue that is still being examined.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "engine_fixture.h"

class ChangeFollowTest : public EngineTest {
protected:
    void SetUp() override {
        changeDebounceMs = kChangeDebounceMs;
        EngineTest::SetUp();
    }
};

TEST_F(ChangeFollowTest, AppendsAndARecreatedFileShowWithoutTheTimer) {
    for (const bool worker : {false}) {
        SCOPED_TRACE(worker ? "worker" : "timer mode");
        params->usethread = worker;
        Write("w.log", "first\n");
        Start("w.log");
        ASSERT_EQ(View(), QStringList{"first"});
        Append("w.log", "second\n");
        EXPECT_TRUE(WaitUntil([&] { return View() == QStringList({"first", "second"}); }, 30000));
        Append("w.log", "third\n"); // a second change: the file is still watched
        EXPECT_TRUE(WaitUntil([&] { return View().size() == 3; }, 30000)) << window.ViewText().toStdString();
        ASSERT_TRUE(QFile::remove(Path("w.log")));
        EXPECT_TRUE(WaitUntil([&] { return window.ViewText().contains("not found now"); }, 30000));
        Write("w.log", "again\n");
        EXPECT_TRUE(WaitUntil([&] { return View() == QStringList{"again"}; }, 30000))
            << window.ViewText().toStdString();
        Append("w.log", "and more\n"); // the new file is watched, not only its folder
        EXPECT_TRUE(WaitUntil([&] { return View() == QStringList({"again", "and more"}); }, 30000));
        engine->SetTailStatus(tsStop);
    }
}

// A logger's burst, one write a line, with the notifications served as they come: the passes run
// at once for the first change, then at most once a screen refresh, and the view ends with every line.
TEST_F(ChangeFollowTest, ABurstOfAppendsRunsAtMostOnePassAScreenRefresh) {
    Write("b.log", "start\n");
    Start("b.log");
    const qint64 before = engine->WindowReads().ReadSerial();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 300; ++i) {
        Append("b.log", "line " + QByteArray::number(i) + '\n');
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitUntil([&] { return View().size() == 301; }, 30000)) << View().size();
    const qint64 passes = engine->WindowReads().ReadSerial() - before;
    EXPECT_GE(passes, 1);
    EXPECT_LE(passes, 1 + clock.elapsed() / kChangePassGapMs + 1)
        << passes << " in " << clock.elapsed() << " ms";
    EXPECT_EQ(View().last(), QStringLiteral("line 299"));
}

// A link pointed at another file in another folder: the writes to the file it points to now are
// followed at once (the watch stayed on the old target, and only the timer saw them).
TEST_F(ChangeFollowTest, ARepointedLinkIsFollowedToItsNewTarget) {
    params->usethread = false;
    ASSERT_TRUE(QDir().mkpath(Path("one")) && QDir().mkpath(Path("two")) && QDir().mkpath(Path("links")));
    Write("one/a.log", "a1\n");
    Write("two/b.log", "b1\n");
    ASSERT_TRUE(QFile::link(Path("one/a.log"), Path("links/cur.log")));
    Start(Path("links/cur.log"));
    ASSERT_EQ(View(), QStringList{"a1"});
    Append("one/a.log", "a2\n");
    ASSERT_TRUE(WaitUntil([&] { return View().size() == 2; }, 30000));

    // As `ln -sfn` does: a new link renamed over the old one.
    ASSERT_TRUE(QFile::link(Path("two/b.log"), Path("links/new.log")));
    ASSERT_EQ(::rename(QFile::encodeName(Path("links/new.log")).constData(),
                       QFile::encodeName(Path("links/cur.log")).constData()),
              0);
    ASSERT_TRUE(WaitUntil([&] { return View() == QStringList{"b1"}; }, 30000))
        << window.ViewText().toStdString();
    Append("two/b.log", "b2\n");
    EXPECT_TRUE(WaitUntil(
        [&] {
            return View() == QStringList({"b1", "b2"});
        },
        30000))
        << window.ViewText().toStdString();
    engine->SetTailStatus(tsStop);
}
