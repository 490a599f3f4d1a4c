#pragma once
// Running the real program and the desktop's tools from a test: what they printed and how they
// ended. A tool that cannot be started fails the test with the package that brings it.
#include <string>

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct RunResult {
    bool crashed = true; // not started, killed by a signal or past the deadline
    int exitCode = -1;
    QString out;
    QString err;
};
std::string Show(const RunResult& result);

// Runs program to its end (at most timeoutMs); env empty: this process's environment.
RunResult RunProgram(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& env = QProcessEnvironment(), int timeoutMs = 60000);
// The environment of a program that may not reach any display: no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM, its settings and instance sockets in the folders given.
QProcessEnvironment WithoutDisplay(const QString& configHome, const QString& runtimeDir);

// The program under test (KOVRA_BINARY, set by ctest); fails the test when it is not set.
QString KovraBinary();

// The switches a usage text lists, as they are typed ("/f=", "-h", "--help"), in order.
QStringList UsageSwitches(const QString& usage);

// A file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
