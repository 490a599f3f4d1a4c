#pragma once
// The real program in processes of their own, on the X server that xvfb-run provides. Each test
// gets a temporary folder; every process it starts has its settings ($XDG_CONFIG_HOME) and its
// instance sockets ($XDG_RUNTIME_DIR) in there, so the processes of one test see each other and
// nothing else. The test process points its own $XDG_RUNTIME_DIR there too, to enumerate them and
// ask them to DESCRIBE themselves.
#include <memory>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/instances.h"
#include "window_fixture.h"

class KovraProcess final {
public:
    // configHome: this process's $XDG_CONFIG_HOME.
    KovraProcess(const QString& program, const QString& configHome, const QString& runtimeDir,
                 const QStringList& arguments);
    // A process still running is asked to quit (SIGTERM), then killed if it does not.
    ~KovraProcess();
    KovraProcess(const KovraProcess&) = delete;
    KovraProcess& operator=(const KovraProcess&) = delete;

    // The window's instance handle: the process id (its first and only channel).
    qint32 Handle() const { return qint32(process_.processId()); }
    bool Running() const { return process_.state() == QProcess::Running; }
    QProcess& Process() { return process_; }
    // Everything it printed so far, for failure messages.
    std::string Output();

    WindowDescription Describe() const { return DescribeWindow(Handle()); }
    // Until its window answers DESCRIBE; false (with the output in the failure) when it does not.
    bool WaitUp();
    // Until every key of expected has that value in the window's description.
    bool WaitDescribed(const WindowDescription& expected);
    bool WaitExited(int timeoutMs = 10000);
    // The description seen last by the waits, for failure messages.
    std::string LastDescription() const;

private:
    QProcess process_;
    QByteArray output_;
    WindowDescription last_;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with its settings in the folder configName of the temporary folder.
    KovraProcess& Start(const QStringList& arguments, const QString& configName = QStringLiteral("config"));
    // Starts another command (a shell that runs the program, say) in the same surroundings.
    KovraProcess& StartCommand(const QString& command, const QStringList& arguments,
                               const QString& configName = QStringLiteral("config"));
    QString Program() const { return program_; }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString ConfigHome(const QString& configName = QStringLiteral("config")) const {
        return Path(configName);
    }
    QString InstanceFolderPath() const { return Path(QStringLiteral("run/kovra")); }
    QString WriteFile(const QString& name, const QByteArray& content);

private:
    QTemporaryDir dir_;
    QString program_;
    std::unique_ptr<ScopedEnv> runtime_;
    std::vector<std::unique_ptr<KovraProcess>> processes_;
};

std::string Show(const WindowDescription& description);

// A top-level window of the X server (xwininfo and xprop, from x11-utils), as a user sees it.
struct XWindow {
    QString id;    // "0x..."
    qint64 pid;    // _NET_WM_PID, 0 when not set
    QString title; // _NET_WM_NAME: what the title bar and the task bar show
};
// The named top-level windows of the process pid; fails the test when the tools are missing.
std::vector<XWindow> XWindowsOf(qint64 pid);
