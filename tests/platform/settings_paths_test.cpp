#include "platform/settings_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/registry_store.h"
#include "store_test_util.h"

namespace {

// Sets XDG_CONFIG_HOME for one test and puts the old state back.
class ScopedConfigHome {
public:
    explicit ScopedConfigHome(const char* value)
        : had_(qEnvironmentVariableIsSet(kName)), old_(qgetenv(kName)) {
        if (value)
            qputenv(kName, value);
        else
            qunsetenv(kName);
    }
    ~ScopedConfigHome() {
        if (had_)
            qputenv(kName, old_);
        else
            qunsetenv(kName);
    }

private:
    static constexpr const char* kName = "XDG_CONFIG_HOME";
    bool had_;
    QByteArray old_;
};

TEST(SettingsPaths, FolderFollowsXdgConfigHomeAndIgnoresEmptyOrRelativeValues) {
    const QString fallback = QDir::homePath() + "/.config/kovra/";
    const struct {
        const char* configHome;
        QString folder;
    } cases[] = {{"/tmp/cfg", "/tmp/cfg/kovra/"},
                 {"/tmp/cfg//", "/tmp/cfg/kovra/"},
                 {"/", "/kovra/"},
                 {nullptr, fallback},
                 {"", fallback},
                 {"cfg", fallback}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configHome ? c.configHome : "(unset)");
        ScopedConfigHome home(c.configHome);
        EXPECT_EQ(SettingsFolder(), c.folder);
        EXPECT_EQ(RegistryFilePath(), c.folder + "registry.reg");
        EXPECT_EQ(RegistryStore::DefaultPath(), c.folder + "registry.reg");
        EXPECT_EQ(IniFilePath(), c.folder + "kovra.ini");
    }
}

TEST(SettingsPaths, EnsureFolderCreatesParentsAndReportsWhatBlocksIt) {
    QTemporaryDir dir;
    const QString deep = dir.filePath("a/b/c");
    QString error;
    EXPECT_TRUE(EnsureFolder(deep, &error));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(EnsureFolder(deep, nullptr)) << "an existing folder is fine";

    store_test::WriteBytes(dir.filePath("file"), "x");
    EXPECT_FALSE(EnsureFolder(dir.filePath("file"), &error));
    EXPECT_TRUE(error.contains(dir.filePath("file"))) << error.toStdString();
    error.clear();
    EXPECT_FALSE(EnsureFolder(dir.filePath("file/sub"), &error));
    EXPECT_TRUE(error.contains(dir.filePath("file/sub"))) << error.toStdString();
}

TEST(SettingsPaths, NamesFoldOnlyAsciiLetters) {
    const struct {
        const char16_t* a;
        const char16_t* b;
        bool equal;
    } cases[] = {{u"UseThread", u"usethread", true},
                 {u"", u"", true},
                 {u"a", u"ab", false},
                 {u"[", u"{", false},
                 {u"@", u"`", false},
                 {u"\u00c4", u"\u00e4", false},
                 {u"files\\X", u"FILES\\x", true},
                 {u"a\u00e4", u"A\u00e4", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsAsciiCaseInsensitive(QStringView(c.a), QStringView(c.b)), c.equal)
            << QString::fromUtf16(c.a).toStdString() << " vs " << QString::fromUtf16(c.b).toStdString();
    }
}

} // namespace
