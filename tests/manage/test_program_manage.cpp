// The file manager dialog and the file tree window of the real program under Xvfb, driven with
// the pointer as a user would: a new entry confirmed in the dialog reaches kovra.ini, and the
// tree's group menu starts two real tail windows that follow their files and end cleanly. And the
// program beside what once held it (a session bus that never answers, a mail server that never
// greets during the test e-mail, a window thread held inside a system call): the window comes up,
// answers, and SIGTERM ends the process within five seconds whatever runs.
#include <csignal>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include "kovra_process.h"
#include "manage/fTailManager.h"
#include "manage/fTailParam.h"
#include "manage/fTailParam_widgets.h"
#include "manage/fTailTree.h"
#include "manage/file_tree_view.h"
#include "manage_fixture.h"
#include "notify/private_bus.h"
#include "platform/quit_signals.h"
#include "platform/registry_store.h"
#include "settings/uParam.h"
#include "window/tail_widgets.h"
#include "window_parts/wait_until.h"
#include "x_driver.h"

namespace {

constexpr int kProgramDeadlineMs = 30000;

// Where a control of the tail window sits in a window of that size: its layout is absolute.
template <typename W> QPoint TailWindowPoint(const QSize& size, W* TailWidgets::*control) {
    QMainWindow twin;
    const TailWidgets widgets = BuildTailWidgets(&twin);
    twin.resize(size);
    twin.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&twin));
    PlaceTailWidgets(widgets, twin.centralWidget(), false);
    QWidget* widget = widgets.*control;
    return widget->mapTo(&twin, widget->rect().center());
}

// The tail window's interface font, which the dialogs it opens inherit: a twin needs it to be
// laid out like them.
void UseInterfaceFont(QWidget& twin) {
    QFont font = twin.font();
    font.setPointSize(8);
    twin.setFont(font);
}

// Where the window is once it stopped moving and resizing (a new window is mapped first and
// then given its size).
QRect SettledGeometry(const QString& window) {
    QRect last;
    QRect now = XDriver::Geometry(window);
    WaitUntil([&] {
        last = now;
        QTest::qWait(100);
        now = XDriver::Geometry(window);
        return now == last;
    });
    return now;
}

template <typename W> QPoint CentreIn(const QWidget& window, const W* widget) {
    return widget->mapTo(&window, widget->rect().center());
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

bool ProcessEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 1).trimmed().startsWith('Z'); // ended, not yet reaped
}

class ProgramManage : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(XDriver::Available());
    }
    // The list kovra.ini holds for the program started with configName.
    QStringList StoredIn(const QString& configName) {
        const ScopedEnv home("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome(configName)));
        return StoredEntries();
    }
    void Store(const QStringList& entries) {
        const ScopedEnv home("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
        TTailFileList list;
        FillList(list, entries);
        ASSERT_TRUE(list.SaveList());
    }
    // The tail window of the process, and a click on its control.
    QRect TailWindow(const KovraProcess& kovra) {
        const QString window = XDriver::FindWindow(kovra.Handle(), QStringLiteral("^KOVRA - [0-9?]"));
        EXPECT_FALSE(window.isEmpty()) << "no tail window on the display";
        return XDriver::Geometry(window);
    }
};

TEST_F(ProgramManage, FileManagerOpenedFromTheWindowStoresANewEntryOnOk) {
    KovraProcess& kovra = Start({});
    ASSERT_TRUE(kovra.WaitUp());
    const QRect tail = TailWindow(kovra);
    ASSERT_TRUE(tail.isValid());
    ASSERT_TRUE(
        XDriver::Click(tail.topLeft() + TailWindowPoint(tail.size(), &TailWidgets::SpeedButtonManager)));

    const QString dialogWindow =
        XDriver::FindWindow(kovra.Handle(), QStringLiteral("^KOVRA - File manager$"));
    ASSERT_FALSE(dialogWindow.isEmpty()) << "the dialog did not open; output:\n" << kovra.Output();
    const QRect placed = SettledGeometry(dialogWindow);
    EXPECT_EQ(placed.size(), QSize(630, 460)) << "as wide as the window, and never below the minimum height";
    // A twin of the empty dialog tells where its buttons are.
    const ScopedEnv home("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("twin"))));
    FakeDialogService dialogs;
    TTailFileManager manager(&dialogs);
    TFormFileManager twin(manager, dialogs);
    UseInterfaceFont(twin);
    twin.resize(placed.size());
    twin.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&twin));
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + CentreIn(twin, twin.Widgets().newButton)));
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + CentreIn(twin, twin.Widgets().ok)));

    EXPECT_TRUE(WaitUntil([&] { return StoredIn(QStringLiteral("config")).size() == 1; }, kProgramDeadlineMs))
        << kovra.Output();
    EXPECT_EQ(StoredIn(QStringLiteral("config")), QStringList{"filename|file alias|0"});
    EXPECT_TRUE(kovra.Running());
}

