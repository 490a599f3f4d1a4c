#include "util/version_text.h"

#include <array>
#include <optional>

#include <QByteArrayView>
#include <QFile>

#include "kovra_version.h"

namespace {

#define KOVRA_STRINGIZE_(x) #x
#define KOVRA_STRINGIZE(x) KOVRA_STRINGIZE_(x)

// The record other processes find by scanning our file: marker prefix, four dotted numbers,
// closing \x01. [[gnu::used]] keeps it even though nothing reads it in this process.
[[gnu::used]] const char kVersionRecord[] =
    "\x01KOVRA-VERSION-RECORD:" KOVRA_STRINGIZE(KOVRA_VERSION_MAJOR) "." KOVRA_STRINGIZE(
        KOVRA_VERSION_MINOR) "." KOVRA_STRINGIZE(KOVRA_VERSION_PATCH) "." KOVRA_STRINGIZE(KOVRA_VERSION_TWEAK) "\x01";

constexpr QByteArrayView kRecordPrefix("\x01KOVRA-VERSION-RECORD:");

using VersionParts = std::array<unsigned, 4>;

// Four decimal numbers of at most 16 bits each, separated by '.', closed by \x01.
std::optional<VersionParts> ParseRecordBody(QByteArrayView body) {
    VersionParts parts{};
    qsizetype pos = 0;
    for (size_t part = 0; part < parts.size(); ++part) {
        const qsizetype start = pos;
        unsigned value = 0;
        while (pos < body.size() && pos - start < 5 && body[pos] >= '0' && body[pos] <= '9')
            value = value * 10 + static_cast<unsigned>(body[pos++] - '0');
        const char expected = part + 1 < parts.size() ? '.' : '\x01';
        if (pos == start || value > 0xFFFF || pos >= body.size() || body[pos] != expected)
            return std::nullopt;
        parts[part] = value;
        ++pos;
    }
    return parts;
}

// The searching code holds the prefix too (followed by no numbers), so every occurrence is tried.
std::optional<VersionParts> FindRecord(QByteArrayView data) {
    for (qsizetype at = data.indexOf(kRecordPrefix); at >= 0; at = data.indexOf(kRecordPrefix, at + 1)) {
        if (auto parts = ParseRecordBody(data.sliced(at + kRecordPrefix.size())))
            return parts;
    }
    return std::nullopt;
}

std::optional<VersionParts> ReadRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return std::nullopt;
    const uchar* mapped = file.map(0, file.size());
    if (!mapped)
        return FindRecord(file.readAll());
    return FindRecord(QByteArrayView(mapped, file.size()));
}

QString FormatVersion(const VersionParts& parts, bool withBuild, bool dottedBuild) {
    QString text = QStringLiteral("%1.%2.%3").arg(parts[0]).arg(parts[1]).arg(parts[2]);
    if (withBuild) {
        text +=
            dottedBuild ? QStringLiteral(".%1").arg(parts[3]) : QStringLiteral(" (build %1)").arg(parts[3]);
    }
    return text;
}

} // namespace

QString VersionText(const QString& executablePath, bool withBuild, bool dottedBuild) {
    const QString path = executablePath.trimmed();
    std::optional<VersionParts> parts;
    if (path.isEmpty())
        parts =
            VersionParts{KOVRA_VERSION_MAJOR, KOVRA_VERSION_MINOR, KOVRA_VERSION_PATCH, KOVRA_VERSION_TWEAK};
    else
        parts = ReadRecord(path);
    if (!parts)
        return QStringLiteral("?.?.?.?");
    return FormatVersion(*parts, withBuild, dottedBuild);
}
