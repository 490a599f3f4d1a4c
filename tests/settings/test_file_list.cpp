#include <QElapsedTimer>
#include <QProcess>

#include "platform/ini_file.h"
#include "settings/histories.h"
#include "settings/uList.h"
#include "settings_fixture.h"
#include "support/fake_dialogs.h"

#include <sys/stat.h>

namespace {

class FileList : public SettingsTest {
protected:
    QByteArray FilesSection(const QByteArray& body) const {
        return "[\\Software\\Velmora\\Quorvel\\files]\n" + body;
    }
    QStringList Paths(const TTailFileList& list) const {
        QStringList paths;
        for (int i = 0; i < list.Count(); ++i)
            paths += list.RItems(i)->Path;
        return paths;
    }
    void WriteRegistryFiles(const std::function<void(RegistryKey&)>& write) const {
        RegistryStore store(RegistryPath());
        write(store.OpenOrCreateKey(kFilesKey));
        ASSERT_TRUE(store.Save());
    }
    FakeDialogService dialogs_;
};

TEST_F(FileList, EmptyStoreGivesAnEmptyListWithBuiltInDefaults) {
    TTailFileList list;
    EXPECT_TRUE(list.LoadList());
    EXPECT_EQ(list.Count(), 0);
    const TDefTailFile& def = *list.DefFile;
    EXPECT_EQ(def.Path, "");
    EXPECT_EQ(def.GetFontName(), "Courier New");
    EXPECT_EQ(def.GetFontSize(), 8);
    EXPECT_EQ(def.GetTabsVal(), 75);
    EXPECT_EQ(def.GetBufferkoVal(), 50);
    EXPECT_EQ(def.GetRefreshRate(), 1);
    EXPECT_EQ(def.GetReadMethod(), 1);
    EXPECT_TRUE(def.GetKillspace());
    EXPECT_FALSE(QFileInfo::exists(IniPath())) << "loading writes nothing";
}

TEST_F(FileList, ReadingStopsAtTheFirstMissingEntryAndNeverDropsOneBeyond) {
    WriteText(IniPath(), FilesSection("Path0=/a\nAlias1=group\nPath3=/d\n"));
    TTailFileList list;
    list.LoadList();
    EXPECT_EQ(Paths(list), QStringList({"/a", ""}));
    EXPECT_EQ(list.Strings(1), "") << "the text of an entry is its path";

    // 500 entries stored by hand all load, and a manager's save after an edit keeps every one.
    QByteArray body;
    for (int i = 0; i < 500; ++i)
        body += QStringLiteral("Path%1=/logs/%1.log\nAlias%1=log %1\n").arg(i).toUtf8();
    WriteText(IniPath(), FilesSection(body));
    TTailFileManager manager(&dialogs_);
    ASSERT_TRUE(manager.LoadFromRegistry());
    ASSERT_EQ(manager.List->Count(), 500);
    EXPECT_EQ(manager.List->RItems(499)->Alias, "log 499");
    EXPECT_EQ(manager.List->RItems(0)->DefFile, manager.List->DefFile.get());
    manager.List->RItems(0)->Alias = QStringLiteral("edited");
    ASSERT_TRUE(manager.SaveToRegistry());
    TTailFileList big;
    big.LoadList();
    ASSERT_EQ(big.Count(), 500);
    EXPECT_EQ(big.RItems(0)->Alias, "edited");
    EXPECT_EQ(big.RItems(499)->Path, "/logs/499.log");
}

TEST_F(FileList, RegistryFormIsReadOnlyWithoutAnIniFile) {
    WriteRegistryFiles([](RegistryKey& key) {
        key.WriteString("Pathdef", "/var/log/last.log");
        key.WriteString("TabsValdef", "40");
        key.WriteString("Path0", "/var/log/a.log");
        key.WriteString("Path1", "/var/log/b.log");
        key.WriteString("BufferVal1", "204800");
    });
    TTailFileList fromRegistry;
    fromRegistry.LoadList();
    EXPECT_EQ(Paths(fromRegistry), QStringList({"/var/log/a.log", "/var/log/b.log"}));
    EXPECT_EQ(fromRegistry.DefFile->Path, "/var/log/last.log");
    EXPECT_EQ(fromRegistry.DefFile->TabsVal, "40");
    EXPECT_EQ(fromRegistry.DefFile->FontColor, "0") << "filled in after a registry read";
    EXPECT_EQ(fromRegistry.RItems(1)->BufferkoVal, "200");

    // An INI file without a files section wins, and gives an empty list.
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=x\n");
    TTailFileList fromIni;
    fromIni.LoadList();
    EXPECT_EQ(fromIni.Count(), 0);
    EXPECT_EQ(fromIni.DefFile->Path, "");
    EXPECT_EQ(fromIni.DefFile->TabsVal, "75");

    // So does an INI file whose files section holds no value.
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\files]\n");
    TTailFileList emptySection;
    emptySection.LoadList();
    EXPECT_EQ(emptySection.Count(), 0);
}

