#pragma once
// The desktop's default application for plain text, which answers "notepad <file>" when no
// notepad is installed: the desktop entry that `xdg-mime query default text/plain` names, started
// with the file as one argument in place of its file field code; without one, xdg-open; without
// that, the desktop services. Never through a shell. Window thread (waits up to a few seconds for
// xdg-mime).
#include <QString>
#include <QStringList>

// The program and arguments of a desktop entry's Exec value (general escapes already decoded) for
// one file: quoted words as the desktop entry format quotes them, %f %F %u %U replaced by the file
// as one argument (the file appended when there is none), %% by "%", other field codes dropped.
// Empty when the value holds no program.
QStringList DesktopExecArguments(const QString& execValue, const QString& file);

// absoluteFile is opened in the default text editor; false when nothing could be started.
bool OpenInTextEditor(const QString& absoluteFile);
