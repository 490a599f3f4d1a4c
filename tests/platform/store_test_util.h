#pragma once
// Helpers shared by the store tests and the store_writer helper program.
//
// A "version" is what one save of the crash tests writes: every value carries its writer and round,
// so a file that mixes two saves, or holds part of one, is told apart from a complete version.
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include "platform/ini_file.h"
#include "platform/registry_store.h"

namespace store_test {

// The two settings files: the store_writer argument that names the kind, and the file's name.
struct Kind {
    const char* arg;
    const char* fileName;
};
inline const Kind kKinds[] = {{"reg", "registry.reg"}, {"ini", "kovra.ini"}};

inline const QString kSection = QStringLiteral("\\Software\\Velmora\\Quorvel\\global");
inline constexpr int kValueCount = 40;

struct Version {
    quint32 writer = 0;
    quint32 round = 0;
};

inline QString ValueName(int i) {
    return QStringLiteral("value%1").arg(i);
}

// About 5 KB a version: more than one page to write.
inline QString ValueText(Version v, int i) {
    return QStringLiteral("w%1 r%2 v%3 \"Grüße\" \\ ").arg(v.writer).arg(v.round).arg(i).repeated(4);
}

inline void WriteVersion(RegistryStore& store, Version v) {
    RegistryKey& key = store.OpenOrCreateKey(kSection);
    key.WriteInteger(QStringLiteral("writer"), v.writer);
    key.WriteInteger(QStringLiteral("round"), v.round);
    for (int i = 0; i < kValueCount; ++i)
        key.WriteString(ValueName(i), ValueText(v, i));
}

inline void WriteVersion(IniFile& ini, Version v) {
    ini.WriteString(kSection, QStringLiteral("writer"), QString::number(v.writer));
    ini.WriteString(kSection, QStringLiteral("round"), QString::number(v.round));
    for (int i = 0; i < kValueCount; ++i)
        ini.WriteString(kSection, ValueName(i), ValueText(v, i));
}

// The complete version the store holds; nullopt with *why when it holds none or a mix.
inline std::optional<Version> ReadVersion(const RegistryStore& store, QString* why) {
    const RegistryKey* key = store.OpenKeyReadOnly(kSection);
    const auto writer = key ? key->ReadInteger(QStringLiteral("writer")) : std::nullopt;
    const auto round = key ? key->ReadInteger(QStringLiteral("round")) : std::nullopt;
    if (!writer || !round) {
        *why = QStringLiteral("no writer or round");
        return std::nullopt;
    }
    const Version v{*writer, *round};
    for (int i = 0; i < kValueCount; ++i) {
        if (key->ReadString(ValueName(i)) != ValueText(v, i)) {
            *why = QStringLiteral("%1 is not of writer %2 round %3")
                       .arg(ValueName(i))
                       .arg(v.writer)
                       .arg(v.round);
            return std::nullopt;
        }
    }
    return v;
}

inline std::optional<Version> ReadVersion(const IniFile& ini, QString* why) {
    bool writerOk = false;
    bool roundOk = false;
    const Version v{ini.ReadString(kSection, QStringLiteral("writer")).toUInt(&writerOk),
                    ini.ReadString(kSection, QStringLiteral("round")).toUInt(&roundOk)};
    if (!writerOk || !roundOk) {
        *why = QStringLiteral("no writer or round");
        return std::nullopt;
    }
    for (int i = 0; i < kValueCount; ++i) {
        if (ini.ReadString(kSection, ValueName(i)) != ValueText(v, i)) {
            *why = QStringLiteral("%1 is not of writer %2 round %3")
                       .arg(ValueName(i))
                       .arg(v.writer)
                       .arg(v.round);
            return std::nullopt;
        }
    }
    return v;
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Damage a settings file may carry: random bytes rich in the syntax characters, NUL bytes
// (a file whose blocks were never written), and one 1 MB line.
inline std::vector<std::pair<const char*, QByteArray>> DamagedBlocks() {
    static const char* const tokens[] = {"\"",           "=",    "[",      "]",    "\\",
                                         "\n",           "\r\n", "dword:", "hex:", "HKEY_CURRENT_USER\\",
                                         "\xEF\xBB\xBF", "\xFF", "\xC3"};
    QRandomGenerator random(20240611);
    QByteArray noise;
    while (noise.size() < 64 * 1024) {
        if (random.bounded(2))
            noise += tokens[random.bounded(int(std::size(tokens)))];
        else
            noise += char(random.bounded(256));
    }
    return {
        {"random bytes", noise},
        {"NUL bytes", QByteArray(4096, '\0') + QByteArrayLiteral("\"x\0y\"=\0\n") + QByteArray(100, '\0')},
        {"1 MB line", "\"long\"=\"" + QByteArray(1 << 20, 'a') + "\n" + QByteArray(1 << 20, '=') + "\n"}};
}

} // namespace store_test