TEST_F(FileList, DefaultDefinitionIsNotReadAgainOnceItHoldsALastTailedFile) {
    TTailFileManager saver(&dialogs_);
    saver.List->DefFile->TabsVal = "10";
    ASSERT_TRUE(saver.SaveToRegistry());

    TTailFileManager manager(&dialogs_);
    ASSERT_TRUE(manager.LoadFromRegistry());
    EXPECT_EQ(manager.List->DefFile->TabsVal, "10");
    manager.List->DefFile->TabsVal = "20";
    manager.List->LoadList();
    EXPECT_EQ(manager.List->DefFile->TabsVal, "10") << "an empty Path means the default is read again";

    manager.SetLastTailedFile("  /logs/now.log\t");
    EXPECT_EQ(manager.List->DefFile->Path, "/logs/now.log");
    manager.List->DefFile->TabsVal = "20";
    manager.List->LoadList();
    EXPECT_EQ(manager.List->DefFile->TabsVal, "20");

    // A BufferkoVal of 0 set on the default becomes 50 at the next load.
    manager.List->DefFile->SetBufferkoVal(0);
    EXPECT_EQ(manager.List->DefFile->BufferkoVal, "0");
    manager.List->LoadList();
    EXPECT_EQ(manager.List->DefFile->BufferkoVal, "50");
}

TEST_F(FileList, SaveRewritesTheFilesSectionAndKeepsTheOthers) {
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=error\n"
                         "[\\Software\\Velmora\\Quorvel\\files]\nPath0=/old\nPath5=/stale\nJunk=1\n"
                         "[Someone else]\nkey=value\n");
    TTailFileList list;
    list.AddFile("/new/one.log", "one");
    TTailFile* group = list.AddFile("", "group");
    EXPECT_EQ(group->Enabled, "O");
    EXPECT_EQ(group->Level, "0");
    QString error;
    ASSERT_TRUE(list.SaveList(&error)) << error.toStdString();

    IniFile ini(IniPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString(kFilterKey, "Filter0"), "error");
    EXPECT_EQ(ini.ReadString("Someone else", "key"), "value");
    EXPECT_FALSE(ini.ValueExists(kFilesKey, "Path5"));
    EXPECT_FALSE(ini.ValueExists(kFilesKey, "Junk"));
    EXPECT_EQ(ini.ReadString(kFilesKey, "Path0"), "/new/one.log");
    EXPECT_EQ(ini.ReadString(kFilesKey, "Alias1"), "group");
    EXPECT_EQ(ini.ReadString(kFilesKey, "FontNamedef"), "") << "the default's empty values are written too";
    EXPECT_TRUE(ini.ValueExists(kFilesKey, "FontNamedef"));
}

// A save of the list and the exit's save of the histories change what they own and nothing else:
// comments, another program's section, line ends, and paths whose bytes are not UTF-8 (which
// would otherwise come back as another file's name) stay as they were.
TEST_F(FileList, SavesKeepTheBytesOfWhatTheyDoNotChange) {
    const QByteArray files = "[\\Software\\Velmora\\Quorvel\\files]\r\n";
    const QByteArray other = "[Other tool]\r\nx=\xff raw\r\n";
    WriteText(IniPath(), "; my notes\r\n" + files +
                             "Pathdef=/home/J\xe9r\xf4me.log\r\nPath0=/var/log/caf\xe9.log\r\n"
                             "Alias0=caf\xe9\r\n\r\n" +
                             other);
    TTailFileManager manager(&dialogs_);
    ASSERT_TRUE(manager.LoadFromRegistry());
    ASSERT_EQ(manager.List->Count(), 1);
    ASSERT_TRUE(manager.SaveToRegistry());
    const QByteArray saved = ReadText(IniPath());
    EXPECT_TRUE(saved.startsWith("; my notes\r\n" + files + "Pathdef=/home/J\xe9r\xf4me.log\r\n"))
        << saved.left(120).toStdString();
    EXPECT_TRUE(saved.contains("\r\nPath0=/var/log/caf\xe9.log\r\nEnabled0="));
    EXPECT_TRUE(saved.contains("\r\nAlias0=caf\xe9\r\n"));
    EXPECT_TRUE(saved.endsWith("\r\n\r\n" + other));

    THistoryModel filter;
    THistoryModel alarm;
    filter.AddToHistory("disk full");
    ASSERT_TRUE(SaveHistories(filter, alarm, &dialogs_));
    const QByteArray exited = ReadText(IniPath());
    EXPECT_TRUE(exited.startsWith(saved)) << "only the histories were added";
    EXPECT_TRUE(exited.contains("Filter0=disk full\r\n"));
}

