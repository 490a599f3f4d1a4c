#include "settings/histories.h"

#include <algorithm>

#include <QCollator>

#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "platform/settings_paths.h"
#include "settings/ini_update.h"
#include "settings/store_layout.h"
#include "settings/uParam.h"

namespace {

constexpr int kMaxLoadedItems = 100;

const QString kFilterPrefix = QStringLiteral("Filter");
const QString kAlarmPrefix = QStringLiteral("Alarm");

// Reads prefix0, prefix1, ... until a value is missing or empty. read answers empty for both.
template <class ReadValue> QStringList ReadItems(const QString& prefix, ReadValue read) {
    QStringList items;
    for (int i = 0; i < kMaxLoadedItems; ++i) {
        const QString item = read(prefix + QString::number(i));
        if (item.isEmpty())
            break;
        items += item;
    }
    return items;
}

void Refill(THistoryModel& history, const QStringList& items) {
    history.ClearItems();
    for (const QString& item : items)
        history.InsertSorted(item);
}

void LoadFromIni(const IniFile& ini, const QString& section, const QString& prefix, THistoryModel& history) {
    // A section that is missing or holds nothing leaves the history as it is.
    if (ini.ValueNames(section).isEmpty())
        return;
    Refill(history, ReadItems(prefix, [&](const QString& name) { return ini.ReadString(section, name); }));
}

void LoadFromRegistry(const RegistryStore& store, const QString& keyPath, const QString& prefix,
                      THistoryModel& history) {
    const RegistryKey* key = store.OpenKeyReadOnly(keyPath);
    if (!key)
        return;
    // A value of another type is no pattern: it ends the history like a missing one.
    Refill(history,
           ReadItems(prefix, [&](const QString& name) { return key->ReadString(name).value_or(QString()); }));
}

void WriteSection(IniFile& ini, const QString& section, const QString& prefix, const THistoryModel& history) {
    ini.EraseSection(section);
    const QStringList items = history.Items();
    for (int i = 0; i < items.size(); ++i)
        ini.WriteString(section, prefix + QString::number(i), items[i]);
}

} // namespace

THistoryModel::THistoryModel(QObject* parent) : QStringListModel(parent) {}

bool THistoryModel::AddToHistory(const QString& text) {
    if (text.isEmpty())
        return false;
    if (stringList().contains(text, Qt::CaseSensitive))
        return false;
    InsertSorted(text);
    return true;
}

void THistoryModel::InsertSorted(const QString& text) {
    const QStringList items = stringList();
    // Sorted without regard to case in the user's locale, as the combo box lists it; a text equal
    // but for case goes after the ones already there.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto at =
        std::upper_bound(items.begin(), items.end(), text,
                         [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    const int row = static_cast<int>(at - items.begin());
    insertRows(row, 1);
    setData(index(row), text);
}

void THistoryModel::ClearItems() {
    setStringList({});
}

void LoadHistories(THistoryModel& filter, THistoryModel& alarm) {
    IniFile ini(TTailParam::GetIniFileName());
    if (ini.FileExists()) {
        // An INI file that cannot be read gives no history; the registry is not consulted.
        if (!ini.Load())
            return;
        LoadFromIni(ini, FilterKeyPath(), kFilterPrefix, filter);
        LoadFromIni(ini, AlarmKeyPath(), kAlarmPrefix, alarm);
        return;
    }
    RegistryStore store(RegistryFilePath());
    if (!store.Load())
        return;
    LoadFromRegistry(store, FilterKeyPath(), kFilterPrefix, filter);
    LoadFromRegistry(store, AlarmKeyPath(), kAlarmPrefix, alarm);
}

bool SaveHistories(const THistoryModel& filter, const THistoryModel& alarm, DialogService* dialogs) {
    return UpdateIniFile(
        [&](IniFile& ini) {
            WriteSection(ini, FilterKeyPath(), kFilterPrefix, filter);
            WriteSection(ini, AlarmKeyPath(), kAlarmPrefix, alarm);
        },
        dialogs);
}
