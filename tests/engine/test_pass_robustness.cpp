// The pass where files misbehave: a type that changes behind a name, files that exist but cannot
// be read (FIFOs, sockets, devices), a pattern that would take seconds a line, a pass that does
// not return, and a file that stays missing for a week.
#include <condition_variable>
#include <mutex>

#include <QFile>

#include "engine_fixture.h"
#include "util/date_time_text.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kBom = QString(QChar(0xFEFF));

QByteArray Utf16Le(const QByteArray& latin1) {
    QByteArray bytes("\xFF\xFE");
    for (const char c : latin1)
        bytes += QByteArray(1, c) + '\0';
    return bytes;
}

// Answers every lookup, but the first one only once released: a pass stuck inside one line.
class GatedResolver final : public AddressResolver {
public:
    QString GetNameByIP(const QString& address) override {
        std::unique_lock guard(lock_);
        ++asked_;
        changed_.notify_all();
        changed_.wait(guard, [&] { return open_ || asked_ > 1; });
        return address;
    }
    void Open() {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }
    int Asked() const {
        std::lock_guard guard(lock_);
        return asked_;
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    int asked_ = 0;
};

} // namespace

class PassRobustnessTest : public EngineTest {};

TEST_F(PassRobustnessTest, TypeIsDetectedAgainAtAStartAndWhenAMissingFileComesBack) {
    Write("t.log", "plain\n");
    Start("t.log");
    EXPECT_TRUE(window.filePane.endsWith("Type=Ansi"));
    engine->SetTailStatus(tsStop);
    Write("t.log", Utf16Le("wide\n"));
    Start("t.log");
    EXPECT_TRUE(window.filePane.endsWith("Type=UNI")) << window.filePane.toStdString();
    EXPECT_EQ(View(), QStringList{kBom + "wide"});

    ASSERT_TRUE(QFile::remove(Path("t.log")));
    Ticks(1);
    EXPECT_TRUE(View().last().endsWith(" not found now !"));
    Write("t.log", "plain again\n");
    Ticks(1);
    EXPECT_TRUE(window.filePane.endsWith("Type=Ansi")) << window.filePane.toStdString();
    EXPECT_EQ(View(), QStringList{"plain again"});
}

// A FIFO (no writer: an open would block), a socket and a device exist but are no files to
// follow. The first failed detection ends its tick; from the next pass on the INFO pane says why,
// and the pass ends as any other, at the normal rate. In worker mode, so that a pass that blocks
// fails the test instead of hanging it.
TEST_F(PassRobustnessTest, WhatCannotBeReadIsReportedFromTheSecondPassOnAndNeverBlocks) {
    const QString fifo = Path("fifo.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString socketPath = Path("socket.log");
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof(address.sun_path));
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const QString device = Path("device.log");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    params->usethread = true;
    for (const QString& name : {fifo, socketPath, device}) {
        SCOPED_TRACE(name.toStdString());
        engine->SetTailStatus(tsStop);
        window.stateTexts.clear();
        window.infoPane.clear();
        window.timePane.clear();
        window.fileNameText = name;
        engine->SetTailStatus(tsStart);
        const bool ended = WaitUntil([&] { return !engine->Busy(); });
        if (!ended) { // set a blocked reader free, so that the test can end
            const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            ::close(writer);
        }
        ASSERT_TRUE(ended) << "the pass blocked";
        EXPECT_EQ(window.stateTexts.last(), "Loading filelist...")
            << "the tick ended at the failed detection";
        EXPECT_TRUE(window.timePane.isEmpty());
        TickAndWait();
        EXPECT_EQ(window.infoPane, "Exception : Not a regular file");
        EXPECT_TRUE(window.timePane.startsWith("T=")) << window.timePane.toStdString();
        EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)*");
        EXPECT_EQ(engine->Countdown(), 1);
    }
    ::close(socketFd);
}

// ^(a+)+$ backtracks exponentially on a line of a's that ends otherwise: each such line is cut off
// at the search's bound, counts as not matching, and the INFO pane says so.
TEST_F(PassRobustnessTest, PathologicalPatternIsBoundedAndSaidToBeTooCostly) {
    QByteArray lines;
    for (int i = 0; i < 1500; ++i)
        lines += QByteArray(40, 'a') + "!\n";
    lines += "aaaa\n";
    Write("p.log", lines);
    Def().SetBufferkoVal(128);
    window.filterOn = true;
    window.filterPattern = "^(a+)+$";
    Start("p.log");
    EXPECT_EQ(View(), QStringList{"aaaa"});
    EXPECT_EQ(
        window.infoPane,
        "Lines read= 1501 - Lines filtered= 1500 - Pattern too costly: 1500 lines taken as not matching");
    window.filterInverted = true;
    Ticks(1);
    EXPECT_EQ(View().size(), 1500);
    EXPECT_EQ(window.infoPane,
              "Lines read= 1501 - Lines filtered= 1 - Pattern too costly: 1500 lines taken as not matching");
}