TEST_F(FileList, DamagedFilesLoadWhatTheyCanAndTheNextSaveIsClean) {
    QByteArray body = "\xEF\xBB\xBFgarbage line\n\x00\x01\x02\n[unclosed\nPath0=/ignored\n";
    body += "[\\Software\\Velmora\\Quorvel\\files]\r\n";
    body += "TabsValdef=99999999999999999999\nFontSizedef=-40\nRefreshRatedef=abc\n";
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 == 1)
            body += QStringLiteral("Alias%1=  only an alias %1 \n").arg(i).toUtf8();
        else
            body += QStringLiteral("Path%1= /home/zoë/My Logs/\"quoted\" %1.log \n").arg(i).toUtf8();
        body += QStringLiteral("Level%1=-%1\nBufferkoVal%1=0x%1\n=novalue\nnoequals\n").arg(i).toUtf8();
    }
    WriteText(IniPath(), FilesSection(body));

    TTailFileManager manager(&dialogs_);
    ASSERT_TRUE(manager.LoadFromRegistry());
    const TTailFileList& list = *manager.List;
    ASSERT_EQ(list.Count(), 1000);
    EXPECT_EQ(list.RItems(0)->Path, "/home/zoë/My Logs/\"quoted\" 0.log");
    EXPECT_EQ(list.RItems(1)->Alias, "only an alias 1");
    EXPECT_EQ(list.RItems(1)->GetDisplayName(), "only an alias 1");
    EXPECT_EQ(list.RItems(5)->GetBufferkoVal(), 5);
    EXPECT_EQ(list.DefFile->FontSize, "-40") << "only values below 1 of four settings are replaced";
    EXPECT_EQ(list.DefFile->RefreshRate, "1");
    ASSERT_TRUE(manager.SaveToRegistry());
    EXPECT_TRUE(dialogs_.AllShown().empty());

    const QString saved = QString::fromUtf8(ReadText(IniPath()));
    EXPECT_FALSE(saved.contains("garbage"));
    EXPECT_FALSE(saved.contains("noequals"));
    TTailFileList reloaded;
    reloaded.LoadList();
    ASSERT_EQ(reloaded.Count(), 1000);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(reloaded.RItems(i)->Path, list.RItems(i)->Path);
        EXPECT_EQ(reloaded.RItems(i)->Alias, list.RItems(i)->Alias);
        EXPECT_EQ(reloaded.RItems(i)->Level, list.RItems(i)->Level);
    }
}

