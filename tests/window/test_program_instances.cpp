// Running windows of the real program finding each other: "/recycle", show all and hide all, the
// socket a killed process leaves behind, and the settings saved when the desktop asks a process
// to quit.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "kovra_process.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "settings/store_layout.h"
#include "window_parts/wait_until.h"

namespace {

const WindowDescription kMinimised{{"minimized", "1"}};
const WindowDescription kRestored{{"minimized", "0"}};

class ProgramInstances : public ProgramTest {
protected:
    // Up and minimised through a show/hide request, as another window's "Hide all" would.
    void UpAndMinimised(KovraProcess& process) {
        ASSERT_TRUE(process.WaitUp());
        ASSERT_TRUE(PostShowHide(process.Handle(), kShowHideMinimise));
        ASSERT_TRUE(process.WaitDescribed(kMinimised)) << process.LastDescription();
    }
    void ExpectEndsByItself(KovraProcess& process) {
        ASSERT_TRUE(process.Process().waitForStarted());
        ASSERT_TRUE(process.WaitExited()) << "the new process kept running";
        EXPECT_EQ(process.Process().exitStatus(), QProcess::NormalExit) << process.Output();
        EXPECT_EQ(process.Process().exitCode(), 0) << process.Output();
    }
    QString SocketOf(const KovraProcess& process) const {
        return QDir(InstanceFolderPath()).filePath(QStringLiteral("w%1").arg(process.Handle()));
    }
};

TEST_F(ProgramInstances, RecycleWithTheSameCommandLineRestoresTheOldWindowAndEnds) {
    const QStringList arguments{WriteFile(QStringLiteral("app.log"), "x\n"), QStringLiteral("/recycle")};
    KovraProcess& old = Start(arguments);
    UpAndMinimised(old);

    KovraProcess& again = Start(arguments);
    ExpectEndsByItself(again);
    EXPECT_TRUE(old.WaitDescribed(kRestored)) << old.LastDescription();
    EXPECT_TRUE(old.Running());
}

TEST_F(ProgramInstances, RecycleWithAnotherCommandLineKeepsTheNewWindow) {
    KovraProcess& old = Start({QStringLiteral("a.log"), QStringLiteral("/recycle")});
    UpAndMinimised(old);

    // The same file written differently is another command line too.
    KovraProcess& other = Start({QStringLiteral("./a.log"), QStringLiteral("/recycle")});
    // A window that recycles closes before it answers DESCRIBE (its close is queued first), so an
    // answer means it stays.
    ASSERT_TRUE(other.WaitUp());
    EXPECT_TRUE(other.WaitDescribed({{"filename", "./a.log"}})) << other.LastDescription();
    EXPECT_TRUE(other.Running());
    EXPECT_EQ(old.Describe().value(QStringLiteral("minimized")), QStringLiteral("1")) << "no restore request";
}

TEST_F(ProgramInstances, RecycleRestoresEveryOlderWindowWithThatCommandLine) {
    const QStringList arguments{QStringLiteral("shared.log"), QStringLiteral("/recycle")};
    KovraProcess& first = Start(arguments);
    ASSERT_TRUE(first.WaitUp());
    // Two windows with one identity, as when two are started at the same moment: the second
    // starts while the first one's socket is out of sight.
    const QString socket = SocketOf(first);
    const QString aside = Path(QStringLiteral("aside"));
    ASSERT_TRUE(QFile::rename(socket, aside));
    KovraProcess& second = Start(arguments);
    const bool secondUp = second.WaitUp();
    ASSERT_TRUE(QFile::rename(aside, socket));
    ASSERT_TRUE(secondUp);
    UpAndMinimised(first);
    UpAndMinimised(second);

    KovraProcess& newest = Start(arguments);
    ExpectEndsByItself(newest);
    EXPECT_TRUE(first.WaitDescribed(kRestored)) << first.LastDescription();
    EXPECT_TRUE(second.WaitDescribed(kRestored)) << second.LastDescription();
}

TEST_F(ProgramInstances, ShowAllAndHideAllReachEveryWindow) {
    KovraProcess& one = Start({QStringLiteral("one.log")});
    KovraProcess& two = Start({QStringLiteral("two.log"), QStringLiteral("/f=x")});
    ASSERT_TRUE(one.WaitUp());
    ASSERT_TRUE(two.WaitUp());

    HideAll();
    EXPECT_TRUE(one.WaitDescribed(kMinimised)) << one.LastDescription();
    EXPECT_TRUE(two.WaitDescribed(kMinimised)) << two.LastDescription();
    ShowAll();
    EXPECT_TRUE(one.WaitDescribed(kRestored)) << one.LastDescription();
    EXPECT_TRUE(two.WaitDescribed(kRestored)) << two.LastDescription();
}

TEST_F(ProgramInstances, AKilledWindowsSocketIsSkippedAndRemoved) {
    KovraProcess& killed = Start({QStringLiteral("gone.log")});
    KovraProcess& alive = Start({QStringLiteral("alive.log")});
    ASSERT_TRUE(killed.WaitUp());
    ASSERT_TRUE(alive.WaitUp());
    const QString socket = SocketOf(killed);
    ASSERT_TRUE(QFileInfo::exists(socket));

    killed.Process().kill(); // SIGKILL: no closing sequence
    ASSERT_TRUE(killed.WaitExited());
    ASSERT_EQ(killed.Process().exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(QFileInfo::exists(socket)) << "a killed process cannot remove its socket";

    const auto siblings = CollectSiblingWindows();
    ASSERT_EQ(siblings->Count(), 1);
    EXPECT_EQ(siblings->RItems(0)->Value, alive.Handle());
    EXPECT_TRUE(siblings->Strings(0).startsWith(QStringLiteral("KOVRA - ")))
        << siblings->Strings(0).toStdString();
    EXPECT_FALSE(QFileInfo::exists(socket)) << "the enumeration removes the dead socket";
    EXPECT_TRUE(QFileInfo::exists(SocketOf(alive)));
}

TEST_F(ProgramInstances, TerminationSavesParametersAndHistories) {
    KovraProcess& process =
        Start({QStringLiteral("/f=pattern"), QStringLiteral("/a=other"), QStringLiteral("x.log")});
    ASSERT_TRUE(process.WaitUp());
    ASSERT_TRUE(process.WaitDescribed({{"filter", "1"}, {"alert", "1"}})) << process.LastDescription();
    const QString folder = QDir(ConfigHome()).filePath(QStringLiteral("kovra"));
    ASSERT_FALSE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("registry.reg"))))
        << "saved before it was asked to quit";

    process.Process().terminate();
    ASSERT_TRUE(process.WaitExited());
    EXPECT_EQ(process.Process().exitStatus(), QProcess::NormalExit) << process.Output();
    EXPECT_EQ(process.Process().exitCode(), 0) << process.Output();

    IniFile ini(QDir(folder).filePath(QStringLiteral("kovra.ini")));
    ASSERT_TRUE(ini.FileExists());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString(FilterKeyPath(), QStringLiteral("Filter0")), QStringLiteral("pattern"));
    EXPECT_EQ(ini.ReadString(AlarmKeyPath(), QStringLiteral("Alarm0")), QStringLiteral("other"));

    RegistryStore store(QDir(folder).filePath(QStringLiteral("registry.reg")));
    ASSERT_TRUE(store.Load());
    const RegistryKey* global = store.OpenKeyReadOnly(GlobalKeyPath());
    ASSERT_NE(global, nullptr) << "no global key";
    EXPECT_EQ(global->ReadInteger(QStringLiteral("daystartat")), std::optional<quint32>(8));
    EXPECT_EQ(global->ReadInteger(QStringLiteral("nightstartat")), std::optional<quint32>(20));
    EXPECT_TRUE(global->ValueExists(QStringLiteral("pathcombofontname")));
}

} // namespace
