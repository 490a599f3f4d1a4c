#include "platform/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "store_test_util.h"

#include <sys/stat.h>

namespace {

using store_test::ReadBytes;
using store_test::WriteBytes;

const QString kFiles = QStringLiteral("\\Software\\Velmora\\Quorvel\\files");

ino_t Inode(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_ino;
}

class IniFileTest : public testing::Test {
protected:
    IniFile LoadFrom(const QByteArray& content) {
        WriteBytes(path_, content);
        IniFile ini(path_);
        EXPECT_TRUE(ini.Load());
        return ini;
    }
    IniFile Reloaded(const IniFile& ini) {
        QString error;
        EXPECT_TRUE(ini.Save(&error)) << error.toStdString();
        IniFile again(ini.FilePath());
        EXPECT_TRUE(again.Load(&error)) << error.toStdString();
        return again;
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath("kovra.ini");
};

TEST_F(IniFileTest, ValuesSurviveARoundTripVerbatim) {
    const QString values[] = {"",      "  padded  ",      R"(C:\logs\"x".log)", "Grüße – 日本語",
                              "a=b=c", "[not a section]", "ends in \\",         "\\n stays two characters"};
    IniFile ini(path_);
    for (int i = 0; i < int(std::size(values)); ++i)
        ini.WriteString(kFiles, QStringLiteral("Path%1").arg(i), values[i]);
    ini.WriteString("\\Software\\Velmora\\Quorvel\\filter", "Filter0", "error|warn");

    const IniFile loaded = Reloaded(ini);
    EXPECT_EQ(loaded.Sections(), QStringList({kFiles, "\\Software\\Velmora\\Quorvel\\filter"}));
    EXPECT_EQ(loaded.ValueNames(kFiles), ini.ValueNames(kFiles));
    for (int i = 0; i < int(std::size(values)); ++i)
        EXPECT_EQ(loaded.ReadString(kFiles, QStringLiteral("Path%1").arg(i), "missing"), values[i]) << i;
    EXPECT_EQ(loaded.ReadString("\\Software\\Velmora\\Quorvel\\filter", "Filter0"), "error|warn");
    const QByteArray file = ReadBytes(path_);
    EXPECT_TRUE(file.startsWith("[\\Software\\Velmora\\Quorvel\\files]\nPath0=\nPath1=  padded  \n"))
        << file.left(80).toStdString();
    EXPECT_TRUE(file.contains("\n\n[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=error|warn\n"));
}

TEST_F(IniFileTest, LineBreaksInAValueCannotForgeLines) {
    IniFile ini(path_);
    ini.WriteString(kFiles, "Path0", "a\r\n[evil]\nPath1=b");
    const IniFile loaded = Reloaded(ini);
    EXPECT_EQ(loaded.Sections(), QStringList{kFiles});
    EXPECT_EQ(loaded.ValueNames(kFiles), QStringList{"Path0"});
    EXPECT_EQ(loaded.ReadString(kFiles, "Path0"), "a  [evil] Path1=b");
}

TEST_F(IniFileTest, ReadsBomCrlfAndSkipsWhatItCannotPlace) {
    const IniFile ini = LoadFrom("\xEF\xBB\xBForphan=dropped\r\n"
                                 "[Files]\r\n"
                                 "  Name = value with spaces \r\n"
                                 "no equals sign\r\n"
                                 "name=second, ignored\r\n"
                                 "[a]b] trailing\r\n"
                                 "x=1\r\n"
                                 "[broken\r\n"
                                 "lost=1\r\n"
                                 "[FILES]\r\n"
                                 "Later=2");
    EXPECT_EQ(ini.Sections(), QStringList({"Files", "a]b"}));
    EXPECT_EQ(ini.ValueNames("files"), QStringList({"Name", "Later"}));
    EXPECT_EQ(ini.ReadString("FILES", "NAME"), " value with spaces ");
    EXPECT_EQ(ini.ReadString("files", "later"), "2");
    EXPECT_EQ(ini.ReadString("a]b", "x"), "1");
    EXPECT_FALSE(ini.ValueExists("files", "lost"));
    EXPECT_EQ(ini.ReadString("none", "x", "default"), "default");
}

TEST_F(IniFileTest, NamesIgnoreAsciiCaseAndEraseKeepsOtherSections) {
    IniFile ini(path_);
    ini.WriteString("One", "Key", "1");
    ini.WriteString("ONE", "KEY", "2");
    ini.WriteString("Two", "k", "t");
    ini.WriteString("Three", "k", "3");
    EXPECT_EQ(ini.ValueNames("one"), QStringList{"Key"});
    EXPECT_EQ(ini.ReadString("one", "key"), "2");
    ini.EraseSection("TWO");
    const IniFile loaded = Reloaded(ini);
    EXPECT_EQ(loaded.Sections(), QStringList({"One", "Three"}));
    EXPECT_EQ(loaded.ReadString("Three", "k"), "3");
    EXPECT_FALSE(loaded.SectionExists("Two"));
}

// The file is the user's too: damage outside what changes is kept as it is, byte for byte.
TEST_F(IniFileTest, DamagedFileLoadsWhatItCanAndASaveKeepsItsBytes) {
    for (const auto& [what, damage] : store_test::DamagedBlocks()) {
        SCOPED_TRACE(what);
        const QByteArray original = "[before]\na=1\n" + damage + "\n[after]\nb=2\n";
        IniFile ini = LoadFrom(original);
        EXPECT_EQ(ini.ReadString("before", "a"), "1");
        EXPECT_EQ(ini.ReadString("after", "b"), "2");
        Reloaded(ini);
        EXPECT_EQ(ReadBytes(path_), original);
        ini.WriteString("after", "b", "3");
        QByteArray expected = original;
        expected.replace(expected.lastIndexOf("b=2"), 3, "b=3");
        EXPECT_EQ(ReadBytes(Reloaded(ini).FilePath()), expected);
    }
}

TEST_F(IniFileTest, SaveChangesOnlyTheValuesThatChanged) {
    const QByteArray original = "; kept comment\r\n"
                                "[\\Software\\Velmora\\Quorvel\\files]\r\n"
                                "Pathdef=/home/J\xe9r\xf4me.log\r\n"
                                "Path0= spaced \r\n"
                                "\r\n"
                                "[Other tool]\r\n"
                                "# its comment\r\n"
                                "key = \xff raw \r\n"
                                "unparsed line\r\n"
                                "\r\n"
                                "[\\Software\\Velmora\\Quorvel\\filter]\r\n"
                                "Filter0=old\r\n";
    IniFile ini = LoadFrom(original);
    // A save of the list rewrites its whole section with the values it read.
    const QString pathdef = ini.ReadString(kFiles, "Pathdef");
    ini.EraseSection(kFiles);
    ini.WriteString(kFiles, "Pathdef", pathdef);
    ini.WriteString(kFiles, "Path0", " spaced ");
    const ino_t inode = Inode(path_);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Inode(path_), inode) << "the bytes it holds are not written again";
    ini.WriteString("\\Software\\Velmora\\Quorvel\\filter", "Filter0", "new");
    ini.WriteString("\\Software\\Velmora\\Quorvel\\filter", "Filter1", "added");
    ini.WriteString("New section", "n", "v");
    Reloaded(ini);
    QByteArray expected = original;
    expected.replace("Filter0=old\r\n", "Filter0=new\r\nFilter1=added\r\n\r\n[New section]\r\nn=v\r\n");
    EXPECT_EQ(ReadBytes(path_), expected);

