// The real program and a tray host that comes and goes (tests/window/tray_host.cpp): minimising
// hides the window into the tray exactly while its icon is on the desktop, so the window is never
// hidden without an icon to bring it back.
#include <QFileInfo>

#include "kovra_process.h"
#include "window_parts/wait_until.h"

namespace {

// The stand-in tray host in a process of its own; it goes when the object goes.
class TrayHost final {
public:
    TrayHost() {
        const QString program = qEnvironmentVariable("KOVRA_TRAY_HOST");
        if (!QFileInfo(program).isExecutable()) {
            ADD_FAILURE() << "KOVRA_TRAY_HOST is not a program: run the tests through ctest";
            return;
        }
        process_.start(program, {});
        ready_ = WaitFor("ready\n");
        EXPECT_TRUE(ready_) << "the tray host did not start: " << output_.toStdString()
                            << process_.readAllStandardError().toStdString();
    }
    ~TrayHost() { Stop(); }
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    bool Ready() const { return ready_; }
    // Until an icon has asked this host to dock it.
    bool WaitDocked() { return WaitFor("dock "); }
    void Stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished();
    }

private:
    bool WaitFor(const char* text) {
        return WaitUntil([&] {
            output_ += process_.readAllStandardOutput();
            return output_.contains(text);
        });
    }

    QProcess process_;
    QByteArray output_;
    bool ready_ = false;
};

class ProgramTray : public ProgramTest {
protected:
    static void Minimise(KovraProcess& process) {
        ASSERT_TRUE(PostShowHide(process.Handle(), kShowHideMinimise));
    }
    static void Restore(KovraProcess& process) {
        ASSERT_TRUE(PostShowHide(process.Handle(), kShowHideRestore));
    }
};

TEST_F(ProgramTray, MinimisingHidesIntoTheTrayOnlyWhileTheIconIsShown) {
    // The tray is asked for by default; no host at the start.
    KovraProcess& process = Start({WriteFile(QStringLiteral("app.log"), "x\n")});
    ASSERT_TRUE(process.WaitUp());
    ASSERT_TRUE(process.WaitDescribed({{"trayicon", "0"}, {"visible", "1"}})) << process.LastDescription();

    {
        // A host appears later: the icon goes into it, and minimising leaves only the icon.
        TrayHost host;
        ASSERT_TRUE(host.Ready());
        EXPECT_TRUE(host.WaitDocked()) << "the icon never asked the new host to show it";
        ASSERT_TRUE(process.WaitDescribed({{"trayicon", "1"}})) << process.LastDescription();
        Minimise(process);
        EXPECT_TRUE(process.WaitDescribed({{"hidden", "1"}, {"visible", "0"}})) << process.LastDescription();
        Restore(process);
        EXPECT_TRUE(process.WaitDescribed({{"hidden", "0"}, {"visible", "1"}, {"minimized", "0"}}))
            << process.LastDescription();
    }

    // The host went away: minimising is the ordinary one, the window is not hidden.
    ASSERT_TRUE(process.WaitDescribed({{"trayicon", "0"}})) << process.LastDescription();
    Minimise(process);
    EXPECT_TRUE(process.WaitDescribed({{"minimized", "1"}})) << process.LastDescription();
    EXPECT_TRUE(process.WaitDescribed({{"hidden", "0"}, {"visible", "1"}})) << process.LastDescription();
    Restore(process);
    EXPECT_TRUE(process.WaitDescribed({{"minimized", "0"}})) << process.LastDescription();
}

} // namespace
