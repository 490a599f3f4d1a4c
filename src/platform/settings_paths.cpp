#include "platform/settings_paths.h"

#include <QFile>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// QSaveFile gives its temporary file the target's mode, or 0666 less the umask when the target is
// missing. Where the file system has no unnamed temporary files, that file has a name for a
// moment, and another user who opens it then keeps reading what follows. Making the target exist
// with mode 0600 first keeps the temporary file private from its creation on. No O_TRUNC: the old
// content stays until the rename.
bool MakeTargetOwnerOnly(const QString& filePath, QString* error) {
    const QByteArray name = QFile::encodeName(filePath);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return Fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(filePath, qt_error_string(errno)));
    const bool changed = ::fchmod(fd, 0600) == 0;
    const int chmodError = errno;
    ::close(fd);
    if (!changed)
        return Fail(error,
                    QStringLiteral("Cannot protect \"%1\": %2").arg(filePath, qt_error_string(chmodError)));
    return true;
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
    if (access == FileAccess::OwnerOnly && !MakeTargetOwnerOnly(filePath, error))
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(filePath, file.errorString()));
    if (access == FileAccess::OwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return Fail(error, QStringLiteral("Cannot protect \"%1\": %2").arg(filePath, file.errorString()));
    if (file.write(content) != content.size() || !file.commit())
        return Fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(filePath, file.errorString()));
    return true;
}

QString DecodeSettingsText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

bool ReadSettingsText(const QString& filePath, QString* text, QString* error) {
    text->clear();
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return true;
        if (error)
            *error = QStringLiteral("Cannot read \"%1\": %2").arg(filePath, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\": %2").arg(filePath, file.errorString());
        return false;
    }
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
