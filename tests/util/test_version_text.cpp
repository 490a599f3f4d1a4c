#include "util/version_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "kovra_version.h"

namespace {

// Assembled at run time: a complete record written as a literal here would be baked into this
// test program and found when it reads its own file.
QByteArray Record(const char* body, const char* end = "\x01") {
    return QByteArray("\x01KOVRA-VERSION-RECORD:") + body + end;
}

// A stand-in executable: arbitrary bytes around the record.
QString WriteFakeExecutable(const QTemporaryDir& dir, const QString& name, const QByteArray& record) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3000, '\0') + record + QByteArray(500, 'x'));
    return path;
}

TEST(VersionText, ReadsTheRecordOfAnotherExecutableInEachForm) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A bare prefix first, as in the binary of the reading code itself.
    const QString path =
        WriteFakeExecutable(dir, QStringLiteral("tool"), Record("", "") + '\0' + Record("3.12.0.45"));
    EXPECT_EQ(VersionText(path, false, false), QStringLiteral("3.12.0"));
    EXPECT_EQ(VersionText(path, false, true), QStringLiteral("3.12.0"));
    EXPECT_EQ(VersionText(path, true, false), QStringLiteral("3.12.0 (build 45)"));
    EXPECT_EQ(VersionText(QStringLiteral(" ") + path + QStringLiteral(" "), true, true),
              QStringLiteral("3.12.0.45"));
}

TEST(VersionText, MissingOrMalformedRecordStaysUnknownWhateverTheFlags) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList paths{QStringLiteral("/bin/sh"), dir.filePath(QStringLiteral("missing")), dir.path()};
    const QByteArray malformed[] = {Record("1.2.3"), Record("1.2.3.70000"), Record("1.2.3.4", ""),
                                    Record("1..3.4"), Record("1.2.3.4", ".5\x01")};
    for (const QByteArray& record : malformed)
        paths << WriteFakeExecutable(dir, QString::number(paths.size()), record);
    for (const QString& path : paths) {
        for (int flags = 0; flags < 4; ++flags)
            EXPECT_EQ(VersionText(path, flags & 1, flags & 2), QStringLiteral("?.?.?.?"))
                << path.toStdString();
    }
}

TEST(VersionText, ThisProgramAndItsBinaryCarryTheProjectVersion) {
    const QString expected = QStringLiteral("%1.%2.%3 (build %4)")
                                 .arg(KOVRA_VERSION_MAJOR)
                                 .arg(KOVRA_VERSION_MINOR)
                                 .arg(KOVRA_VERSION_PATCH)
                                 .arg(KOVRA_VERSION_TWEAK);
    EXPECT_EQ(VersionText(QString(), true, false), expected);
    EXPECT_EQ(VersionText(QStringLiteral("   "), true, true), QStringLiteral(KOVRA_VERSION_STRING));
    // This test program links the record in, as the kovra binary does.
    EXPECT_EQ(VersionText(QCoreApplication::applicationFilePath(), true, false), expected);
}

} // namespace