// The list starts with a group heading, whose empty path once matched the empty file name of a
// start without one: the stop at start-up stamped the window size into it.
TEST_F(ProgramManage, AStartThatChangesNothingLeavesKovraIniUntouched) {
    Store({QStringLiteral("|logs|0"), WriteFile(QStringLiteral("one.log"), "x\n") + QStringLiteral("||1")});
    const QString ini = ConfigHome() + QStringLiteral("/kovra/kovra.ini");
    const QByteArray before = ReadAll(ini);
    EXPECT_TRUE(before.startsWith("[")) << "a file made from scratch starts with its section";
    const QDateTime written = QFileInfo(ini).lastModified();
    KovraProcess& kovra = Start({});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    kovra.Process().terminate();
    ASSERT_TRUE(kovra.WaitExited(30000)) << kovra.Output();
    EXPECT_EQ(QString::fromUtf8(ReadAll(ini)), QString::fromUtf8(before));
    EXPECT_EQ(QFileInfo(ini).lastModified(), written) << "not even written with the same bytes";
}

TEST_F(ProgramManage, TreeGroupMenuStartsTwoTailWindowsThatFollowTheirFilesAndEndCleanly) {
    const QString one = WriteFile(QStringLiteral("one.log"), "first file\n");
    const QString two = WriteFile(QStringLiteral("two dir.log"), "second file\n");
    const QStringList entries{QStringLiteral("|logs|0"), one + QStringLiteral("||1"),
                              two + QStringLiteral("||1")};
    Store(entries);
    KovraProcess& kovra = Start({});
    ASSERT_TRUE(kovra.WaitUp());
    const QRect tail = TailWindow(kovra);
    ASSERT_TRUE(
        XDriver::Click(tail.topLeft() + TailWindowPoint(tail.size(), &TailWidgets::RzBitBtnOpenTree)));
    const QString treeWindow = XDriver::FindWindow(kovra.Handle(), QStringLiteral("^File tree$"));
    ASSERT_FALSE(treeWindow.isEmpty()) << "the tree did not open; output:\n" << kovra.Output();
    const QRect placed = SettledGeometry(treeWindow);

    // A twin of the tree with the same list tells where the group's node and menu item are.
    TTailFileManager manager;
    FillList(*manager.List, entries);
    FileTreeOptions options;
    TTailParam params;
    {
        const ScopedEnv home("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
        params.LoadParams();
    }
    options.fontName = params.pathcombofontname;
    options.launch = [](const QString&) { ADD_FAILURE() << "the twin launches nothing"; };
    TFormFileTree twin(manager, options);
    UseInterfaceFont(twin);
    twin.resize(placed.size());
    twin.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&twin));
    FileTreeView& view = *twin.Tree();
    const QPoint group =
        placed.topLeft() + view.viewport()->mapTo(&twin, view.visualItemRect(view.topLevelItem(0)).center());
    ASSERT_TRUE(XDriver::Click(group, 3));
    QAction* started = twin.GroupMenu()->actions().value(0);
    ASSERT_EQ(started->text(), QStringLiteral("Tail (started) all the subitems"));
    ASSERT_TRUE(XDriver::Click(group + twin.GroupMenu()->actionGeometry(started).center()));

    // Two new windows, each following its own file.
    std::vector<qint32> launched;
    const bool bothUp = WaitUntil(
        [&] {
            launched.clear();
            const auto siblings = CollectSiblingWindows();
            for (int i = 0; i < siblings->Count(); ++i) {
                if (siblings->Objects(i)->Value != kovra.Handle())
                    launched.push_back(siblings->Objects(i)->Value);
            }
            return launched.size() == 2;
        },
        kProgramDeadlineMs);
    ASSERT_TRUE(bothUp) << "started " << launched.size() << " windows; output:\n" << kovra.Output();
    QStringList followed;
    for (qint32 handle : launched) {
        WindowDescription description;
        EXPECT_TRUE(WaitUntil(
            [&] {
                description = DescribeWindow(handle);
                return description.value(QStringLiteral("status")) == QStringLiteral("started");
            },
            kProgramDeadlineMs))
            << Show(description);
        followed += description.value(QStringLiteral("filename"));
    }
    followed.sort();
    EXPECT_EQ(followed, (QStringList{one, two}));
    EXPECT_EQ(StoredIn(QStringLiteral("config")), entries) << "OK stored the list";

    for (qint32 handle : launched) {
        ASSERT_EQ(::kill(handle, SIGTERM), 0);
        const QString socket = QDir(InstanceFolderPath()).filePath(QStringLiteral("w%1").arg(handle));
        EXPECT_TRUE(
            WaitUntil([&] { return ProcessEnded(handle) && !QFile::exists(socket); }, kProgramDeadlineMs))
            << "window " << handle << " did not end through its closing sequence";
    }
    EXPECT_TRUE(kovra.Running());
}

