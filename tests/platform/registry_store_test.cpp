#include "platform/registry_store.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "store_test_util.h"

namespace {

using store_test::ReadBytes;
using store_test::WriteBytes;

const QString kKey = QStringLiteral("\\Software\\Velmora\\Quorvel\\global");

class RegistryStoreTest : public testing::Test {
protected:
    // A store loaded from the given file content.
    RegistryStore LoadFrom(const QByteArray& content) {
        WriteBytes(path_, content);
        RegistryStore store(path_);
        EXPECT_TRUE(store.Load());
        return store;
    }
    RegistryStore Reloaded(const RegistryStore& store) {
        QString error;
        EXPECT_TRUE(store.Save(&error)) << error.toStdString();
        RegistryStore again(store.FilePath());
        EXPECT_TRUE(again.Load(&error)) << error.toStdString();
        return again;
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath("registry.reg");
};

TEST_F(RegistryStoreTest, EveryValueTypeSurvivesARoundTrip) {
    const QString texts[] = {"",
                             "plain",
                             R"(C:\logs\"x".log)",
                             "Grüße – 日本語",
                             "line1\nline2\r\n",
                             "ends in \\",
                             "\\n is not a newline"};
    const quint32 numbers[] = {0, 1, 42, 0xFFFFFFFF};
    RegistryStore store(path_);
    RegistryKey& key = store.OpenOrCreateKey(kKey);
    for (int i = 0; i < int(std::size(texts)); ++i)
        key.WriteString(QStringLiteral("text%1").arg(i), texts[i]);
    for (int i = 0; i < int(std::size(numbers)); ++i)
        key.WriteInteger(QStringLiteral("number%1").arg(i), numbers[i]);
    key.WriteRaw("binary", "hex:01,02");
    key.WriteString(R"(odd "name" \ here)", "v");
    store.OpenOrCreateKey("\\Software\\Other");

    const RegistryStore loaded = Reloaded(store);
    EXPECT_EQ(loaded.KeyPaths(), QStringList({kKey, "\\Software\\Other"}));
    const RegistryKey* read = loaded.OpenKeyReadOnly(kKey);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->ValueNames(), key.ValueNames());
    for (int i = 0; i < int(std::size(texts)); ++i)
        EXPECT_EQ(read->ReadString(QStringLiteral("text%1").arg(i)), texts[i]) << i;
    for (int i = 0; i < int(std::size(numbers)); ++i)
        EXPECT_EQ(read->ReadInteger(QStringLiteral("number%1").arg(i)), numbers[i]) << i;
    EXPECT_EQ(read->ReadString(R"(odd "name" \ here)"), "v");
    EXPECT_EQ(read->ValueType("binary"), RegValueType::Other);

    // The export form other tools read.
    const QString file = QString::fromUtf8(ReadBytes(path_));
    EXPECT_TRUE(file.startsWith("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Quorvel\\global]\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("\n\"number2\"=dword:0000002a\n"));
    EXPECT_TRUE(file.contains("\n\"text2\"=\"C:\\\\logs\\\\\\\"x\\\".log\"\n"));
    EXPECT_TRUE(file.contains("\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"));
}

TEST_F(RegistryStoreTest, ReadsEachValueFormOrSkipsTheLine) {
    const struct {
        const char* data;
        RegValueType type;
        quint32 number;
        QString text;
    } cases[] = {
        {"dword:2A", RegValueType::Dword, 42, {}},
        {"DWORD:0", RegValueType::Dword, 0, {}},
        {"dword:FFFFFFFF", RegValueType::Dword, 0xFFFFFFFF, {}},
        {"dword:123456789", RegValueType::Other, 0, "dword:123456789"},
        {"dword:0x2a", RegValueType::Other, 0, "dword:0x2a"},
        {"hex:01,02", RegValueType::Other, 0, "hex:01,02"},
        {"hex(7):41,00,00,00", RegValueType::Other, 0, "hex(7):41,00,00,00"},
        {R"("a\"b\\c")", RegValueType::String, 0, R"(a"b\c)"},
        {R"("tab	and trailing space "  )", RegValueType::String, 0, "tab\tand trailing space "},
        {R"("unterminated)", RegValueType::None, 0, {}},
        {R"("x"junk)", RegValueType::None, 0, {}},
        {"hex:01,02,\\", RegValueType::None, 0, {}},
        {"", RegValueType::None, 0, {}},
        {"hex:\x01", RegValueType::None, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        const RegistryStore store = LoadFrom(QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER") + kKey.toUtf8() +
                                             "]\n\"v\"=" + c.data + "\n\"after\"=dword:7\n");
        const RegistryKey* key = store.OpenKeyReadOnly(kKey);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->ValueType("v"), c.type);
        EXPECT_EQ(key->ReadInteger("after"), 7u) << "the next line is read";
        if (c.type == RegValueType::Dword) {
            EXPECT_EQ(key->ReadInteger("v"), c.number);
        }
        if (c.type == RegValueType::String) {
            EXPECT_EQ(key->ReadString("v"), c.text);
        }
        if (c.type == RegValueType::Other) {
            EXPECT_EQ(key->ReadString("v"), std::nullopt);
            EXPECT_EQ(key->ReadInteger("v"), std::nullopt);
            // Kept verbatim through a rewrite.
            EXPECT_TRUE(ReadBytes(Reloaded(store).FilePath()).contains("\n\"v\"=" + c.text.toUtf8() + "\n"));
        }
    }
}

