#pragma once
// Decoding type of a followed file, found from its first three bytes.
#include <QByteArray>
#include <QString>

#include "source/source.h"

enum class TFileType : quint8 { Ansi = 0, UTF8 = 1, UNI = 2, UNIBIG = 3, RTF = 4, DOC = 5 };

// Markers tested from UTF8 to DOC, the first match wins; fewer than three bytes give Ansi.
TFileType DetectFileType(const QByteArray& firstBytes);
// "Ansi", "UTF8", "UNI", "UNIBIG", "RTF", "DOC"; any other value "?".
QString FileTypeLabel(TFileType type);
// Only UNI and UNIBIG are read as 16-bit units.
inline bool IsWideType(TFileType type) {
    return type == TFileType::UNI || type == TFileType::UNIBIG;
}

struct TypeProbe {
    bool opened = false; // false: the file could not be opened (error says why)
    QString error;
    qint64 bytesRead = 0; // fewer than 3: the type is provisional
    TFileType type = TFileType::Ansi;
};
// Opens the file as a pass does (FollowedFile), reads its first three bytes and closes it.
// cancel: a read that waits gives up soon after it is set (not opened, then).
TypeProbe ProbeFileType(const QString& fileName, SourceCancel cancel = nullptr);
