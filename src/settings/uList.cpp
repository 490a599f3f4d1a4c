// The file list (load, save, add) and the manager of the window's current file.
#include "settings/uList.h"

#include <cstdio>
#include <stdexcept>

#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "platform/settings_paths.h"
#include "settings/store_layout.h"
#include "settings/uParam.h"

namespace {

// The registry is case-insensitive for a to z only; every other character must be equal.
bool SamePath(const QString& a, const QString& b) {
    return EqualsAsciiCaseInsensitive(a, b);
}

} // namespace

// ---- TTailFileList ----

TTailFileList::TTailFileList() : DefFile(std::make_unique<TDefTailFile>()) {}

TTailFile* TTailFileList::RItems(int index) const {
    return Objects(index);
}

void TTailFileList::WItems(int index, std::unique_ptr<TTailFile> file) {
    At(index).object = std::move(file);
}

TTailFile* TTailFileList::AddFile(const QString& path, const QString& alias) {
    auto file = std::make_unique<TTailFile>(DefFile.get());
    file->Path = path;
    file->Alias = alias;
    file->UserCmd.clear();
    file->Enabled = QStringLiteral("O");
    file->Level = QStringLiteral("0");
    TTailFile* added = file.get();
    Add(path, std::move(file));
    return added;
}

bool TTailFileList::LoadList() {
    Clear();
    // The defaults hold whatever the store held: a list that could not be read must not leave
    // tailing with a read buffer of 0, a refresh of 0 s or a tab width of nothing.
    try {
        ReadStore();
    } catch (...) {
        DefFile->FillDefaults();
        throw;
    }
    DefFile->FillDefaults();
    return true;
}

void TTailFileList::ReadStore() {
    IniFile ini(TTailParam::GetIniFileName());
    if (ini.FileExists()) {
        QString error;
        // An INI file that exists but cannot be read is an error, not an empty list: a later save
        // would otherwise replace the user's list with nothing.
        if (!ini.Load(&error))
            throw std::runtime_error(error.toStdString());
        const QString section = FilesKeyPath();
        if (!ini.ValueNames(section).isEmpty())
            ReadIniSection(ini, section);
    } else {
        RegistryStore store(RegistryFilePath());
        // The older form is read only; an unreadable store is the same as a missing key.
        if (store.Load()) {
            if (const RegistryKey* key = store.OpenKeyReadOnly(FilesKeyPath()))
                ReadRegistryKey(*key);
        }
    }
}

void TTailFileList::ReadIniSection(const IniFile& ini, const QString& section) {
    // A default definition that already holds a last tailed file keeps its settings in memory.
    if (DefFile->Path.isEmpty())
        DefFile->ReadFromIni(ini, section, QStringLiteral("def"));
    // Every stored entry is read, up to the first missing one: a list only partly read would lose
    // the rest at its next save.
    for (int i = 0;; ++i) {
        auto file = std::make_unique<TTailFile>(DefFile.get());
        if (!file->ReadFromIni(ini, section, QString::number(i)))
            break;
        const QString path = file->Path;
        Add(path, std::move(file));
    }
}

void TTailFileList::ReadRegistryKey(const RegistryKey& key) {
    if (DefFile->Path.isEmpty())
        DefFile->ReadFromRegistry(key, QStringLiteral("def"));
    for (int i = 0;; ++i) {
        auto file = std::make_unique<TTailFile>(DefFile.get());
        if (!file->ReadFromRegistry(key, QString::number(i)))
            break;
        const QString path = file->Path;
        Add(path, std::move(file));
    }
}

bool TTailFileList::SaveList(QString* error) {
    QString reason;
    IniFile ini(TTailParam::GetIniFileName());
    // A file that exists but cannot be read is not overwritten: its other sections would be lost.
    bool ok = EnsureFolder(TTailParam::GetSettingsFolder(), &reason) && ini.Load(&reason);
    if (ok) {
        const QString section = FilesKeyPath();
        ini.EraseSection(section);
        DefFile->WriteToIni(ini, section, QStringLiteral("def"));
        for (int i = 0; i < Count(); ++i)
            RItems(i)->WriteToIni(ini, section, QString::number(i));
        ok = ini.Save(&reason);
    }
    if (!ok && error)
        *error = reason;
    return ok;
}

