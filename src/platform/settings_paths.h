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

// The largest settings file read: anything bigger is not a settings file of ours (a link to a
// device, a runaway log written over it) and is refused rather than read into memory.
inline constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;

// Replaces the file's content in one step: a temporary file beside it is written, flushed to the
// disk and checked at every step before it is renamed over the file, so a full disk or a failing
// write leaves the old content in place (and no temporary file). Readers and a crash at any
// moment see the old or the new content, never a mix. A link is followed to the regular file it
// names; anything else that is not a regular file is refused. OwnerOnly files are mode 0600 from
// their creation on; Normal files keep the mode of the file they replace. false with *error.
bool WriteFileAtomically(const QString& filePath, const QByteArray& content, FileAccess access,
                         QString* error);

// Reads a whole settings file's bytes, never blocking: only a regular file of at most
// kMaxSettingsFileBytes is read (a FIFO, a device or a folder is refused without being opened),
// and only when its bytes are UTF-8 text. A UTF-16 file (by its byte order mark, or by every
// other byte being zero) is refused, so that it is never overwritten by what little could be made
// of it; stray bytes that are not UTF-8 are accepted. A missing file gives empty bytes and true;
// false with *error when the file exists but cannot be read.
bool ReadSettingsBytes(const QString& filePath, QByteArray* bytes, QString* error);

// The text of a settings file: UTF-8, a leading byte order mark dropped.
QString DecodeSettingsText(const QByteArray& bytes);

// ReadSettingsBytes, decoded.
bool ReadSettingsText(const QString& filePath, QString* text, QString* error);

// Value, key and section names of both stores compare like this: only ASCII letters fold.
bool EqualsAsciiCaseInsensitive(QStringView a, QStringView b);
// The name with its ASCII letters in lower case: the key under which both stores index names.
QString FoldAsciiCase(QStringView name);
