#pragma once
// Key paths of the settings store. The INI file uses the same paths, leading backslash included,
// as section names.
#include <QString>

inline QString GlobalKeyPath() {
    return QStringLiteral("\\Software\\Velmora\\Quorvel\\global");
}
inline QString FilesKeyPath() {
    return QStringLiteral("\\Software\\Velmora\\Quorvel\\files");
}
inline QString FilterKeyPath() {
    return QStringLiteral("\\Software\\Velmora\\Quorvel\\filter");
}
inline QString AlarmKeyPath() {
    return QStringLiteral("\\Software\\Velmora\\Quorvel\\alarm");
}
inline QString HighlightKeyPath() {
    return QStringLiteral("\\Software\\Velmora\\Quorvel\\highlight");
}
