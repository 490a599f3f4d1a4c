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

// Linux's longest path (PATH_MAX): a command line may be as long, and so may the file name of
// "notepad <name>", whatever the command line around it.
inline constexpr int kMaxCommandLineLength = 4096;

// Starts the trimmed command line; false when it is empty, longer than kMaxCommandLineLength, or
// the program cannot be started. Every argument reaches the program as the bytes it stands for
// (see file_names.h), so a file name that is not UTF-8 arrives as it is on disk. Without wait the program is
// detached and the call returns at once. With wait it returns when the program has ended: blocking
// (waitWithoutLimit) or polling every pollIntervalMs while processing events, and then also when the program
// is closing, leaving the program running. pid receives the process id.
//
// "notepad <name>" (or notepad.exe, any case): everything after the first blank is one file name,
// never split (blanks, quotes and dashes are part of it; a name starting with "-" is given as
// "./" + name so that no editor reads it as an option). A notepad on the PATH is started with it;
// without one the file opens in the desktop's default application for plain text (see
// text_editor.h), nothing is waited for and pid is 0.
bool RunCommand(const QString& commandLine, bool wait, bool waitWithoutLimit, int pollIntervalMs,
                qint64* pid = nullptr, int showMode = 0);

// Starts arguments[0] with the other arguments exactly as given (as bytes, like RunCommand),
// detached in a session of its own; false when it cannot be started. No length bound but the
// system's. pid receives the process id.
bool RunArguments(const QStringList& arguments, qint64* pid = nullptr);

// The desktop's "open" verb. Without parameters: a URL (http:, mailto:, ...) or a file or folder
// (relative to folder when given) goes to the desktop (xdg-open on the PATH, else Qt's desktop
// services), and nothing is waited for. A text with a scheme is a URL unless a file of that name
// exists, percent-encoded where a strict URL may not hold a character, never a local file; a file
// goes by its bytes. With parameters:
// "cmd.exe" or "command.exe" with "/K ping.exe X" or "/K tracert.exe X" opens a terminal ($TERMINAL,
// else x-terminal-emulator) running ping -c 4 X / traceroute X and staying open; other programs
// are started with the parameters split like a shell and folder as their working folder, waited
// for as RunCommand does when wait is asked. False when refused or not startable (also for other
// interpreter commands and for a target starting with '-', which ping would take as an option).
bool ShellRun(const QString& file, const QString& parameters, const QString& folder, int pollIntervalMs,
              int showMode, bool wait);

// The text as a URL for the desktop (as ShellRun gives one), percent-encoded where a strict URL
// may not hold a character; false when it starts with no scheme or is no URL even so. Never a
// local file.
bool OpenUrl(const QString& text);

// Ends the polling waits of RunCommand and ShellRun: the window sets it when it starts closing.
void SetProgramClosing(bool closing);
