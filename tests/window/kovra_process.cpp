#include "kovra_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "support/remove_tree.h"
#include "window_parts/wait_until.h"

namespace {

// A first start under load (sanitizers, cold caches, a busy machine) may take many seconds.
constexpr int kStartMs = 60000;

} // namespace

std::string Show(const WindowDescription& description) {
    if (description.isEmpty())
        return "(no answer)";
    std::string text;
    for (auto it = description.cbegin(); it != description.cend(); ++it)
        text += (it.key() + u'=' + it.value()).toStdString() + "; ";
    return text;
}

namespace {

// A tool's output, or a test failure when it cannot be run.
QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // titles as UTF-8, not escaped
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << program.toStdString() << " did not run (" << tool.errorString().toStdString()
                      << "): install x11-utils (scripts/setup does)";
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace

std::vector<XWindow> XWindowsOf(qint64 pid) {
    static const QRegularExpression named(QStringLiteral("^\\s*(0x[0-9a-f]+) \""),
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression pidLine(QStringLiteral("_NET_WM_PID\\(CARDINAL\\) = (\\d+)"));
    static const QRegularExpression nameLine(QStringLiteral("_NET_WM_NAME\\(UTF8_STRING\\) = \"(.*)\"$"),
                                             QRegularExpression::MultilineOption);
    std::vector<XWindow> windows;
    const QString tree =
        RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    for (auto it = named.globalMatch(tree); it.hasNext();) {
        const QString id = it.next().captured(1);
        const QString props =
            RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_PID"),
                                              QStringLiteral("_NET_WM_NAME")});
        const qint64 owner = pidLine.match(props).captured(1).toLongLong();
        if (owner == pid)
            windows.push_back({id, owner, nameLine.match(props).captured(1)});
    }
    return windows;
}

KovraProcess::KovraProcess(const QString& program, const QString& configHome, const QString& runtimeDir,
                           const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    // The real display, not the offscreen platform of the widget tests.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Leaks are the in-process tests' business. The strict string checks stop the X keyboard
    // library (libxkbcommon-x11) at start-up, before any code of ours runs. The last option
    // given wins.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), (asan.isEmpty() ? QString() : asan + u':') +
                                                   QStringLiteral("detect_leaks=0:strict_string_checks=0"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program, arguments);
}

KovraProcess::~KovraProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

std::string KovraProcess::Output() {
    output_ += process_.readAll();
    return output_.toStdString();
}

bool KovraProcess::WaitUp() {
    if (!process_.waitForStarted(kStartMs)) {
        ADD_FAILURE() << "the program did not start: " << process_.errorString().toStdString();
        return false;
    }
    const bool up = WaitUntil(
        [&] {
            if (!Running())
                return true;
            last_ = Describe();
            return !last_.isEmpty();
        },
        kStartMs);
    if (!up || !Running()) {
        ADD_FAILURE() << "the window did not answer DESCRIBE (exit code " << process_.exitCode()
                      << "); output:\n"
                      << Output();
        return false;
    }
    return true;
}

bool KovraProcess::WaitDescribed(const WindowDescription& expected) {
    return WaitUntil([&] {
        last_ = Describe();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (!last_.contains(it.key()) || last_.value(it.key()) != it.value())
                return false;
        }
        return true;
    });
}

bool KovraProcess::WaitExited(int timeoutMs) {
    return WaitUntil([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
}

std::string KovraProcess::LastDescription() const {
    return Show(last_);
}

void ProgramTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"))
        << "DISPLAY is not set: the program tests need an X server; run them under xvfb-run -a (scripts/test "
           "does)";
    program_ = qEnvironmentVariable("KOVRA_BINARY");
    ASSERT_FALSE(program_.isEmpty())
        << "KOVRA_BINARY is not set: run the tests through ctest, which names the "
           "program built with them";
    ASSERT_TRUE(QFileInfo(program_).isExecutable())
        << "KOVRA_BINARY is not a program: " << program_.toStdString();
    const QString runtime = Path(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_TRUE(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    runtime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

void ProgramTest::TearDown() {
    processes_.clear();
    runtime_.reset();
    RemoveTreeByBytes(dir_.path());
}

KovraProcess& ProgramTest::Start(const QStringList& arguments, const QString& configName) {
    return StartCommand(program_, arguments, configName);
}

KovraProcess& ProgramTest::StartCommand(const QString& command, const QStringList& arguments,
                                        const QString& configName) {
    processes_.push_back(std::make_unique<KovraProcess>(command, ConfigHome(configName),
                                                        Path(QStringLiteral("run")), arguments));
    return *processes_.back();
}

QString ProgramTest::WriteFile(const QString& name, const QByteArray& content) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
    return path;
}
