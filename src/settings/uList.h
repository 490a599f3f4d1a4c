#pragma once
// File definitions (per-file settings held as their stored texts, inherited value by value from
// the default definition), the file list and the manager that knows the window's current file.
//
// Threads: everything is created, loaded, changed and saved on the window thread. A tail pass on
// the worker calls TTailFileManager::ResolveFileName and GetCurrentDefinition and the getters of the
// returned definition; the dialogs that change settings keep the tail stopped meanwhile. The
// manager's lock makes each list access by the tree window and by a pass whole.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <QString>

#include "settings/folder_listing.h"
#include "util/X95.h"

class QFont;
class IniFile;
class RegistryKey;
class DialogService;
class TDefTailFile;

struct TFontStyle {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool operator==(const TFontStyle&) const = default;
};

// Settings common to both kinds of definition, each held as its stored text.
class TBaseTailFile {
public:
    TBaseTailFile() = default;
    virtual ~TBaseTailFile() = default;
    TBaseTailFile(const TBaseTailFile&) = default;
    TBaseTailFile& operator=(const TBaseTailFile&) = default;

    QString UserCmd;
    QString Killspace;
    QString Killline;
    QString UseTabs;
    QString Wrap;
    QString TabsVal;
    QString NewlineOnly;
    QString Autooffset;
    QString OffsetVal;
    QString BufferkoVal;
    QString Autotimer;
    QString RefreshRate;
    QString ReadMethod;
    QString FontName;
    QString FontSize;
    QString FontColor;
    QString KeepWindowSize;
    QString WindowWidth;
    QString WindowHeight;
    QString FontStyleBold;
    QString FontStyleItalic;
    QString FontStyleUnderline;
    QString FontStyleStrikeOut;

    // Effective values. The base decodes its own fields; a defined file inherits from the default.
    virtual QString GetFontName() const;
    virtual qint32 GetFontSize() const;
    virtual quint32 GetFontColor() const;
    virtual bool GetKillline() const;
    virtual bool GetKillspace() const;
    virtual bool GetWrap() const;
    virtual bool GetNewlineOnly() const; // never inherited
    virtual bool GetKeepWindowSize() const;
    virtual bool GetUseTabs() const;
    virtual qint32 GetTabsVal() const;
    virtual bool GetAutooffset() const;
    virtual qint32 GetOffsetVal() const;
    virtual bool GetAutotimer() const;
    virtual qint32 GetRefreshRate() const;
    virtual qint32 GetBufferkoVal() const;
    virtual QString GetUserCmd() const;
    virtual TFontStyle GetFontStyle() const;
    virtual qint32 GetReadMethod() const;

    void SetKillline(bool on);
    void SetKillspace(bool on);
    void SetWrap(bool on);
    void SetNewlineOnly(bool on);
    void SetKeepWindowSize(bool on);
    void SetUseTabs(bool on);
    void SetAutooffset(bool on);
    void SetAutotimer(bool on);
    void SetTabsVal(qint32 value);     // "1" when not above 0
    void SetRefreshRate(qint32 value); // "1" when not above 0
    void SetReadMethod(qint32 value);  // "1" when outside 1..3
    void SetBufferkoVal(qint32 value); // unchecked
    void SetUserCmd(const QString& command);
    void SetFontStyle(const TFontStyle& style);
    void SetFromFont(const QFont& font, quint32 color);
    // Face name, point size and style from the effective values; the colour goes to *color.
    void AssignToFont(QFont& font, quint32* color) const;

protected:
    // The settings from UserCmd on, in stored order; suffix "def" or the entry's position.
    void ReadSettingsFromRegistry(const RegistryKey& key, const QString& suffix);
    void ReadSettingsFromIni(const IniFile& ini, const QString& section, const QString& suffix);
    void WriteSettingsToIni(IniFile& ini, const QString& section, const QString& suffix) const;
};

// The default definition of a list: a complete set of values plus the last tailed file.
class TDefTailFile final : public TBaseTailFile {
public:
    QString Path; // stored as Pathdef

    // Sets every empty (or, for TabsVal, BufferkoVal, RefreshRate, ReadMethod, below 1) field to
    // its built-in default.
    void FillDefaults();

    // Throws std::runtime_error when the registry's Pathdef has a non-text type.
    void ReadFromRegistry(const RegistryKey& key, const QString& suffix);
    void ReadFromIni(const IniFile& ini, const QString& section, const QString& suffix);
    void WriteToIni(IniFile& ini, const QString& section, const QString& suffix) const;
};

// One defined file of the list.
class TTailFile final : public TBaseTailFile {
public:
    explicit TTailFile(const TDefTailFile* defFile) : DefFile(defFile) {}

    QString Enabled;
    QString Level;
    QString State;
    QString Alias;
    QString Path;
    const TDefTailFile* DefFile; // not owned

