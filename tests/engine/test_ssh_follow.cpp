// Following files on a real OpenSSH server on 127.0.0.1 in timer mode, whose remote passes never
// run on the window thread: appends read as appends, a wildcard's newest match, rotation,
// truncation, a file that goes; a stop while the server does not answer. (The server stopped
// mid-follow and started again: the program's test.)
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include "engine_fixture.h"

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
#include "support/fake_source_questions.h"
#include "support/ssh_test_server.h"

namespace {

class SshFollow : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(server.TrustServer());
        ASSERT_TRUE(server.Start()) << server.Error().toStdString();
        questions = FakeSourceQuestions::Install(); // none expected: the server is known
    }
    void TearDown() override {
        if (engine)
            engine->SetTailStatus(tsStop);
        SetSourceQuestions(nullptr);
        EngineTest::TearDown();
    }
    QString Local(const QString& name) const { return server.Files() + u'/' + name; }
    QString Remote(const QString& name) const { return server.Url(Local(name)); }
    void WriteRemote(const QString& name, const QByteArray& bytes,
                     QIODevice::OpenMode mode = QIODevice::WriteOnly) {
        QFile file(Local(name));
        ASSERT_TRUE(file.open(mode | QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // One tick that reads, on whatever thread the engine chose; then its result.
    void Pass() {
        engine->Tick();
        ASSERT_TRUE(WaitUntil([&] { return !engine->Busy(); }, 60000));
    }
    qint64 Reads(WindowReadKind kind) const { return engine->WindowReads().ReadCounts()[size_t(kind)]; }

    SshTestServer server;
    std::shared_ptr<FakeSourceQuestions> questions;
};

TEST_F(SshFollow, AppendsNewestMatchRotationTruncationAndAStopWhileTheServerHangs) {
    params->usethread = false;
    WriteRemote("app-1.log", "one\n");
    Start(Remote("app-*.log"));
    ASSERT_TRUE(WaitUntil([&] { return !engine->Busy(); }, 60000));
    EXPECT_EQ(View(), QStringList{"one"}) << window.infoPane.toStdString();
    EXPECT_EQ(window.fileLabel, Remote("app-1.log"));
    EXPECT_TRUE(window.statePane.endsWith("*"))
        << "the pass ran on a worker: " << window.statePane.toStdString();

    WriteRemote("app-1.log", "two\n", QIODevice::Append);
    Pass();
    EXPECT_EQ(View(), QStringList({"one", "two"}));
    Pass();
    EXPECT_EQ(Reads(WindowReadKind::Slid), 1) << "the append was read as an append";
    EXPECT_EQ(Reads(WindowReadKind::Unchanged), 1) << "an unchanged file was not read again";

    WriteRemote("app-2.log", "newer\n");
    QFile newer(Local("app-2.log"));
    ASSERT_TRUE(
        newer.open(QIODevice::ReadWrite) &&
        newer.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    newer.close();
    Pass();
    EXPECT_EQ(View(), QStringList{"newer"});
    EXPECT_EQ(window.fileLabel, Remote("app-2.log"));

    // Rotated: the name now holds a new file, longer than the old one.
    ASSERT_TRUE(QFile::rename(Local("app-2.log"), Local("app-2.log.1")));
    WriteRemote("app-2.log", "rotated and longer\n");
    ASSERT_TRUE(
        newer.open(QIODevice::ReadWrite) &&
        newer.setFileTime(QDateTime::currentDateTime().addSecs(120), QFileDevice::FileModificationTime));
    newer.close();
    Pass();
    EXPECT_EQ(View(), QStringList{"rotated and longer"});
    WriteRemote("app-2.log", "cut\n"); // truncated and rewritten
    Pass();
    EXPECT_EQ(View(), QStringList{"cut"});
    ASSERT_TRUE(QFile::remove(Local("app-2.log")) && QFile::remove(Local("app-1.log")));
    Pass();
    EXPECT_TRUE(window.ViewText().endsWith(" - File " + Remote("app-*.log") + " not found now !\r\n"))
        << window.ViewText().toStdString();

    // A pass waiting on a server that does not answer: the stop ends it at once.
    server.Freeze(true);
    engine->Tick();
    ASSERT_TRUE(WaitUntil([&] { return window.statePane == "Loading filelist..."; }));
    QElapsedTimer clock;
    clock.start();
    engine->SetTailStatus(tsStop);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(WaitUntil([&] { return !engine->Busy(); }, 2000)) << "the pass ended, it was not given up on";
    server.Freeze(false);
}

} // namespace
