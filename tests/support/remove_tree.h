#pragma once
// Removes a folder and everything in it by the names' bytes: QTemporaryDir's own removal reads the
// names through Qt's encoding and leaves behind what a test named with bytes that are not UTF-8.
#include <ftw.h>
#include <stdio.h>

#include <QFile>
#include <QString>

inline void RemoveTreeByBytes(const QString& folder) {
    const auto removeOne = [](const char* path, const struct stat*, int, struct FTW*) {
        return ::remove(path);
    };
    ::nftw(QFile::encodeName(folder).constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}