TEST_F(RegistryStoreTest, NamesAndKeyPathsIgnoreAsciiCase) {
    RegistryStore store(path_);
    RegistryKey& key = store.OpenOrCreateKey("Software\\Velmora\\Quorvel\\Global\\");
    key.WriteInteger("UseThread", 1);
    key.WriteString("usethread", "now text");
    EXPECT_EQ(&store.OpenOrCreateKey("\\SOFTWARE\\velmora\\quorvel\\global"), &key);
    EXPECT_EQ(store.KeyPaths(), QStringList{"\\Software\\Velmora\\Quorvel\\Global"});
    EXPECT_EQ(key.ValueNames(), QStringList{"UseThread"}) << "the first spelling stays";
    EXPECT_EQ(key.ReadInteger("USETHREAD"), std::nullopt);
    EXPECT_EQ(key.ReadString("USETHREAD"), "now text");
    EXPECT_TRUE(key.DeleteValue("useTHREAD"));
    EXPECT_FALSE(key.ValueExists("UseThread"));
    EXPECT_FALSE(key.DeleteValue("UseThread"));
}

TEST_F(RegistryStoreTest, EraseKeyTakesItsSubkeysAndKeepsOthers) {
    RegistryStore store(path_);
    for (const char* path : {"\\A", "\\A\\B", "\\AB", "\\C"})
        store.OpenOrCreateKey(path).WriteInteger("n", 1);
    RegistryKey& kept = store.OpenOrCreateKey("\\C");
    EXPECT_TRUE(store.EraseKey("\\a"));
    EXPECT_FALSE(store.EraseKey("\\A"));
    EXPECT_EQ(kept.ReadInteger("n"), 1u) << "references to other keys stay valid";
    EXPECT_EQ(Reloaded(store).KeyPaths(), QStringList({"\\AB", "\\C"}));
}

TEST_F(RegistryStoreTest, ReadsOnlyKeysOfTheCurrentUser) {
    const RegistryStore store = LoadFrom("\xEF\xBB\xBF\"orphan\"=dword:1\r\n"
                                         "[HKEY_LOCAL_MACHINE\\Software\\X]\r\n\"lm\"=dword:1\r\n"
                                         "[-HKEY_CURRENT_USER\\Software\\X]\r\n\"deleted\"=dword:1\r\n"
                                         "[HKEY_CURRENT_USERX\\Software\\X]\r\n\"other\"=dword:1\r\n"
                                         "[hkey_current_user\\Software\\X]\r\n\"mine\"=dword:1\r\n");
    EXPECT_EQ(store.KeyPaths(), QStringList{"\\Software\\X"});
    EXPECT_EQ(store.OpenKeyReadOnly("\\Software\\X")->ValueNames(), QStringList{"mine"});
}