// ---- TTailFileManager ----

TTailFileManager::TTailFileManager(DialogService* dialogs)
    : List(std::make_unique<TTailFileList>()), dialogs_(dialogs) {}

void TTailFileManager::Report(const QString& text) const {
    if (dialogs_)
        dialogs_->ShowMessage(DialogService::Icon::Error, text);
}

bool TTailFileManager::LoadFromRegistry() {
    std::lock_guard guard(lock_);
    bool ok = true;
    try {
        List->LoadList();
    } catch (const std::exception& e) {
        Report(QStringLiteral("TTailFileManager.LoadFromRegistry:") + QString::fromStdString(e.what()));
        ok = false;
    }
    unsavedEdits_ = false;
    // The load freed the entry CurrentFile pointed at.
    SetFileName(FileName);
    return ok;
}

bool TTailFileManager::SaveToRegistry(SaveAsked asked) {
    std::lock_guard guard(lock_);
    QString error;
    bool ok = false;
    try {
        ok = List->SaveList(&error);
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
    }
    if (ok)
        unsavedEdits_ = false;
    else if (asked == SaveAsked::ByUser)
        Report(QStringLiteral("TTailFileManager.SaveToRegistry:") + error);
    else
        std::fprintf(stderr, "kovra: TTailFileManager.SaveToRegistry:%s\n", qPrintable(error));
    SetFileName(FileName);
    return ok;
}

void TTailFileManager::SetFileName(const QString& name) {
    std::lock_guard guard(lock_);
    FileName = TrimBlanksAndControls(name);
    CurrentFile = nullptr;
    // No name is no file: a group heading's empty path never makes it the current entry.
    for (int i = 0; !FileName.isEmpty() && i < List->Count(); ++i) {
        TTailFile* file = List->RItems(i);
        if (SamePath(file->Path, FileName)) {
            CurrentFile = file;
            break;
        }
    }
}

TTailFile* TTailFileManager::GetCurrentFile() const {
    std::lock_guard guard(lock_);
    return CurrentFile;
}

const TBaseTailFile* TTailFileManager::GetCurrentDefinition() const {
    std::lock_guard guard(lock_);
    if (CurrentFile)
        return CurrentFile;
    return List->DefFile.get();
}

QString TTailFileManager::GetCurrentAlias() const {
    std::lock_guard guard(lock_);
    return CurrentFile ? CurrentFile->Alias : QString();
}

QString TTailFileManager::GetCaption() const {
    std::lock_guard guard(lock_);
    const QString alias = GetCurrentAlias();
    return alias.isEmpty() ? FileName : alias + QStringLiteral(" - ") + FileName;
}

void TTailFileManager::SetLastTailedFile(const QString& name) {
    std::lock_guard guard(lock_);
    List->DefFile->Path = TrimBlanksAndControls(name);
}

QString TTailFileManager::ResolveFileName(const std::atomic<bool>* cancel) const {
    QString pattern;
    int order = 0;
    {
        std::lock_guard guard(lock_);
        pattern = FileName;
        if (CurrentFile)
            order = CurrentFile->GetReadMethod() - 1;
    }
    // The folder listing runs outside the lock so the window thread is never kept waiting on it.
    return ResolvePattern(pattern, order, &listing_, cancel);
}

void TTailFileManager::RetireEntry(std::unique_ptr<TTailFile> entry) {
    std::lock_guard guard(lock_);
    if (entry)
        retired_.push_back(std::move(entry));
}

void TTailFileManager::ReleaseRetiredEntries() {
    std::lock_guard guard(lock_);
    std::erase_if(retired_,
                  [this](const std::unique_ptr<TTailFile>& entry) { return entry.get() != CurrentFile; });
}

int TTailFileManager::RetiredCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(retired_.size());
}