    ini.EraseSection(kFiles);
    ini.WriteString(kFiles, "Pathdef", "/home/other.log");
    Reloaded(ini);
    EXPECT_TRUE(
        ReadBytes(path_).contains("[\\Software\\Velmora\\Quorvel\\files]\r\nPathdef=/home/other.log\r\n\r\n"
                                  "[Other tool]\r\n"));
}

TEST_F(IniFileTest, Utf16FileIsNeitherLoadedNorOverwritten) {
    const QString text = "[\\Software\\Velmora\\Quorvel\\files]\r\nPathdef=/var/log/syslog\r\n";
    QByteArray little("\xFF\xFE");
    QByteArray bareBig;
    for (const QChar c : text) {
        little += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
        bareBig += QByteArray(1, char(c.unicode() >> 8)) + char(c.unicode() & 0xFF);
    }
    for (const QByteArray& bytes : {little, bareBig}) {
        WriteBytes(path_, bytes);
        IniFile ini(path_);
        QString error;
        EXPECT_FALSE(ini.Load(&error));
        EXPECT_EQ(error, "Cannot read \"" + path_ + "\": not a UTF-8 text file");
        EXPECT_EQ(ReadBytes(path_), bytes);
    }
}

TEST_F(IniFileTest, TruncatedFileKeepsEveryCompleteSection) {
    IniFile full(path_);
    for (int i = 0; i < 6; ++i)
        full.WriteString(QStringLiteral("S%1").arg(i % 2), QStringLiteral("v%1").arg(i), "ü");
    ASSERT_TRUE(full.Save());
    const QByteArray bytes = ReadBytes(path_);
    for (qsizetype length = 0; length <= bytes.size(); ++length) {
        const QByteArray prefix = bytes.left(length);
        const IniFile ini = LoadFrom(prefix);
        for (int i = 0; i < 6; ++i) {
            const QString name = QStringLiteral("v%1").arg(i);
            const QString value = ini.ReadString(QStringLiteral("S%1").arg(i % 2), name, "missing");
            // Whole values read fully; a value whose name was cut is absent. A cut value is not checked.
            if (prefix.contains("\n" + name.toUtf8() + "=\xC3\xBC")) {
                EXPECT_EQ(value, "ü") << length;
            } else if (!prefix.contains("\n" + name.toUtf8() + "=")) {
                EXPECT_EQ(value, "missing") << length;
            }
        }
    }
}

TEST_F(IniFileTest, MissingFileIsEmptyAndFailuresAreReported) {
    IniFile ini(dir_.filePath("sub/dir/kovra.ini"));
    EXPECT_FALSE(ini.FileExists());
    EXPECT_TRUE(ini.Load());
    EXPECT_TRUE(ini.Sections().isEmpty());
    ini.WriteString("s", "n", "v");
    EXPECT_TRUE(ini.Save()) << "the folder is created";
    EXPECT_EQ(ReadBytes(ini.FilePath()), "[s]\nn=v\n") << "no empty line first";

    QString error;
    IniFile isFolder(dir_.path());
    EXPECT_FALSE(isFolder.Load(&error));
    EXPECT_FALSE(error.isEmpty());
    WriteBytes(dir_.filePath("file"), "x");
    for (const QString& path : {dir_.filePath("file/kovra.ini"), dir_.path()}) {
        error.clear();
        IniFile blocked(path);
        blocked.WriteString("s", "n", "v");
        EXPECT_FALSE(blocked.Save(&error)) << path.toStdString();
        EXPECT_TRUE(error.contains(path.section('/', 0, -2))) << error.toStdString();
    }
}

} // namespace