TEST_F(RegistryStoreTest, DamagedFileLoadsWhatItCanAndTheNextSaveIsClean) {
    // Header, key, or a value: text, dword or another form without control characters.
    const QRegularExpression cleanLine(
        R"(^(REGEDIT4|\[HKEY_CURRENT_USER(\\.*)?\]|"([^"\\]|\\.)*"=)"
        R"(("([^"\\]|\\.)*"|dword:[0-9a-f]{8}|[^"\x00-\x1f\x7f][^\x00-\x1f\x7f]*(?<!\\))|)$)");
    for (const auto& [what, damage] : store_test::DamagedBlocks()) {
        SCOPED_TRACE(what);
        const RegistryStore store = LoadFrom("REGEDIT4\n[HKEY_CURRENT_USER\\T\\before]\n\"a\"=\"1\"\n" +
                                             damage + "\n[HKEY_CURRENT_USER\\T\\after]\n\"b\"=dword:2\n");
        ASSERT_NE(store.OpenKeyReadOnly("\\T\\before"), nullptr);
        EXPECT_EQ(store.OpenKeyReadOnly("\\T\\before")->ReadString("a"), "1");
        ASSERT_NE(store.OpenKeyReadOnly("\\T\\after"), nullptr);
        EXPECT_EQ(store.OpenKeyReadOnly("\\T\\after")->ReadInteger("b"), 2u);

        Reloaded(store);
        const QByteArray saved = ReadBytes(path_);
        for (const QString& line : QString::fromUtf8(saved).split('\n'))
            ASSERT_TRUE(cleanLine.match(line).hasMatch()) << line.left(80).toStdString();
        EXPECT_EQ(ReadBytes(Reloaded(Reloaded(store)).FilePath()), saved)
            << "a clean file reads back unchanged";
    }
}

TEST_F(RegistryStoreTest, TruncatedFileKeepsEveryCompleteLine) {
    RegistryStore full(path_);
    for (int i = 0; i < 6; ++i)
        full.OpenOrCreateKey(QStringLiteral("\\K%1").arg(i % 2))
            .WriteString(QStringLiteral("v%1").arg(i), "text \"ü\"");
    ASSERT_TRUE(full.Save());
    const QByteArray bytes = ReadBytes(path_);
    for (qsizetype length = 0; length <= bytes.size(); ++length) {
        const QByteArray prefix = bytes.left(length);
        const RegistryStore store = LoadFrom(prefix);
        for (int i = 0; i < 6; ++i) {
            const QString name = QStringLiteral("v%1").arg(i);
            const RegistryKey* key = store.OpenKeyReadOnly(QStringLiteral("\\K%1").arg(i % 2));
            const auto value = key ? key->ReadString(name) : std::nullopt;
            if (prefix.contains("\"" + name.toUtf8() + "\"=\"text \\\"\xC3\xBC\\\"\"")) {
                EXPECT_EQ(value, "text \"ü\"") << length;
            } else {
                EXPECT_EQ(value, std::nullopt) << length;
            }
        }
    }
}

TEST_F(RegistryStoreTest, FileIsOwnerOnlyWhateverTheUmaskOrEarlierMode) {
    struct OpenUmask {
        mode_t old = ::umask(0);
        ~OpenUmask() { ::umask(old); }
    } openUmask;
    RegistryStore store(path_);
    store.OpenOrCreateKey(kKey).WriteString("smtppassword", "secret");
    EXPECT_TRUE(store.Save());
    const auto newMode = QFileInfo(path_).permissions();
    ASSERT_TRUE(QFile::setPermissions(path_, QFileDevice::Permissions(0x6666)));
    EXPECT_TRUE(store.Save());
    const auto rewrittenMode = QFileInfo(path_).permissions();
    const auto ownerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
    EXPECT_EQ(newMode, ownerOnly);
    EXPECT_EQ(rewrittenMode, ownerOnly);
}

TEST_F(RegistryStoreTest, FailuresAreReportedNotThrown) {
    RegistryStore missing(dir_.filePath("none.reg"));
    EXPECT_TRUE(missing.Load()) << "a missing file is an empty store";
    EXPECT_TRUE(missing.KeyPaths().isEmpty());

    QString error;
    RegistryStore isFolder(dir_.path());
    EXPECT_FALSE(isFolder.Load(&error));
    EXPECT_FALSE(error.isEmpty());

    WriteBytes(dir_.filePath("file"), "x");
    for (const QString& path : {dir_.filePath("file/kovra/registry.reg"), dir_.path()}) {
        error.clear();
        RegistryStore store(path);
        store.OpenOrCreateKey(kKey).WriteInteger("n", 1);
        EXPECT_FALSE(store.Save(&error)) << path.toStdString();
        EXPECT_TRUE(error.contains(path.section('/', 0, -2))) << error.toStdString();
    }
}

} // namespace
