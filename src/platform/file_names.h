#pragma once
// File names as the file system holds them: bytes, mostly but not always UTF-8. Qt reads a byte
// that is no part of valid UTF-8 as U+FFFD, and such a name no longer names the file. Here each
// such byte becomes a character of its own, U+F700 plus the byte (a private-use block), so that
// every name on disk has a text that gives its bytes back and survives the settings files. A name
// that really holds one of those characters has its UTF-8 bytes written the same way; a name
// without any of them is its ordinary text. Any thread.
#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QString>

class QFile;
class QUrl;

QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView name);

// A local file's name from a dropped URL, its bytes as they were, and back: the file: URL of a name.
QString FileNameFromUrl(const QUrl& url);
QUrl FileNameToUrl(const QString& absoluteName);
// A name whose undecodable bytes were turned into U+FFFD (by a file chooser, for one) made into
// the name of the file it stands for, found in its folder; unchanged when it names a file already
// or when no file or more than one matches.
QString RecoverFileName(const QString& name);

// QFile and the facts QFileInfo gives, for any name above. OpenFile answers false with the
// reason in *error.
bool OpenFile(QFile& file, const QString& name, QIODevice::OpenMode mode, QString* error = nullptr);
struct FileFacts {
    bool exists = false;
    bool isDir = false;
    bool isFile = false;
    qint64 size = 0;
    QDateTime lastModified;
};
FileFacts StatFile(const QString& name);
// Deletes the file; false when nothing was deleted.
bool RemoveFile(const QString& name);
