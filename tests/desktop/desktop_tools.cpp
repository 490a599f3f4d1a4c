#include "desktop_tools.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

std::string Show(const RunResult& result) {
    return (QStringLiteral("exit %1%2\nstdout:\n%3\nstderr:\n%4")
                .arg(result.exitCode)
                .arg(result.crashed ? QStringLiteral(" (crashed or not run)") : QString(), result.out,
                     result.err))
        .toStdString();
}

RunResult RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
                     int timeoutMs) {
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    RunResult result;
    if (!process.waitForStarted(timeoutMs)) {
        ADD_FAILURE() << program.toStdString() << " cannot be started ("
                      << process.errorString().toStdString()
                      << "): scripts/setup installs the tools the tests use";
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << program.toStdString() << " did not end within " << timeoutMs << " ms";
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QProcessEnvironment WithoutDisplay(const QString& configHome, const QString& runtimeDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    return env;
}

QString KovraBinary() {
    const QString program = qEnvironmentVariable("KOVRA_BINARY");
    EXPECT_FALSE(program.isEmpty()) << "KOVRA_BINARY is not set: run the tests through ctest";
    return program;
}

QStringList UsageSwitches(const QString& usage) {
    static const QRegularExpression name(QStringLiteral("^  (?:(-\\S), )?([-/]\\S*?)(?:PATTERN)? "),
                                         QRegularExpression::MultilineOption);
    QStringList switches;
    for (auto it = name.globalMatch(usage); it.hasNext();)
        switches << it.next().capturedTexts().mid(1).filter(QRegularExpression(QStringLiteral(".")));
    return switches;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
