#include "platform/ini_file.h"
#include "settings/histories.h"
#include "settings_fixture.h"
#include "support/fake_dialogs.h"

namespace {

class Histories : public SettingsTest {
protected:
    FakeDialogService dialogs_;
};

TEST(HistoryModel, AddsOnceWithCaseAndKeepsCaseInsensitiveOrder) {
    THistoryModel history;
    EXPECT_FALSE(history.AddToHistory(QString()));
    EXPECT_TRUE(history.AddToHistory("error"));
    EXPECT_FALSE(history.AddToHistory("error"));
    EXPECT_TRUE(history.AddToHistory("Error"));
    EXPECT_TRUE(history.AddToHistory("beta"));
    EXPECT_TRUE(history.AddToHistory("Alpha"));
    EXPECT_TRUE(history.AddToHistory("gamma"));
    EXPECT_TRUE(history.AddToHistory("Delta"));
    EXPECT_TRUE(history.AddToHistory(" error"));
    const QStringList items = history.Items();
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items.first(), " error");
    EXPECT_EQ(items.mid(1, 3), QStringList({"Alpha", "beta", "Delta"}));
    EXPECT_EQ(QStringList({items[4].toLower(), items[5].toLower()}), QStringList({"error", "error"}));
    EXPECT_EQ(items.last(), "gamma");
    EXPECT_EQ(history.rowCount(), 7) << "the combo box sees every item through the model";
    history.ClearItems();
    EXPECT_EQ(history.rowCount(), 0);
}

TEST_F(Histories, HundredAndTwentyItemsAreSavedAndTheFirstHundredLoad) {
    THistoryModel filter;
    THistoryModel alarm;
    for (int i = 0; i < 120; ++i)
        filter.AddToHistory(QStringLiteral("pattern %1").arg(i, 3, 10, QLatin1Char('0')));
    alarm.AddToHistory("fatal");
    alarm.AddToHistory("(?i)panic");
    ASSERT_TRUE(SaveHistories(filter, alarm, &dialogs_));

    IniFile ini(IniPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ValueNames(kFilterKey).size(), 120);
    EXPECT_EQ(ini.ReadString(kFilterKey, "Filter119"), "pattern 119");
    EXPECT_EQ(ini.ReadString(kAlarmKey, "Alarm0"), "(?i)panic");

    THistoryModel filterBack;
    THistoryModel alarmBack;
    filterBack.AddToHistory("stale item");
    LoadHistories(filterBack, alarmBack);
    EXPECT_EQ(filterBack.Items(), filter.Items().mid(0, 100));
    EXPECT_EQ(alarmBack.Items(), alarm.Items());
    EXPECT_TRUE(dialogs_.AllShown().empty());
}

TEST_F(Histories, IniFileReadingRules) {
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\filter]\n"
                         "Filter0=b\nFilter1=a\nFilter3=d\n"
                         "[\\Software\\Velmora\\Quorvel\\files]\nPath0=/x\n");
    // The registry form holds alarms, but an INI file exists: it is not consulted.
    RegistryStore store(RegistryPath());
    store.OpenOrCreateKey(kAlarmKey).WriteString("Alarm0", "from registry");
    store.OpenOrCreateKey(kFilterKey).WriteString("Filter0", "from registry");
    ASSERT_TRUE(store.Save());

    THistoryModel filter;
    THistoryModel alarm;
    LoadHistories(filter, alarm);
    EXPECT_EQ(filter.Items(), QStringList({"a", "b"}));
    EXPECT_TRUE(alarm.Items().isEmpty());

    // A missing section, or one without values, leaves what the history held.
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\filter]\n[\\Software\\Velmora\\Quorvel\\alarm]\n"
                         "Alarm0=x\nAlarm1=\nAlarm2=y\n");
    LoadHistories(filter, alarm);
    EXPECT_EQ(filter.Items(), QStringList({"a", "b"}));
    EXPECT_EQ(alarm.Items(), QStringList({"x"})) << "an empty value ends the history";

    // A hand-edited file's duplicates load as they were stored, in sorted places.
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\alarm]\nAlarm0=x\nAlarm1=b\nAlarm2=x\n");
    LoadHistories(filter, alarm);
    EXPECT_EQ(alarm.Items(), QStringList({"b", "x", "x"}));
}

TEST_F(Histories, RegistryFormIsReadOnlyWithoutAnIniFile) {
    RegistryStore store(RegistryPath());
    RegistryKey& filterKey = store.OpenOrCreateKey(kFilterKey);
    filterKey.WriteString("Filter0", "warn");
    filterKey.WriteString("Filter1", "Err");
    filterKey.WriteInteger("Filter2", 5);
    filterKey.WriteString("Filter3", "never read");
    RegistryKey& alarmKey = store.OpenOrCreateKey(kAlarmKey);
    alarmKey.WriteString("Alarm1", "gap at 0");
    ASSERT_TRUE(store.Save());

    THistoryModel filter;
    THistoryModel alarm;
    alarm.AddToHistory("old");
    LoadHistories(filter, alarm);
    EXPECT_EQ(filter.Items(), QStringList({"Err", "warn"}));
    EXPECT_TRUE(alarm.Items().isEmpty()) << "an existing key clears the history even when Alarm0 is missing";
    EXPECT_FALSE(QFileInfo::exists(IniPath()));
}

TEST_F(Histories, SaveRewritesBothSectionsAndKeepsTheOthers) {
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\files]\nPath0=/keep\n"
                         "[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=old\nFilter1=older\n");
    THistoryModel filter;
    THistoryModel alarm;
    filter.AddToHistory("new");
    ASSERT_TRUE(SaveHistories(filter, alarm, &dialogs_));
    IniFile ini(IniPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString(kFilesKey, "Path0"), "/keep");
    EXPECT_EQ(ini.ValueNames(kFilterKey), QStringList({"Filter0"}));
    EXPECT_EQ(ini.ReadString(kFilterKey, "Filter0"), "new");
    EXPECT_TRUE(ini.ValueNames(kAlarmKey).isEmpty());
}

TEST_F(Histories, FailedSaveIsReported) {
    BlockSettingsFolder();
    THistoryModel filter;
    THistoryModel alarm;
    filter.AddToHistory("x");
    EXPECT_FALSE(SaveHistories(filter, alarm, &dialogs_));
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    const QString prefix = "Unable to save Kovra parameters in " + IniPath() + ". Err=";
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith(prefix)) << dialogs_.Texts()[0].toStdString();
    EXPECT_GT(dialogs_.Texts()[0].size(), prefix.size());
}

} // namespace
