#include "manage_fixture.h"

#include <QFile>

void FillList(TTailFileList& list, const QStringList& entries) {
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u'|');
        TTailFile* file = list.AddFile(parts.value(0), parts.value(1));
        file->Level = parts.value(2, QStringLiteral("0"));
    }
    list.DefFile->FillDefaults();
}

QStringList Entries(const TTailFileList& list) {
    QStringList entries;
    for (int i = 0; i < list.Count(); ++i) {
        const TTailFile* file = list.RItems(i);
        entries += file->Path + u'|' + file->Alias + u'|' + file->Level;
    }
    return entries;
}

QStringList StoredEntries() {
    TTailFileList list;
    list.LoadList();
    return Entries(list);
}

void ManagerTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    configHome_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")));
    manager_ = std::make_unique<TTailFileManager>(&dialogs_);
}

void ManagerTest::TearDown() {
    manager_.reset();
    configHome_.reset();
}
