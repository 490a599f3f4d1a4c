#include "recording_programs.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "platform/file_names.h"
#include "window_parts/wait_until.h"

RecordingPrograms::RecordingPrograms(const QString& folder) : folder_(folder) {
    EXPECT_TRUE(QDir().mkpath(folder));
}

QString RecordingPrograms::Path(const QString& file) const {
    return QDir(folder_).filePath(file);
}

QString RecordingPrograms::Recorder(const QString& name) const {
    const QString base = Path(name);
    return Script(name, QStringLiteral("printf '%s\\0' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1.args'\n"
                                       "echo called >> '%1.calls'\n")
                            .arg(base));
}

QString RecordingPrograms::Script(const QString& name, const QString& body) const {
    const QString path = Path(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write("#!/bin/sh\n" + body.toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

int RecordingPrograms::Calls(const QString& name) const {
    QFile file(Path(name + QStringLiteral(".calls")));
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

QStringList RecordingPrograms::LastArguments(const QString& name) const {
    QFile file(Path(name + QStringLiteral(".args")));
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<never called>")};
    QStringList args;
    for (const QByteArray& arg : file.readAll().split('\0'))
        args << DecodeFileName(arg); // the bytes as the window holds names
    args.removeLast();               // after the last NUL
    return args;
}

bool RecordingPrograms::WaitCalls(const QString& name, int count) const {
    return WaitUntil([&] { return Calls(name) >= count; }, 20000);
}
