// The real program on a headless Weston of the test's own (its socket in the test's
// XDG_RUNTIME_DIR, run as the current user).
#include <csignal>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop_tools.h"
#include "platform/instances.h"
#include "support/scoped_env.h"
#include "window_parts/wait_until.h"

namespace {

// A first start under load (sanitizers, a busy machine) may take many seconds.
constexpr int kStartMs = 60000;
constexpr char kSocket[] = "wayland-kovra-test";

class WaylandSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid() && QDir().mkpath(Path("run")));
        ASSERT_TRUE(
            QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        runtime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QFile::encodeName(Path("run")));
        QProcess& weston = Start(QStringLiteral("weston"),
                                 {QStringLiteral("--backend=headless-backend.so"),
                                  QStringLiteral("--socket=") + kSocket, QStringLiteral("--idle-time=0")},
                                 WithoutDisplay(Path("config"), Path("run")));
        ASSERT_TRUE(WaitUntil(
                        [&] {
                            return QFileInfo::exists(Path("run/") + kSocket) ||
                                   weston.state() != QProcess::Running;
                        },
                        kStartMs) &&
                    weston.state() == QProcess::Running)
            << "weston (scripts/setup installs it) did not listen:\n"
            << weston.readAll().toStdString();
    }
    void TearDown() override {
        for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(10000)) {
                (*it)->kill();
                (*it)->waitForFinished();
            }
        }
        processes_.clear();
    }

    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    // The program's environment on this session, where Qt chooses the platform as on a desktop.
    QProcessEnvironment Session() const {
        QProcessEnvironment env = WithoutDisplay(Path("config"), Path("run"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLatin1(kSocket));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        // Leaks are the in-process tests' business; the strict string checks stop libxkbcommon.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   (asan.isEmpty() ? QString() : asan + u':') +
                       QStringLiteral("detect_leaks=0:strict_string_checks=0"));
        return env;
    }
    QProcess& Start(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
        QProcess& process = *processes_.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(kStartMs)) << program.toStdString();
        return process;
    }
    // The handle (the process id) of the first window listening in the session's instance folder.
    qint32 WaitForWindow() {
        qint32 handle = 0;
        WaitUntil(
            [&] {
                const QStringList sockets =
                    QDir(Path("run/kovra")).entryList({QStringLiteral("w*")}, QDir::System);
                handle = sockets.isEmpty() ? 0 : sockets[0].mid(1).toInt();
                return handle != 0 && !DescribeWindow(handle).isEmpty();
            },
            kStartMs);
        return handle;
    }
    void Append(const QByteArray& lines) {
        QFile log(Path("app.log"));
        ASSERT_TRUE(log.open(QIODevice::Append) && log.write(lines) == lines.size());
    }

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    std::unique_ptr<ScopedEnv> runtime_;
};

// Empty once the window's description holds every pair of expected; else what it said last.
std::string WaitDescribed(qint32 handle, const WindowDescription& expected) {
    WindowDescription seen;
    const auto holds = [&] {
        seen = DescribeWindow(handle);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (seen.value(it.key()) != it.value())
                return false;
        }
        return true;
    };
    if (WaitUntil(holds, kStartMs))
        return {};
    std::string text = "seen: ";
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        text += (it.key() + u'=' + it.value()).toStdString() + "; ";
    return text;
}

// What a program printed beyond libwayland's protocol trace (WAYLAND_DEBUG) and Qt's one warning
// on Wayland without a tray host: its X11 tray code asks the platform for a signal it lacks.
std::string Unexpected(const QByteArray& output) {
    static const QRegularExpression expected(
        QStringLiteral("^\\[\\s*\\d+\\.\\d+\\]|^qt.core.qobject.connect: QObject::connect: No such signal "
                       "QPlatformNativeInterface::systemTrayWindowChanged\\(QScreen\\*\\)$"));
    QStringList lines = QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return expected.match(line).hasMatch(); });
    return lines.join(u'\n').toStdString();
}

// Ends the window with SIGTERM, reading its output all the while; false when it does not end.
bool Terminate(qint32 handle, QProcess& process, QByteArray& output) {
    return ::kill(handle, SIGTERM) == 0 && WaitUntil(
                                               [&] {
                                                   output += process.readAll();
                                                   return process.state() == QProcess::NotRunning;
                                               },
                                               kStartMs);
}

