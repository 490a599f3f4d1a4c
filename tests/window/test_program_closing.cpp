// Closing the real program with nobody there: a quit signal ends it without waiting for a person,
// also while a box is open or when a save fails, and what would have been a box is written to
// standard error.
#include <QDir>

#include "kovra_process.h"
#include "window_parts/wait_until.h"

namespace {

class ProgramClosing : public ProgramTest {
protected:
    // A folder where a settings file should be: reading and saving it fail.
    void BlockSettingsFile(const QString& name) {
        ASSERT_TRUE(QDir().mkpath(ConfigHome() + QStringLiteral("/kovra/") + name));
    }
    static void ExpectEndsCleanly(KovraProcess& process) {
        ASSERT_TRUE(process.WaitExited(30000)) << "still running; output:\n" << process.Output();
        EXPECT_EQ(process.Process().exitStatus(), QProcess::NormalExit) << process.Output();
        EXPECT_EQ(process.Process().exitCode(), 0) << process.Output();
    }
    static bool HasWindowTitled(const KovraProcess& process, const QString& title) {
        for (const XWindow& window : XWindowsOf(process.Handle())) {
            if (window.title == title)
                return true;
        }
        return false;
    }
};

TEST_F(ProgramClosing, QuitSignalWhileASaveFailsEndsWithoutABox) {
    BlockSettingsFile(QStringLiteral("registry.reg"));
    KovraProcess& process = Start({WriteFile(QStringLiteral("app.log"), "x\n")});
    ASSERT_TRUE(process.WaitUp());
    EXPECT_TRUE(process.WaitDescribed({{"modal", ""}}))
        << "an unreadable registry.reg is no reason for a box: " << process.LastDescription();

    process.Process().terminate();
    ExpectEndsCleanly(process);
    EXPECT_NE(process.Output().find("kovra: Unable to save Kovra global parameters in registry. Err="),
              std::string::npos)
        << process.Output();
}

TEST_F(ProgramClosing, QuitSignalDuringAStartUpBoxEndsTheProcess) {
    BlockSettingsFile(QStringLiteral("kovra.ini")); // the file list cannot be read: a box at start-up
    KovraProcess& process = Start({QStringLiteral("app.log")});
    ASSERT_TRUE(process.Process().waitForStarted());
    ASSERT_TRUE(WaitUntil(
        [&] { return !process.Running() || HasWindowTitled(process, QStringLiteral("Kovra")); }, 30000))
        << "no start-up box; output:\n"
        << process.Output();
    ASSERT_TRUE(process.Running()) << process.Output();

    process.Process().terminate();
    ExpectEndsCleanly(process);
    EXPECT_NE(process.Output().find("kovra: Unable to save Kovra parameters in "), std::string::npos)
        << "the histories cannot be saved either: " << process.Output();
}

} // namespace
