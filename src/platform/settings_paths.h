#pragma once
// Where the settings files live and how they are written, shared by the registry-form store and
// the INI file. The folder is $XDG_CONFIG_HOME/kovra/ (default ~/.config/kovra/); tests point
// XDG_CONFIG_HOME at a temporary folder. Any thread; the functions hold no state.
#include <QByteArray>
#include <QString>
#include <QStringView>

// An XDG base folder: the variable's value when it is an absolute path (the rules say a relative one
// is invalid and must be ignored), else the home folder + belowHome ("/.config"). Cleaned, no
// trailing '/'.
QString XdgBaseFolder(const char* variable, const QString& belowHome);

// The settings folder with a trailing '/'. Not created here: writers create it when they save.
QString SettingsFolder();
QString RegistryFilePath();
QString IniFilePath();

// Creates the folder with all missing parents. true when it exists afterwards; otherwise false
// with the reason in *error (when error is not null).
bool EnsureFolder(const QString& path, QString* error);

enum class FileAccess { Normal, OwnerOnly };

// Replaces the file's content in one step (temporary file + rename), creating its folder. Readers
// and a crash at any moment see the old or the new content, never a mix. OwnerOnly files are mode
// 0600 and never readable by others, not even while being written. false with *error on failure.
bool WriteFileAtomically(const QString& filePath, const QByteArray& content, FileAccess access,
                         QString* error);

// The text of a settings file: UTF-8, a leading byte order mark dropped.
QString DecodeSettingsText(const QByteArray& bytes);

// Reads a whole settings file into *text. A missing file gives an empty text and true; false with
// *error when the file exists but cannot be read.
bool ReadSettingsText(const QString& filePath, QString* text, QString* error);

// Value, key and section names of both stores compare like this: only ASCII letters fold.
bool EqualsAsciiCaseInsensitive(QStringView a, QStringView b);