// On Qt's Wayland platform the window follows a file, the running windows still find each other,
// what Wayland leaves to the compositor (staying on top, bringing a window to the front) passes
// without a word, and SIGTERM ends it with the settings saved.
TEST_F(WaylandSession, FollowsAFileOnQtsWaylandPlatformAndEndsOnSigterm) {
    Append("first\n");
    ASSERT_TRUE(QDir().mkpath(Path("config/kovra")));
    QFile registry(Path("config/kovra/registry.reg"));
    ASSERT_TRUE(registry.open(QIODevice::WriteOnly));
    registry.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Quorvel\\global]\n"
                   "\"alwaysontop\"=dword:00000001\n");
    registry.close();
    QProcessEnvironment env = Session();
    env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client")); // what reaches Weston
    const QStringList arguments{QStringLiteral("/recycle"), QStringLiteral("/start"), Path("app.log")};
    QProcess& kovra = Start(KovraBinary(), arguments, env);
    const qint32 handle = WaitForWindow();
    ASSERT_EQ(handle, kovra.processId()) << kovra.readAll().toStdString();
    EXPECT_EQ(WaitDescribed(handle, {{"platform", "wayland"}, {"status", "started"}, {"view", "first"}}), "");
    Append("second\n");
    EXPECT_EQ(WaitDescribed(handle, {{"view", "first second"}}), "");

    // Hide all reaches the window, which asks the compositor to minimise it.
    QByteArray output;
    HideAll();
    EXPECT_TRUE(WaitUntil([&] { return (output += kovra.readAll()).contains(".set_minimized()"); }));
    // Show all, and a start that recycles into this window, ask to bring it to the front.
    ShowAll();
    QProcess& again = Start(KovraBinary(), arguments, Session());
    EXPECT_TRUE(WaitUntil([&] { return again.state() == QProcess::NotRunning; }, kStartMs));
    EXPECT_TRUE(again.exitStatus() == QProcess::NormalExit && again.exitCode() == 0);
    EXPECT_EQ(Unexpected(again.readAll()), "");

    ASSERT_TRUE(Terminate(handle, kovra, output));
    EXPECT_TRUE(kovra.exitStatus() == QProcess::NormalExit && kovra.exitCode() == 0);
    EXPECT_EQ(Unexpected(output), "");
    const QByteArray saved = ReadFile(Path("config/kovra/registry.reg")); // whole now, the value kept
    EXPECT_TRUE(saved.contains("\"alwaysontop\"=dword:00000001") && saved.contains("\"minimizetotray\"="))
        << saved.toStdString();
}

// Without Qt's Wayland plugins (qt6-wayland not installed: a qt.conf beside a copy of the program
// shows Qt its plugins without them) the session runs through the X server beside it, as on
// XWayland, and not even the plugin loader says a word.
TEST_F(WaylandSession, WithoutQtsWaylandPluginRunsThroughTheXServerWithoutAWord) {
    Append("only line\n");
    const QString system = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    ASSERT_TRUE(QDir().mkpath(Path("nowayland/plugins/platforms")));
    QDirIterator plugins(system, QDir::Files, QDirIterator::Subdirectories);
    while (plugins.hasNext()) {
        const QString plugin = QDir(system).relativeFilePath(plugins.next());
        if (plugin.contains(QStringLiteral("wayland")))
            continue;
        const QString link = Path("nowayland/plugins/") + plugin;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(link).path()) && QFile::link(plugins.filePath(), link));
    }
    QFile conf(Path("nowayland/qt.conf"));
    ASSERT_TRUE(QFile::copy(KovraBinary(), Path("nowayland/kovra")) && conf.open(QIODevice::WriteOnly) &&
                conf.write("[Paths]\nPlugins=" + QFile::encodeName(Path("nowayland/plugins")) + '\n') > 0);
    conf.close();
    QProcess& xvfb =
        Start(QStringLiteral("xvfb-run"),
              {QStringLiteral("-a"), Path("nowayland/kovra"), QStringLiteral("/start"), Path("app.log")},
              Session());
    const qint32 handle = WaitForWindow();
    ASSERT_NE(handle, 0) << xvfb.readAll().toStdString();
    EXPECT_EQ(WaitDescribed(handle, {{"platform", "xcb"}, {"status", "started"}, {"view", "only line"}}), "");
    QByteArray output;
    ASSERT_TRUE(Terminate(handle, xvfb, output));
    EXPECT_EQ(xvfb.exitCode(), 0);
    EXPECT_EQ(Unexpected(output), "");
}

} // namespace