// From SIGTERM to the end of the process, whatever runs: the quit bound and two seconds to end in.
void ExpectEndsSoonAfterSigterm(KovraProcess& kovra) {
    const int bound = int(QuitSignalWatcher::kQuitBound.count()) + 2000;
    kovra.Process().terminate();
    EXPECT_TRUE(kovra.WaitExited(bound)) << "still running " << bound << " ms after SIGTERM:\n"
                                         << kovra.Output();
}

TEST_F(ProgramManage, ASessionBusThatNeverAnswersHoldsNeitherStartUpNorQuit) {
    PrivateSessionBus bus;
    QString error;
    ASSERT_TRUE(bus.Start(&error)) << error.toStdString();
    ASSERT_EQ(::kill(pid_t(bus.Pid()), SIGSTOP), 0);
    const ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
    QElapsedTimer clock;
    clock.start();
    KovraProcess& kovra = Start({"/start", "/a=ERROR", WriteFile("app.log", "ERROR disk full\n")});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    EXPECT_LT(clock.elapsed(), 25000) << "the bus library waits 25 s before it gives up";
    EXPECT_TRUE(kovra.WaitDescribed({{"status", "started"}})) << kovra.LastDescription();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(kovra.Describe().isEmpty()) << "the window is held";
    ExpectEndsSoonAfterSigterm(kovra);
}

TEST_F(ProgramManage, AMailServerThatNeverGreetsDoesNotHoldTheQuitDuringTheTestMail) {
    QTcpServer silent; // takes connections and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(QDir().mkpath(ConfigHome() + "/kovra"));
    RegistryStore store(ConfigHome() + "/kovra/registry.reg");
    RegistryKey& key = store.OpenOrCreateKey("\\Software\\Velmora\\Quorvel\\global");
    key.WriteString("smtpserver", QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()));
    key.WriteString("smtpfrom", "kovra@example.test");
    key.WriteString("alertemail", "ops@example.test");
    ASSERT_TRUE(store.Save());
    KovraProcess& kovra = Start({});
    ASSERT_TRUE(kovra.WaitUp());
    const QRect tail = TailWindow(kovra);
    ASSERT_TRUE(
        XDriver::Click(tail.topLeft() + TailWindowPoint(tail.size(), &TailWidgets::SpeedButtonControlPanel)));
    const QString dialog = XDriver::FindWindow(kovra.Handle(), "^KOVRA - Configuration panel$");
    ASSERT_FALSE(dialog.isEmpty()) << "the parameters did not open; output:\n" << kovra.Output();
    const QRect placed = SettledGeometry(dialog);
    // A twin of the dialog tells where the Alerts tab and its test button are.
    FakeDialogService dialogs;
    TTailParam params(&dialogs);
    TFormTailParam twin(params, {&dialogs, nullptr});
    UseInterfaceFont(twin);
    twin.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&twin));
    const QTabBar* tabs = twin.Widgets().PageControl->tabBar();
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + tabs->mapTo(&twin, tabs->tabRect(1).center())));
    twin.Widgets().PageControl->setCurrentIndex(1);
    ASSERT_TRUE(XDriver::Click(placed.topLeft() + CentreIn(twin, twin.Widgets().SpeedButtonTestMail)));
    ASSERT_TRUE(silent.waitForNewConnection(30000)) << "no test e-mail; output:\n" << kovra.Output();
    ExpectEndsSoonAfterSigterm(kovra);
}

// listen() of the instance socket held for two minutes: the quit signal cannot reach the window
// thread, and the process ends all the same.
TEST_F(ProgramManage, AWindowThreadHeldInsideASystemCallStillEndsOnSigterm) {
    ASSERT_TRUE(QFileInfo(KOVRA_SYSCALL_SHIM).isFile()) << "preload library missing";
    const ScopedEnv preload("LD_PRELOAD", KOVRA_SYSCALL_SHIM);
    const ScopedEnv delay("KOVRA_SHIM_LISTEN_DELAY_MS", "120000");
    const ScopedEnv order("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    KovraProcess& kovra = Start({});
    const QDir instances(InstanceFolderPath());
    ASSERT_TRUE(WaitUntil([&] { return !instances.entryList(QDir::System | QDir::NoDotAndDotDot).isEmpty(); },
                          kProgramDeadlineMs))
        << "the socket is bound before listen() is called; output:\n"
        << kovra.Output();
    ExpectEndsSoonAfterSigterm(kovra);
    EXPECT_EQ(kovra.Process().exitCode(), 1);
    EXPECT_NE(kovra.Output().find("did not end in time"), std::string::npos) << kovra.Output();
}

} // namespace
