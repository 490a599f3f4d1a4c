#include "platform/file_names.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

constexpr char16_t kEscapeBase = 0xF700;
constexpr char32_t kFirstEscape = 0xF780; // bytes 0x80..0xFF; ASCII is always valid
constexpr char32_t kLastEscape = 0xF7FF;

bool IsEscape(char32_t c) {
    return c >= kFirstEscape && c <= kLastEscape;
}

bool Continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The code point of the valid UTF-8 sequence at bytes[i], its length in *length; 0 when invalid
// (overlong forms, surrogates and values past U+10FFFF included).
char32_t ValidSequence(QByteArrayView bytes, qsizetype i, int* length) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int count = 0;
    char32_t c = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        *length = 1;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 1, c = lead & 0x1F, lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 2, c = lead & 0x0F, lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 3, c = lead & 0x07, lowest = 0x10000;
    } else {
        return 0;
    }
    if (i + count >= bytes.size())
        return 0;
    for (int k = 1; k <= count; ++k) {
        if (!Continuation(at(i + k)))
            return 0;
        c = (c << 6) | (at(i + k) & 0x3F);
    }
    if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *length = count + 1;
    return c;
}

bool HoldsEscapes(QStringView name) {
    for (QChar c : name) {
        if (IsEscape(c.unicode()))
            return true;
    }
    return false;
}

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The one entry of folder whose name Qt reads as component, as its bytes; empty unless exactly one.
QByteArray MatchingEntry(const QByteArray& folder, const QString& component) {
    DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QFile::decodeName(entry->d_name) == component) {
            found = entry->d_name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : QByteArray();
}

} // namespace

QString DecodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        int length = 0;
        const char32_t c = ValidSequence(bytes, i, &length);
        if (c != 0 && !IsEscape(c)) {
            name += QString::fromUcs4(&c, 1);
            i += length;
            continue;
        }
        // A byte of no valid sequence, or one of a name that holds an escape character itself.
        const int escaped = c != 0 ? length : 1;
        for (int k = 0; k < escaped; ++k)
            name += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i + k])));
        i += escaped;
    }
    return name;
}

QByteArray EncodeFileName(QStringView name) {
    if (!HoldsEscapes(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (!IsEscape(c))
            continue;
        bytes += name.mid(plainStart, i - plainStart).toUtf8();
        bytes += char(c - kEscapeBase);
        plainStart = i + 1;
    }
    bytes += name.mid(plainStart).toUtf8();
    return bytes;
}

QString FileNameFromUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return url.toString();
    return DecodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QUrl FileNameToUrl(const QString& absoluteName) {
    if (!HoldsEscapes(absoluteName))
        return QUrl::fromLocalFile(absoluteName);
    return QUrl::fromEncoded("file://" + EncodeFileName(absoluteName).toPercentEncoding("/"));
}

QString RecoverFileName(const QString& name) {
    if (!name.contains(QChar::ReplacementCharacter) || QFileInfo::exists(name))
        return name;
    QString recovered;
    const QStringList components = name.split(u'/');
    for (qsizetype i = 0; i < components.size(); ++i) {
        QString component = components[i];
        if (component.contains(QChar::ReplacementCharacter)) {
            const QByteArray entry = MatchingEntry(EncodeFileName(recovered), component);
            if (entry.isEmpty())
                return name;
            component = DecodeFileName(entry);
        }
        recovered += (i > 0 ? QStringLiteral("/") : QString()) + component;
    }
    return recovered;
}

bool OpenFile(QFile& file, const QString& name, QIODevice::OpenMode mode, QString* error) {
    bool ok = false;
    if (!HoldsEscapes(name)) {
        file.setFileName(name);
        ok = file.open(mode);
        if (!ok && error)
            *error = file.errorString();
        return ok;
    }
    // Qt's own file classes would write the escapes as UTF-8: open by the bytes.
    int flags = O_CLOEXEC | ((mode & QIODevice::Truncate) ? O_TRUNC : 0);
    flags |= (mode & QIODevice::ReadWrite) == QIODevice::ReadWrite ? O_RDWR
             : (mode & QIODevice::WriteOnly)                       ? O_WRONLY
                                                                   : O_RDONLY;
    const int fd = ::open(EncodeFileName(name).constData(), flags);
    if (fd < 0) {
        if (error)
            *error = ErrorText(errno);
        return false;
    }
    ok = file.open(fd, mode, QFileDevice::AutoCloseHandle);
    if (!ok) {
        ::close(fd);
        if (error)
            *error = file.errorString();
    }
    return ok;
}

FileFacts StatFile(const QString& name) {
    FileFacts facts;
    if (!HoldsEscapes(name)) {
        const QFileInfo info(name);
        facts.exists = info.exists();
        facts.isDir = info.isDir();
        facts.isFile = info.isFile();
        facts.size = info.size();
        facts.lastModified = info.lastModified();
        return facts;
    }
    struct stat status = {};
    if (::stat(EncodeFileName(name).constData(), &status) != 0)
        return facts;
    facts.exists = true;
    facts.isDir = S_ISDIR(status.st_mode);
    facts.isFile = S_ISREG(status.st_mode);
    facts.size = status.st_size;
    facts.lastModified =
        QDateTime::fromSecsSinceEpoch(status.st_mtim.tv_sec).addMSecs(status.st_mtim.tv_nsec / 1000000);
    return facts;
}

bool RemoveFile(const QString& name) {
    return HoldsEscapes(name) ? ::unlink(EncodeFileName(name).constData()) == 0 : QFile::remove(name);
}
