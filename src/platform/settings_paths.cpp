#include "platform/settings_paths.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

bool CannotWrite(QString* error, const QString& path, const QString& reason) {
    return Fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason));
}

bool CannotRead(QString* error, const QString& path, const QString& reason) {
    return Fail(error, QStringLiteral("Cannot read \"%1\": %2").arg(path, reason));
}

QString NotRegular() {
    return QStringLiteral("not a regular file");
}

char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// UTF-16 by its byte order mark, or by its first characters: every other byte zero, the others
// not (a block of zeros left by a crash is damage, not another encoding).
bool IsSettingsText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    const qsizetype probe = std::min<qsizetype>(bytes.size(), 256) & ~qsizetype(1);
    if (probe < 4)
        return true;
    int zeroEven = 0;
    int zeroOdd = 0;
    for (qsizetype i = 0; i < probe; i += 2) {
        zeroEven += bytes[i] == '\0';
        zeroOdd += bytes[i + 1] == '\0';
    }
    const int pairs = int(probe / 2);
    return !((zeroOdd == pairs && zeroEven == 0) || (zeroEven == pairs && zeroOdd == 0));
}

// Closes the descriptor on every way out.
class Descriptor final {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now; the result of close() counts (a network file system reports write errors there).
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// The regular file a save replaces: the path itself, or the regular file a link names. A missing
// file is created; a folder, a FIFO, a device or a dangling link is refused.
bool WriteTarget(const QString& filePath, QString* target, struct stat* existing, bool* exists,
                 QString* error) {
    *target = filePath;
    *exists = false;
    struct stat link {};
    if (::lstat(QFile::encodeName(filePath).constData(), &link) != 0) {
        if (errno == ENOENT)
            return true;
        return CannotWrite(error, filePath, qt_error_string(errno));
    }
    if (S_ISLNK(link.st_mode))
        *target = QFileInfo(filePath).canonicalFilePath();
    if (target->isEmpty() || ::stat(QFile::encodeName(*target).constData(), existing) != 0 ||
        !S_ISREG(existing->st_mode))
        return CannotWrite(error, filePath, NotRegular());
    *exists = true;
    return true;
}

// Every byte, or false with errno set. A write that makes no progress counts as a full disk.
bool WriteAll(int fd, const QByteArray& content) {
    const char* data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// A new, empty temporary file beside the target, created with the mode the result must have.
int CreateTemporary(const QString& target, FileAccess access, const struct stat* existing,
                    QString* tempPath) {
    const QFileInfo info(target);
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600
                        : existing                      ? (existing->st_mode & 07777)
                                                        : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tempPath =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(*tempPath).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) {
            // The umask narrowed a kept mode: give the replacement the mode the old file had.
            if (fd >= 0 && existing && access == FileAccess::Normal)
                ::fchmod(fd, mode);
            return fd;
        }
    }
    return -1;
}

// The rename is on the disk once the folder is: a crash right after it keeps the new file.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString XdgBaseFolder(const char* variable, const QString& belowHome) {
    const QString base = qEnvironmentVariable(variable);
    return QDir::cleanPath(base.isEmpty() || QDir::isRelativePath(base) ? QDir::homePath() + belowHome
                                                                        : base);
}

QString SettingsFolder() {
    QString base = XdgBaseFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    if (!base.endsWith(u'/'))
        base += u'/';
    return base + QStringLiteral("kovra/");
}

QString RegistryFilePath() {
    return SettingsFolder() + QStringLiteral("registry.reg");
}

QString IniFilePath() {
    return SettingsFolder() + QStringLiteral("kovra.ini");
}

bool EnsureFolder(const QString& path, QString* error) {
    std::error_code code;
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    std::filesystem::create_directories(folder, code);
    if (!code && std::filesystem::is_directory(folder, code))
        return true;
    const QString reason = code ? QString::fromLocal8Bit(code.message()) : QStringLiteral("not a folder");
    return Fail(error, QStringLiteral("Cannot create folder \"%1\": %2").arg(path, reason));
}