    QString GetFontName() const override;
    qint32 GetFontSize() const override;
    quint32 GetFontColor() const override;
    bool GetKillline() const override;
    bool GetKillspace() const override;
    bool GetWrap() const override;
    bool GetKeepWindowSize() const override;
    bool GetUseTabs() const override;
    qint32 GetTabsVal() const override;
    bool GetAutooffset() const override;
    qint32 GetOffsetVal() const override;
    bool GetAutotimer() const override;
    qint32 GetRefreshRate() const override;
    qint32 GetBufferkoVal() const override;
    QString GetUserCmd() const override;
    TFontStyle GetFontStyle() const override;
    qint32 GetReadMethod() const override;

    bool IsEnabled() const; // enabled unless Enabled is exactly "N"
    void SetEnabled(bool on);
    qint32 GetLevel() const;
    void SetLevel(qint32 level);
    QString GetPath() const { return Path; }
    QString GetDisplayName() const;
    qint32 GetWindowWidth() const;
    qint32 GetWindowHeight() const;
    // Stores both sizes when either differs from the stored one; answers whether it stored.
    bool StoreWindowSize(qint32 width, qint32 height);

    // false when the entry does not exist (empty Path and Alias).
    bool ReadFromRegistry(const RegistryKey& key, const QString& suffix);
    bool ReadFromIni(const IniFile& ini, const QString& section, const QString& suffix);
    void WriteToIni(IniFile& ini, const QString& section, const QString& suffix) const;
};

// The user's ordered list of defined files (owning them) and its default definition.
class TTailFileList final : public TXStringlist<TTailFile> {
public:
    TTailFileList();

    std::unique_ptr<TDefTailFile> DefFile;

    TTailFile* RItems(int index) const;
    void WItems(int index, std::unique_ptr<TTailFile> file);

    // INI file first; the older registry key only when there is no INI file. Every entry up to the
    // first missing one is read, however many there are. Throws on a reading
    // error (a Pathdef of a non-text type, an INI file that exists but cannot be read); the entries
    // read so far stay, and the default definition gets its built-in defaults in every case.
    // Prefer TTailFileManager::LoadFromRegistry, which also re-points CurrentFile.
    bool LoadList();
    // Rewrites the files section of the INI file, keeping the other sections. false + *error on a
    // failure to create the folder or write the file.
    bool SaveList(QString* error = nullptr);
    TTailFile* AddFile(const QString& path, const QString& alias);

private:
    void ReadStore();
    void ReadIniSection(const IniFile& ini, const QString& section);
    void ReadRegistryKey(const RegistryKey& key);
};

// The window's file list and current file. Owned by the tail window.
class TTailFileManager final {
public:
    // dialogs may be null; not owned.
    explicit TTailFileManager(DialogService* dialogs = nullptr);

    QString FileName;
    TTailFile* CurrentFile = nullptr; // not owned
    std::unique_ptr<TTailFileList> List;

    // LoadList, reporting an error with "TTailFileManager.LoadFromRegistry:" + message (false then);
    // then finds the current entry again, as the load freed the old one.
    bool LoadFromRegistry();
    // SaveList then SetFileName(FileName). A save the user asked for reports an error with
    // "TTailFileManager.SaveToRegistry:" + message; one made on the way (the stop that stores the
    // window size) writes it to standard error only, so a read-only or full settings folder is
    // said once, when the user's own save fails, not at every stop.
    enum class SaveAsked { ByUser, OnTheWay };
    bool SaveToRegistry(SaveAsked asked = SaveAsked::ByUser);
    void SetFileName(const QString& name);
    TTailFile* GetCurrentFile() const;
    // The current file, or the list's default definition.
    const TBaseTailFile* GetCurrentDefinition() const;
    QString GetCurrentAlias() const;
    QString GetCaption() const;
    void SetLastTailedFile(const QString& name);
    // A wildcard's folder is listed again only when it changed (FolderListing). cancel: a folder
    // listing that waits (a remote one) gives up soon after it is set.
    QString ResolveFileName(const std::atomic<bool>* cancel = nullptr) const;
    // order 0 by name, 1 by last write time, 2 by creation time. listing: the folder's names kept
    // from an earlier call (null: listed now).
    static QString ResolvePattern(const QString& pattern, int order, FolderListing* listing = nullptr,
                                  const std::atomic<bool>* cancel = nullptr);

    // Entries taken out of the list while a pass may still read one of them (the tree window's
    // deletions: the current entry may be among them). They are kept here until
    // ReleaseRetiredEntries, which frees all but the current entry. Call it only on the window
    // thread while no pass runs (tail stopped, or the engine not busy): a pass reads the current
    // definition without holding the lock.
    void RetireEntry(std::unique_ptr<TTailFile> entry);
    void ReleaseRetiredEntries();
    int RetiredCount() const;

    // The tree window's rebuilds of the list (order, levels, deletions) that no save has stored
    // yet, as after its Cancel. They wait for the next storing: a reload would lose them, so the
    // stop that stores the window size saves them rather than reloading. Cleared by a save that
    // succeeds and by a load.
    void MarkUnsavedEdits() { unsavedEdits_ = true; }
    bool HasUnsavedEdits() const { return unsavedEdits_; }

private:
    void Report(const QString& text) const;

    DialogService* dialogs_;
    mutable std::recursive_mutex lock_;
    mutable FolderListing listing_; // locks itself
    std::vector<std::unique_ptr<TTailFile>> retired_;
    bool unsavedEdits_ = false;
};
