// The real program on a Wayland compositor: a headless Weston of the test's own (its socket in the
// test's XDG_RUNTIME_DIR, run as the current user). On Qt's Wayland platform the window follows a
// file, the running windows still find each other, what Wayland leaves to the compositor (staying
// on top, bringing a window to the front) passes without a word, and SIGTERM ends it with the
// settings saved. Without Qt's Wayland plugin the same session runs through the X server.
#include <csignal>

#include <QDir>
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
// Qt's only word on Wayland when no tray host is there: its X11 tray code asks the Wayland
// platform for a signal it does not have.
constexpr char kTrayWarning[] = "qt.core.qobject.connect: QObject::connect: No such signal "
                                "QPlatformNativeInterface::systemTrayWindowChanged(QScreen*)";

class WaylandSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir().mkpath(Runtime()));
        ASSERT_TRUE(QFile::setPermissions(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        runtimeEnv_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QFile::encodeName(Runtime()));
        QProcessEnvironment env = WithoutDisplay(Path("config"), Runtime());
        weston_.setProcessEnvironment(env);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        weston_.start(QStringLiteral("weston"),
                      {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + kSocket,
                       QStringLiteral("--idle-time=0"), QStringLiteral("--width=1024"),
                       QStringLiteral("--height=768")});
        ASSERT_TRUE(weston_.waitForStarted(kStartMs))
            << "weston cannot be started (" << weston_.errorString().toStdString()
            << "): install weston (scripts/setup does)";
        const QString socket = QDir(Runtime()).filePath(QString::fromLatin1(kSocket));
        ASSERT_TRUE(
            WaitUntil([&] { return QFileInfo::exists(socket) || weston_.state() != QProcess::Running; },
                      kStartMs) &&
            weston_.state() == QProcess::Running)
            << "weston did not listen on " << socket.toStdString() << ":\n"
            << weston_.readAll().toStdString();
    }

    void TearDown() override {
        for (auto& process : processes_)
            Stop(*process);
        Stop(weston_);
        runtimeEnv_.reset();
    }

    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QString Runtime() const { return Path("run"); }

    // The program's environment on this session: Qt chooses the platform, as on a desktop.
    QProcessEnvironment SessionEnvironment() const {
        QProcessEnvironment env = WithoutDisplay(Path("config"), Runtime());
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
        processes_.push_back(std::make_unique<QProcess>());
        QProcess& process = *processes_.back();
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(kStartMs)) << program.toStdString();
        return process;
    }

    // The handle (process id) of the one window listening in the session's instance folder.
    qint32 WaitForWindow() {
        qint32 handle = 0;
        WaitUntil(
            [&] {
                const QStringList sockets =
                    QDir(Runtime() + QStringLiteral("/kovra"))
                        .entryList({QStringLiteral("w*")}, QDir::System | QDir::Files);
                handle = sockets.size() == 1 ? sockets[0].mid(1).toInt() : 0;
                return handle != 0 && !DescribeWindow(handle).isEmpty();
            },
            kStartMs);
        return handle;
    }

    // Until the window's description holds every pair of expected.
    static bool WaitDescribed(qint32 handle, const WindowDescription& expected, WindowDescription& seen) {
        return WaitUntil(
            [&] {
                seen = DescribeWindow(handle);
                for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
                    if (seen.value(it.key()) != it.value())
                        return false;
                }
                return true;
            },
            kStartMs);
    }

    static void Stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }

    void WriteLog(const QByteArray& lines, QIODevice::OpenMode mode) {
        QFile log(Path("app.log"));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly | mode));
        ASSERT_EQ(log.write(lines), lines.size());
    }

    QTemporaryDir dir_;
    QProcess weston_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    std::unique_ptr<ScopedEnv> runtimeEnv_;
};

std::string Describe(const WindowDescription& description) {
    std::string text;
    for (auto it = description.cbegin(); it != description.cend(); ++it)
        text += (it.key() + u'=' + it.value()).toStdString() + "; ";
    return text;
}

// What a program printed beyond libwayland's protocol trace (WAYLAND_DEBUG) and Qt's tray warning.
std::string Unexpected(const QByteArray& output) {
    static const QRegularExpression trace(QStringLiteral("^\\[\\s*\\d+\\.\\d+\\]"));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts)) {
        if (!trace.match(line).hasMatch() && line != QLatin1String(kTrayWarning))
            lines << line;
    }
    return lines.join(u'\n').toStdString();
}

