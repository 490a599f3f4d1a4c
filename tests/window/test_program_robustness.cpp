// The real program on what would once hold it: a FIFO to follow and a filter that backtracks
// without end, both in timer mode (the passes run on the window's thread). The window comes up,
// answers, and a SIGTERM ends it at once.
#include <QDir>
#include <QFile>

#include "kovra_process.h"
#include "platform/registry_store.h"

#include <sys/stat.h>

namespace {

class ProgramRobustness : public ProgramTest {
protected:
    void TimerMode(const QString& configName) {
        const QString folder = ConfigHome(configName) + QStringLiteral("/kovra");
        ASSERT_TRUE(QDir().mkpath(folder));
        RegistryStore store(folder + QStringLiteral("/registry.reg"));
        store.OpenOrCreateKey(QStringLiteral("\\Software\\Velmora\\Quorvel\\global"))
            .WriteInteger(QStringLiteral("usethread"), 0);
        ASSERT_TRUE(store.Save());
    }
};

TEST_F(ProgramRobustness, FifoAndCostlyFilterNeverHoldTheWindowOrItsEnd) {
    const QString fifo = Path(QStringLiteral("fifo.log"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray costly;
    for (int i = 0; i < 1500; ++i)
        costly += QByteArray(40, 'a') + "!\n";
    const QString log = WriteFile(QStringLiteral("costly.log"), costly);
    TimerMode(QStringLiteral("fifo"));
    TimerMode(QStringLiteral("costly"));
    KovraProcess& following = Start({QStringLiteral("/start"), fifo}, QStringLiteral("fifo"));
    KovraProcess& filtering =
        Start({QStringLiteral("/start"), QStringLiteral("/f=^(a+)+$"), log}, QStringLiteral("costly"));
    for (KovraProcess* process : {&following, &filtering}) {
        ASSERT_TRUE(process->WaitUp()) << process->Output();
        EXPECT_TRUE(process->WaitDescribed({{QStringLiteral("status"), QStringLiteral("started")}}))
            << process->LastDescription();
    }
    for (KovraProcess* process : {&following, &filtering}) {
        process->Process().terminate();
        EXPECT_TRUE(process->WaitExited()) << process->Output();
        EXPECT_EQ(process->Process().exitStatus(), QProcess::NormalExit);
    }
}

} // namespace
