#pragma once
// The program's entry in the desktop's "Open with" menu, the Linux answer to a "Send to" shortcut:
// a desktop entry KOVRA.desktop in $XDG_DATA_HOME/applications/ (default ~/.local/share/...),
// the folder file managers read. Any thread; the functions hold no state.
#include <QString>

// The entry's full path. Not created here.
QString SendToEntryPath();

// The entry's text: Exec= the program path (quoted and escaped as desktop entries require), then
// " /start" when addStart, then " %f" (the file handed over); Path= the program's folder.
QString SendToEntryText(const QString& programPath, bool addStart);

// Writes the entry (creating its folder) unless a file already exists at entryPath: an existing
// entry is kept as it is, whatever its arguments. true when the entry exists afterwards.
bool CreateSendToEntry(const QString& entryPath, const QString& programPath, bool addStart);