bool WriteFileAtomically(const QString& filePath, const QByteArray& content, FileAccess access,
                         QString* error) {
    if (!EnsureFolder(QFileInfo(filePath).absolutePath(), error))
        return false;
    QString target;
    struct stat existing {};
    bool exists = false;
    if (!WriteTarget(filePath, &target, &existing, &exists, error))
        return false;
    QString tempPath;
    Descriptor file(CreateTemporary(target, access, exists ? &existing : nullptr, &tempPath));
    if (file.Get() < 0)
        return CannotWrite(error, filePath, qt_error_string(errno));
    const bool written = WriteAll(file.Get(), content) && ::fsync(file.Get()) == 0;
    const int writeError = errno;
    const bool closed = file.Close();
    const int closeError = errno;
    const QByteArray temp = QFile::encodeName(tempPath);
    if (!written || !closed) {
        ::unlink(temp.constData());
        return CannotWrite(error, filePath, qt_error_string(written ? closeError : writeError));
    }
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0) {
        const int renameError = errno;
        ::unlink(temp.constData());
        return CannotWrite(error, filePath, qt_error_string(renameError));
    }
    SyncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool ReadSettingsBytes(const QString& filePath, QByteArray* bytes, QString* error) {
    bytes->clear();
    const QByteArray native = QFile::encodeName(filePath);
    // Looked at before it is opened: a FIFO would block the open, a device could answer forever.
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? true
                                                   : CannotRead(error, filePath, qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return CannotRead(error, filePath, NotRegular());
    const QString tooLarge =
        QStringLiteral("the file is larger than %1 MiB").arg(kMaxSettingsFileBytes >> 20);
    if (info.st_size > kMaxSettingsFileBytes)
        return CannotRead(error, filePath, tooLarge);
    // Non-blocking and checked again: the name may have been replaced since.
    Descriptor file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return errno == ENOENT ? true : CannotRead(error, filePath, qt_error_string(errno));
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return CannotRead(error, filePath, NotRegular());
    // The file may grow while it is read: the bound holds for what is read, not for the size seen.
    bytes->resize(qsizetype(std::min<qint64>(info.st_size, kMaxSettingsFileBytes)) + 1);
    qint64 total = 0;
    QString failure;
    while (failure.isEmpty()) {
        if (total == bytes->size()) {
            if (total > kMaxSettingsFileBytes) {
                failure = tooLarge;
                break;
            }
            bytes->resize(std::min<qsizetype>(bytes->size() * 2, kMaxSettingsFileBytes + 1));
        }
        const ssize_t got = ::read(file.Get(), bytes->data() + total, size_t(bytes->size() - total));
        if (got < 0 && errno != EINTR)
            failure = qt_error_string(errno);
        if (got == 0)
            break;
        total += std::max<ssize_t>(got, 0);
    }
    if (failure.isEmpty() && !IsSettingsText(bytes->left(total)))
        failure = QStringLiteral("not a UTF-8 text file");
    bytes->truncate(failure.isEmpty() ? total : 0);
    return failure.isEmpty() || CannotRead(error, filePath, failure);
}

QString DecodeSettingsText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

bool ReadSettingsText(const QString& filePath, QString* text, QString* error) {
    text->clear();
    QByteArray bytes;
    if (!ReadSettingsBytes(filePath, &bytes, error))
        return false;
    *text = DecodeSettingsText(bytes);
    return true;
}

bool EqualsAsciiCaseInsensitive(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i].unicode()) != AsciiLower(b[i].unicode()))
            return false;
    }
    return true;
}

QString FoldAsciiCase(QStringView name) {
    QString folded = name.toString();
    for (QChar& c : folded)
        c = QChar(AsciiLower(c.unicode()));
    return folded;
}