// A pass stuck inside one line: the stop gives up waiting after its limit, frees nothing the pass
// still uses, and a start waits for the pass to end. The pass then ends at its next line.
TEST_F(PassRobustnessTest, StopGivesUpWaitingForAStuckPassAndAStartWaitsForIt) {
    GatedResolver gated;
    RebuildEngine(&mail, &gated);
    engine->SetPassWaitLimit(std::chrono::milliseconds(300));
    params->usethread = true;
    window.reverseDns = true;
    QByteArray lines;
    for (int i = 0; i < 1000; ++i)
        lines += "from 10.0.0.1 line " + QByteArray::number(i) + "\n";
    Write("s.log", lines);
    window.fileNameText = Path("s.log");
    engine->SetTailStatus(tsStart);
    ASSERT_TRUE(WaitUntil([&] { return gated.Asked() == 1; }));

    engine->SetTailStatus(tsStop);
    EXPECT_EQ(engine->TailStatus(), tsStop);
    EXPECT_EQ(window.stateTexts.last(), "STOPPED");
    EXPECT_TRUE(engine->PassRunning());
    EXPECT_TRUE(engine->ReadBufferHeld()) << "released under the running pass";
    engine->SetTailStatus(tsStart);
    EXPECT_EQ(engine->TailStatus(), tsStop) << "the start waits for the pass";

    gated.Open();
    ASSERT_TRUE(WaitUntil([&] { return engine->TailStatus() == tsStart && !engine->Busy(); }));
    EXPECT_EQ(View().size(), 1000) << "the next start read the file";
    EXPECT_EQ(gated.Asked(), 1 + 1000) << "the stuck pass ended at its next line";
}

// A week on a missing file adds a notice per pass; the view keeps the newest thousand lines.
TEST_F(PassRobustnessTest, MissingFileNoticesKeepTheNewestThousandLines) {
    Write("m.log", "last line of the file\n");
    Start("m.log");
    ASSERT_TRUE(QFile::remove(Path("m.log")));
    QString notice;
    for (int pass = 1; pass <= 1100; ++pass) {
        clock.Advance(1000);
        Ticks(1);
        if (pass == 101)
            notice = ShortDateLongTimeText(clock.Now());
    }
    const QStringList view = View();
    ASSERT_EQ(view.size(), 1000);
    EXPECT_EQ(view.first(), notice + " - File " + Path("m.log") + " not found now !");
    EXPECT_EQ(view.last(),
              ShortDateLongTimeText(clock.Now()) + " - File " + Path("m.log") + " not found now !");
}

// A read window that starts inside "127.0.0.1" begins with "7.0.0.1", which is no address of the
// file: it is shown as it is and never asked for (it would be a real query for another host). The
// address of the next line is annotated, and so is one that starts a window starting with a line.
TEST_F(PassRobustnessTest, ATokenCutByTheWindowsStartIsNeitherAnnotatedNorLookedUp) {
    MapResolver resolver;
    RebuildEngine(&mail, &resolver);
    window.reverseDns = true;
    Def().SetBufferkoVal(1);
    const QByteArray filler(1001, 'z');
    const QByteArray window1k = "7.0.0.1 " + filler + "\nfrom 10.0.0.2\n";
    ASSERT_EQ(window1k.size(), 1024);
    Write("cut.log", "x 12" + window1k);
    Start("cut.log");
    EXPECT_EQ(View(), (QStringList{"7.0.0.1 " + QString::fromLatin1(filler), "from [10.0.0.2]"}));
    EXPECT_EQ(resolver.asked, 1);
    Append("cut.log", "10.0.0.3 " + QByteArray(1000, 'y') + "\nfrom 10.0.0.4\n");
    Ticks(1);
    EXPECT_EQ(View(), (QStringList{"[10.0.0.3] " + QString(1000, u'y'), "from [10.0.0.4]"}));
    EXPECT_EQ(resolver.asked, 3);
}