TEST_F(FileList, ManagerReportsLoadAndSaveErrors) {
    WriteRegistryFiles([](RegistryKey& key) {
        key.WriteRaw("Pathdef", "hex:41,00");
        key.WriteString("Path0", "/a");
    });
    TTailFileManager manager(&dialogs_);
    EXPECT_FALSE(manager.LoadFromRegistry());
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith("TTailFileManager.LoadFromRegistry:"))
        << dialogs_.Texts()[0].toStdString();
    EXPECT_GT(dialogs_.Texts()[0].size(), QString("TTailFileManager.LoadFromRegistry:").size());
    EXPECT_EQ(manager.List->Count(), 0);
    EXPECT_EQ(manager.List->DefFile->FontName, "Courier New") << "the defaults hold after a failed load";

    ASSERT_TRUE(QDir(Folder()).removeRecursively());
    BlockSettingsFolder();
    manager.List->AddFile("/a.log", "a");
    manager.FileName = "/A.log";
    EXPECT_FALSE(manager.SaveToRegistry());
    ASSERT_EQ(dialogs_.Texts().size(), 2);
    EXPECT_TRUE(dialogs_.Texts()[1].startsWith("TTailFileManager.SaveToRegistry:"))
        << dialogs_.Texts()[1].toStdString();
    EXPECT_GT(dialogs_.Texts()[1].size(), QString("TTailFileManager.SaveToRegistry:").size());
    EXPECT_EQ(manager.GetCurrentFile(), manager.List->RItems(0)) << "the current entry is found again";
    QString error;
    EXPECT_FALSE(manager.List->SaveList(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(FileList, UnreadableIniFileIsReportedAndNotOverwritten) {
    ASSERT_TRUE(QDir().mkpath(IniPath()));
    TTailFileManager manager(&dialogs_);
    EXPECT_FALSE(manager.LoadFromRegistry());
    EXPECT_FALSE(manager.SaveToRegistry());
    ASSERT_EQ(dialogs_.Texts().size(), 2);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith("TTailFileManager.LoadFromRegistry:"));
    EXPECT_TRUE(dialogs_.Texts()[1].startsWith("TTailFileManager.SaveToRegistry:"));
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
}

// A folder, a FIFO or a UTF-16 file named kovra.ini: reported at the load, never overwritten, and
// tailing keeps the built-in defaults (a read window of 50 KiB, a refresh of 1 s, tabs of 75).
TEST_F(FileList, UnreadableIniFileKeepsTheDefaultsAndIsNeverReplaced) {
    const QByteArray utf16 = QByteArray("\xFF\xFE[\0f\0]\0\r\0\n\0", 12);
    for (const char* kind : {"folder", "fifo", "utf16"}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(QDir(Folder()).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(Folder()));
        if (QByteArray(kind) == "folder")
            ASSERT_TRUE(QDir().mkpath(IniPath()));
        else if (QByteArray(kind) == "fifo")
            ASSERT_EQ(::mkfifo(QFile::encodeName(IniPath()).constData(), 0600), 0);
        else
            WriteText(IniPath(), utf16);
        FakeDialogService dialogs;
        TTailFileManager manager(&dialogs);
        EXPECT_FALSE(manager.LoadFromRegistry());
        const TBaseTailFile& def = *manager.GetCurrentDefinition();
        EXPECT_EQ(def.GetBufferkoVal(), 50);
        EXPECT_EQ(def.GetRefreshRate(), 1);
        EXPECT_EQ(def.GetTabsVal(), 75);
        EXPECT_TRUE(def.GetKillspace());
        manager.List->AddFile("/var/log/new.log", QString());
        EXPECT_FALSE(manager.SaveToRegistry());
        ASSERT_EQ(dialogs.Texts().size(), 2);
        EXPECT_TRUE(dialogs.Texts()[0].startsWith("TTailFileManager.LoadFromRegistry:Cannot read"));
        EXPECT_TRUE(dialogs.Texts()[1].startsWith("TTailFileManager.SaveToRegistry:Cannot read"));
        if (QByteArray(kind) == "utf16")
            EXPECT_EQ(ReadText(IniPath()), utf16);
        else
            EXPECT_FALSE(QFileInfo(IniPath()).isFile());
    }
}

TEST_F(FileList, SetFileNameMatchesAToZWithoutCaseOnly) {
    TTailFileManager manager(&dialogs_);
    TTailFileList& list = *manager.List;
    list.AddFile("", "a group heading, never a file");
    TTailFile* app = list.AddFile("/logs/app.log", "application");
    TTailFile* accented = list.AddFile("/logs/é.log", "");
    TTailFile* first = list.AddFile("/logs/twice.log", "first");
    list.AddFile("/LOGS/TWICE.LOG", "second");

    struct Case {
        const char* name;
        TTailFile* expected;
        const char* fileName;
    };
    const Case cases[] = {
        {" /LOGS/App.log ", app, "/LOGS/App.log"},
        {"\t/logs/app.log\r\n", app, "/logs/app.log"},
        {"/logs/É.log", nullptr, "/logs/É.log"},
        {"/logs/é.log", accented, "/logs/é.log"},
        {"/logs/twice.LOG", first, "/logs/twice.LOG"},
        {"/logs/app.log.1", nullptr, "/logs/app.log.1"},
        {"", nullptr, ""},
        {" \t", nullptr, ""},
    };
    for (const Case& c : cases) {
        manager.SetFileName(QString::fromUtf8(c.name));
        EXPECT_EQ(manager.GetCurrentFile(), c.expected) << c.name;
        EXPECT_EQ(manager.FileName, QString::fromUtf8(c.fileName));
    }

    // The entry's current path counts, not the text it was added under.
    app->Path = "/logs/renamed.log";
    manager.SetFileName("/logs/app.log");
    EXPECT_EQ(manager.GetCurrentFile(), nullptr);
    manager.SetFileName("/logs/RENAMED.log");
    EXPECT_EQ(manager.GetCurrentFile(), app);
}

TEST_F(FileList, CaptionAliasAndDefinitionFollowTheCurrentFile) {
    TTailFileManager manager(&dialogs_);
    TTailFile* withAlias = manager.List->AddFile("/logs/a.log", "Web server");
    manager.List->AddFile("/logs/b.log", "");

    manager.SetFileName("/logs/A.log");
    EXPECT_EQ(manager.GetCaption(), "Web server - /logs/A.log");
    EXPECT_EQ(manager.GetCurrentAlias(), "Web server");
    EXPECT_EQ(manager.GetCurrentDefinition(), withAlias);

    manager.SetFileName("/logs/b.log");
    EXPECT_EQ(manager.GetCaption(), "/logs/b.log");
    EXPECT_EQ(manager.GetCurrentAlias(), "");

    manager.SetFileName("/logs/none.log");
    EXPECT_EQ(manager.GetCaption(), "/logs/none.log");
    EXPECT_EQ(manager.GetCurrentFile(), nullptr);
    EXPECT_EQ(manager.GetCurrentDefinition(), manager.List->DefFile.get());
}

TEST_F(FileList, ReloadFindsTheCurrentEntryAgain) {
    TTailFileManager manager(&dialogs_);
    manager.List->AddFile("/logs/a.log", "a");
    ASSERT_TRUE(manager.SaveToRegistry());
    manager.SetFileName("/logs/a.log");
    ASSERT_NE(manager.GetCurrentFile(), nullptr);
    // The reload frees the entries: the manager must not keep pointing at the freed one.
    ASSERT_TRUE(manager.LoadFromRegistry());
    ASSERT_NE(manager.GetCurrentFile(), nullptr);
    EXPECT_EQ(manager.GetCurrentFile(), manager.List->RItems(0));
    EXPECT_EQ(manager.GetCurrentFile()->Alias, "a");
}

// Two processes save their own list many times at once; a reader meanwhile and the file afterwards
// must always hold one writer's complete list.
TEST_F(FileList, TwoProcessesSavingAtOnceLeaveAReadableFile) {
    const QString helper = QStringLiteral(KOVRA_SAVE_LIST_HELPER);
    ASSERT_TRUE(QFileInfo::exists(helper)) << "missing helper program " << helper.toStdString();
    constexpr int kEntries = 20;
    constexpr int kRounds = 40;

    const auto check = [&](const TTailFileList& list, bool mayBeEmpty) {
        if (mayBeEmpty && list.Count() == 0)
            return;
        ASSERT_EQ(list.Count(), kEntries);
        const QString writer = list.RItems(0)->Alias;
        ASSERT_TRUE(writer == "A" || writer == "B") << writer.toStdString();
        for (int i = 0; i < kEntries; ++i) {
            ASSERT_EQ(list.RItems(i)->Alias, writer) << "entry " << i;
            ASSERT_EQ(list.RItems(i)->Path, QStringLiteral("/writer %1/log %2.log").arg(writer).arg(i));
        }
    };

    QProcess writers[2];
    const char* tags[] = {"A", "B"};
    for (int w = 0; w < 2; ++w) {
        writers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[w].start(helper, {tags[w], QString::number(kEntries), QString::number(kRounds)});
        ASSERT_TRUE(writers[w].waitForStarted(10000)) << writers[w].errorString().toStdString();
    }
    QElapsedTimer deadline;
    deadline.start();
    int reads = 0;
    while ((writers[0].state() != QProcess::NotRunning || writers[1].state() != QProcess::NotRunning) &&
           deadline.elapsed() < 120000) {
        TTailFileList seen;
        ASSERT_NO_THROW(seen.LoadList());
        check(seen, true);
        ++reads;
        writers[0].waitForFinished(5);
        writers[1].waitForFinished(5);
    }
    for (QProcess& w : writers) {
        if (w.state() != QProcess::NotRunning) {
            ASSERT_TRUE(w.waitForFinished(60000)) << "a writer hangs";
        }
        EXPECT_EQ(w.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(w.exitCode(), 0);
    }
    EXPECT_GT(reads, 0);
    TTailFileList final;
    final.LoadList();
    check(final, false);
}

} // namespace
