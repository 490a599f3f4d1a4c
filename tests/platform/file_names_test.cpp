// File names as bytes: every name on disk has a text that gives its bytes back, and such a name
// opens, stats, comes from a dropped URL and is found again after a chooser turned it into U+FFFD.
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/file_names.h"

namespace {

TEST(FileNames, EveryByteStringComesBackAndUtf8StaysPlainText) {
    std::vector<QByteArray> names = {
        "plain.log",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80.log", // valid UTF-8: 2, 3 and 4 bytes
        "\xc0\xaf",                                      // an overlong slash
        "\xed\xa0\x80",                                  // a surrogate's encoding
        "ab\xe2\x82",                                    // a sequence cut short at the end
        "\xf8\x88\x80\x80\x80",                          // a five-byte form
        "x\xef\x9f\xa9y",                                // a name that holds U+F7E9, an escape character
        "\x80\xc3",
    };
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        names.push_back(QByteArray("r") + char(byte) + ".log");
    for (const QByteArray& bytes : names) {
        const QString name = DecodeFileName(bytes);
        EXPECT_EQ(EncodeFileName(name), bytes) << bytes.toHex().toStdString();
    }
    EXPECT_EQ(DecodeFileName(names[1]), QString::fromUtf8(names[1]));
    EXPECT_EQ(DecodeFileName("r\xe9.log").size(), 6) << "one character per undecodable byte";
    EXPECT_FALSE(DecodeFileName("r\xe9.log").contains(QChar::ReplacementCharacter));
}

TEST(FileNames, ANameThatIsNoUtf8OpensStatsAndIsFoundAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray raw = folder + "/r\xe9sum\xe9.log";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "one\ntwo\n", 8), 8);
    ::close(fd);
    const QString name = DecodeFileName(raw);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(raw))) << "Qt's own reading of the name misses the file";

    const FileFacts facts = StatFile(name);
    EXPECT_TRUE(facts.exists && facts.isFile && !facts.isDir);
    EXPECT_EQ(facts.size, 8);
    EXPECT_TRUE(facts.lastModified.isValid());
    QFile file;
    ASSERT_TRUE(OpenFile(file, name, QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("one\ntwo\n"));
    QString error;
    QFile missing;
    EXPECT_FALSE(OpenFile(missing, DecodeFileName(folder + "/gone\xe9"), QIODevice::ReadOnly, &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOENT)));

    EXPECT_EQ(
        FileNameFromUrl(QUrl::fromEncoded("file://" + folder.toPercentEncoding("/") + "/r%E9sum%E9.log")),
        name);
    EXPECT_EQ(RecoverFileName(QFile::decodeName(raw)), name);
    const QString plain = dir.filePath(QStringLiteral("plain.log"));
    EXPECT_EQ(RecoverFileName(plain), plain) << "names Qt reads well are left alone";
}

} // namespace
