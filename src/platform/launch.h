#pragma once
// Starting other programs: RunCommand (a command line) and ShellRun (the desktop's "open" verb),
// with the Linux answers for the Windows programs the tail window names: "notepad <file>" and the
// console ping / trace route ("cmd.exe" "/K ping.exe X").
//
// Command lines are split by QProcess::splitCommand: blanks separate words, double quotes group
// them (a tripled double quote is a literal one); single quotes, backslashes, $ and ; are plain
// characters. The program is started directly, never through a shell, so text from a log cannot
// inject commands. The show mode is
// accepted for the callers' sake and ignored: X11 offers no portable way to hand a new program its
// initial window state (the tail window's own launches say /minimized on the command line).
//
// Window thread. The wait variants process pending events while they wait.

#include <QString>
#include <QStringList>
#include <QtGlobal>

inline constexpr int kMaxCommandLineLength = 1024;

// Starts the trimmed command line; false when it is empty, longer than kMaxCommandLineLength, or
// the program cannot be started. Without wait the program is detached and the call returns at once.
// With wait it returns when the program has ended: blocking (waitWithoutLimit) or polling every
// pollIntervalMs while processing events, and then also when the program is closing, leaving the
// program running. pid receives the process id.
//
// "notepad <name>" (or notepad.exe, any case): everything after the first blank is one file name,
// never split (blanks, quotes and dashes are part of it; a name starting with "-" is given as
// "./" + name so that no editor reads it as an option). A notepad on the PATH is started with it;
// without one the file opens in the desktop's default application for plain text (see
// text_editor.h), nothing is waited for and pid is 0.
bool RunCommand(const QString& commandLine, bool wait, bool waitWithoutLimit, int pollIntervalMs,
                qint64* pid = nullptr, int showMode = 0);

// Starts arguments[0] with the other arguments exactly as given, detached; false when it cannot be
// started. pid receives the process id.
bool RunArguments(const QStringList& arguments, qint64* pid = nullptr);

// The desktop's "open" verb. Without parameters: a URL (http:, mailto:, ...) or a file or folder
// (relative to folder when given) goes to the desktop, and nothing is waited for. With parameters:
// "cmd.exe" or "command.exe" with "/K ping.exe X" or "/K tracert.exe X" opens a terminal ($TERMINAL,
// else x-terminal-emulator) running ping -c 4 X / traceroute X and staying open; other programs
// are started with the parameters split like a shell and folder as their working folder, waited
// for as RunCommand does when wait is asked. False when refused or not startable (also for other
// interpreter commands and for a target starting with '-', which ping would take as an option).
bool ShellRun(const QString& file, const QString& parameters, const QString& folder, int pollIntervalMs,
              int showMode, bool wait);

// Ends the polling waits of RunCommand and ShellRun: the window sets it when it starts closing.
void SetProgramClosing(bool closing);