TEST_F(WaylandSession, FollowsAFileOnQtsWaylandPlatformAndEndsOnSigterm) {
    WriteLog("first\n", QIODevice::Truncate);
    // Always on top from the start: a wish Wayland leaves to the compositor.
    ASSERT_TRUE(QDir().mkpath(Path("config/kovra")));
    QFile registry(Path("config/kovra/registry.reg"));
    ASSERT_TRUE(registry.open(QIODevice::WriteOnly));
    registry.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Quorvel\\global]\n"
                   "\"alwaysontop\"=dword:00000001\n");
    registry.close();

    QProcessEnvironment env = SessionEnvironment();
    env.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client")); // to see what reaches Weston
    const QStringList arguments{QStringLiteral("/recycle"), QStringLiteral("/start"), Path("app.log")};
    QProcess& kovra = Start(KovraBinary(), arguments, env);
    const qint32 handle = WaitForWindow();
    ASSERT_NE(handle, 0) << "no window answered:\n" << kovra.readAll().toStdString();
    ASSERT_EQ(handle, kovra.processId());
    WindowDescription seen;
    EXPECT_TRUE(
        WaitDescribed(handle, {{"platform", "wayland"}, {"status", "started"}, {"view", "first"}}, seen))
        << Describe(seen);

    WriteLog("second\n", QIODevice::Append);
    EXPECT_TRUE(WaitDescribed(handle, {{"view", "first second"}}, seen)) << Describe(seen);

    // Hide all reaches the window, which asks the compositor to minimise it.
    QByteArray output;
    HideAll();
    EXPECT_TRUE(WaitUntil([&] {
        output += kovra.readAll();
        return output.contains(".set_minimized()");
    })) << "no minimise request reached Weston";
    // Show all, and a second start that recycles into this window, ask to bring it to the front:
    // Wayland lets only the compositor do that.
    ShowAll();
    QProcess& second = Start(KovraBinary(), arguments, SessionEnvironment());
    // Waiting with the event loop: the first window's protocol trace keeps being read meanwhile.
    EXPECT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, kStartMs))
        << "the recycling start kept running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(Unexpected(second.readAll()), "");
    EXPECT_TRUE(WaitDescribed(handle, {{"status", "started"}}, seen)) << "the window no longer answers";

    ASSERT_EQ(::kill(handle, SIGTERM), 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            output += kovra.readAll();
            return kovra.state() == QProcess::NotRunning;
        },
        kStartMs))
        << "SIGTERM did not end the program";
    EXPECT_EQ(kovra.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kovra.exitCode(), 0);
    output += kovra.readAll();
    EXPECT_EQ(Unexpected(output), "");
    // Saved on the way out: the file holds every parameter now, the one written above kept.
    const QByteArray saved = ReadFile(Path("config/kovra/registry.reg"));
    EXPECT_TRUE(saved.contains("\"alwaysontop\"=dword:00000001")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("\"minimizetotray\"=")) << saved.toStdString();
}

// Qt's plugins without the Wayland ones, as on a machine without qt6-wayland: a qt.conf beside a
// copy of the program points Qt there.
QString ProgramWithoutWaylandPlugins(const QString& folder) {
    const QString system = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    const QString plugins = folder + QStringLiteral("/plugins");
    bool made = QDir().mkpath(plugins + QStringLiteral("/platforms"));
    for (const QString& kind : QDir(system).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (kind.startsWith(QStringLiteral("wayland")) || kind == QStringLiteral("platforms"))
            continue;
        made = made && QFile::link(system + u'/' + kind, plugins + u'/' + kind);
    }
    for (const QString& platform : QDir(system + QStringLiteral("/platforms")).entryList(QDir::Files)) {
        if (!platform.contains(QStringLiteral("wayland")))
            made = made && QFile::link(system + QStringLiteral("/platforms/") + platform,
                                       plugins + QStringLiteral("/platforms/") + platform);
    }
    const QString program = folder + QStringLiteral("/kovra");
    QFile conf(folder + QStringLiteral("/qt.conf"));
    made = made && QFile::copy(KovraBinary(), program) && conf.open(QIODevice::WriteOnly) &&
           conf.write("[Paths]\nPlugins=" + QFile::encodeName(plugins) + '\n') > 0;
    EXPECT_TRUE(made) << "cannot lay out " << folder.toStdString();
    return program;
}

TEST_F(WaylandSession, WithoutQtsWaylandPluginRunsThroughTheXServerWithoutAWord) {
    WriteLog("only line\n", QIODevice::Truncate);
    const QString program = ProgramWithoutWaylandPlugins(Path("nowayland"));
    // An X server of its own stands for XWayland: xvfb-run sets DISPLAY beside WAYLAND_DISPLAY.
    QProcess& xvfb =
        Start(QStringLiteral("xvfb-run"),
              {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1024x768x24"), program,
               QStringLiteral("/start"), Path("app.log")},
              SessionEnvironment());
    const qint32 handle = WaitForWindow();
    ASSERT_NE(handle, 0) << "no window answered:\n" << xvfb.readAll().toStdString();
    WindowDescription seen;
    EXPECT_TRUE(
        WaitDescribed(handle, {{"platform", "xcb"}, {"status", "started"}, {"view", "only line"}}, seen))
        << Describe(seen);
    ASSERT_EQ(::kill(handle, SIGTERM), 0);
    ASSERT_TRUE(xvfb.waitForFinished(kStartMs)) << "SIGTERM did not end the program";
    EXPECT_EQ(xvfb.exitCode(), 0);
    // Not even the plugin loader's note on the Wayland plugin it did not find.
    EXPECT_EQ(Unexpected(xvfb.readAll()), "");
}

} // namespace
