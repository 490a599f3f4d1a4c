// The real program beside what once held it: a session bus that accepts connections and never
// answers, a mail server that never greets while the test e-mail is sent, and a window thread
// held inside a system call. The window comes up and answers, and SIGTERM ends the process within
// five seconds whatever runs.
#include <csignal>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QToolButton>

#include "kovra_process.h"
#include "manage/fTailParam.h"
#include "manage/fTailParam_widgets.h"
#include "notify/private_bus.h"
#include "platform/quit_signals.h"
#include "platform/registry_store.h"
#include "settings/uParam.h"
#include "support/fake_dialogs.h"
#include "twin_places.h"
#include "x_driver.h"

namespace {

// From SIGTERM to the end of the process, whatever runs: the quit bound and a second to end in.
constexpr int kEndMs = int(QuitSignalWatcher::kQuitBound.count()) + 1000;

class ProgramHangs : public ProgramTest {
protected:
    static void ExpectEndsSoonAfterSigterm(KovraProcess& kovra) {
        kovra.Process().terminate();
        EXPECT_TRUE(kovra.WaitExited(kEndMs)) << "still running " << kEndMs << " ms after SIGTERM; output:\n"
                                              << kovra.Output();
    }
    // The window answers DESCRIBE a few times in a row: it is not held.
    static void ExpectAnswers(KovraProcess& kovra) {
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(kovra.Describe().isEmpty()) << "no answer " << i;
    }
};

TEST_F(ProgramHangs, ASessionBusThatNeverAnswersHoldsNeitherStartUpNorQuit) {
    PrivateSessionBus bus;
    QString error;
    ASSERT_TRUE(bus.Start(&error)) << error.toStdString();
    ASSERT_EQ(::kill(pid_t(bus.Pid()), SIGSTOP), 0);
    const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
    QElapsedTimer clock;
    clock.start();
    KovraProcess& kovra = Start({QStringLiteral("/start"), QStringLiteral("/a=ERROR"),
                                 WriteFile(QStringLiteral("app.log"), "ERROR disk full\n")});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    // Connecting waits 25 s for the bus before it gives up: the window did not wait for it.
    EXPECT_LT(clock.elapsed(), 25000);
    EXPECT_TRUE(kovra.WaitDescribed({{QStringLiteral("status"), QStringLiteral("started")}}))
        << kovra.LastDescription();
    ExpectAnswers(kovra);
    ExpectEndsSoonAfterSigterm(kovra);
    ::kill(pid_t(bus.Pid()), SIGCONT);
}

TEST_F(ProgramHangs, AMailServerThatNeverGreetsDoesNotHoldTheQuitDuringTheTestMail) {
    ASSERT_TRUE(XDriver::Available());
    QTcpServer silent; // takes connections and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString folder = ConfigHome() + QStringLiteral("/kovra");
    ASSERT_TRUE(QDir().mkpath(folder));
    RegistryStore store(folder + QStringLiteral("/registry.reg"));
    RegistryKey& key = store.OpenOrCreateKey(QStringLiteral("\\Software\\Velmora\\Quorvel\\global"));
    key.WriteString(QStringLiteral("smtpserver"), QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()));
    key.WriteString(QStringLiteral("smtpfrom"), QStringLiteral("kovra@example.test"));
    key.WriteString(QStringLiteral("alertemail"), QStringLiteral("ops@example.test"));
    ASSERT_TRUE(store.Save());
    KovraProcess& kovra = Start({});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();

    const QString tailWindow = XDriver::FindWindow(kovra.Handle(), QStringLiteral("^KOVRA - [0-9?]"));
    ASSERT_FALSE(tailWindow.isEmpty());
    const QRect tail = XDriver::Geometry(tailWindow);
    ASSERT_TRUE(
        XDriver::Click(tail.topLeft() + TailWindowPoint(tail.size(), &TailWidgets::SpeedButtonControlPanel)));
    const QString dialogWindow =
        XDriver::FindWindow(kovra.Handle(), QStringLiteral("^KOVRA - Configuration panel$"));
    ASSERT_FALSE(dialogWindow.isEmpty()) << "the parameters did not open; output:\n" << kovra.Output();
    const QRect placed = SettledGeometry(dialogWindow);
    // A twin of the dialog tells where the Alerts tab and its test button are.
    FakeDialogService dialogs;
    TTailParam params(&dialogs);
    TFormTailParam twin(params, {&dialogs, nullptr});
    UseInterfaceFont(twin);
    twin.resize(placed.size());
    twin.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&twin));
    QTabWidget* pages = twin.Widgets().PageControl;
    const QTabBar* tabs = pages->tabBar();
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + tabs->mapTo(&twin, tabs->tabRect(1).center())));
    pages->setCurrentIndex(1);
    QTest::qWait(50);
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + CentreIn(twin, twin.Widgets().SpeedButtonTestMail)));
    ASSERT_TRUE(silent.waitForNewConnection(30000)) << "the test e-mail did not connect; output:\n"
                                                    << kovra.Output();
    ExpectEndsSoonAfterSigterm(kovra);
}

// listen() of the instance socket held for two minutes (a system call that does not return): the
// quit signal cannot reach the window thread, and the process ends all the same.
TEST_F(ProgramHangs, AWindowThreadHeldInsideASystemCallStillEndsOnSigterm) {
    const QString shim = QStringLiteral(KOVRA_SYSCALL_SHIM);
    ASSERT_TRUE(QFileInfo(shim).isFile()) << "preload library missing: " << shim.toStdString();
    const ScopedEnv preload("LD_PRELOAD", QFile::encodeName(shim));
    const ScopedEnv delay("KOVRA_SHIM_LISTEN_DELAY_MS", "120000");
    const ScopedEnv order("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    KovraProcess& kovra = Start({});
    // The socket is bound before listen() is called.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !QDir(InstanceFolderPath())
                        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                        .isEmpty();
        },
        60000))
        << kovra.Output();
    ExpectEndsSoonAfterSigterm(kovra);
    EXPECT_EQ(kovra.Process().exitCode(), 1);
    EXPECT_NE(kovra.Output().find("did not end in time"), std::string::npos) << kovra.Output();
}

} // namespace
