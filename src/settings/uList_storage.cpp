// Reading and writing file definitions: the INI form (read and written) and the older registry
// form (read only).
#include "settings/uList.h"

#include <optional>
#include <stdexcept>

#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "settings/store_layout.h"

namespace {

struct SettingName {
    const char* name;
    QString TBaseTailFile::*field;
};

// The settings of both kinds of definition, in the order they are written.
constexpr SettingName kSettings[] = {
    {"UserCmd", &TBaseTailFile::UserCmd},
    {"Killspace", &TBaseTailFile::Killspace},
    {"Killline", &TBaseTailFile::Killline},
    {"KeepWindowSize", &TBaseTailFile::KeepWindowSize},
    {"WindowWidth", &TBaseTailFile::WindowWidth},
    {"WindowHeight", &TBaseTailFile::WindowHeight},
    {"UseTabs", &TBaseTailFile::UseTabs},
    {"Wrap", &TBaseTailFile::Wrap},
    {"NewlineOnly", &TBaseTailFile::NewlineOnly},
    {"TabsVal", &TBaseTailFile::TabsVal},
    {"Autooffset", &TBaseTailFile::Autooffset},
    {"OffsetVal", &TBaseTailFile::OffsetVal},
    {"BufferkoVal", &TBaseTailFile::BufferkoVal},
    {"Autotimer", &TBaseTailFile::Autotimer},
    {"RefreshRate", &TBaseTailFile::RefreshRate},
    {"ReadMethod", &TBaseTailFile::ReadMethod},
    {"FontName", &TBaseTailFile::FontName},
    {"FontSize", &TBaseTailFile::FontSize},
    {"FontColor", &TBaseTailFile::FontColor},
    {"FontStyleBold", &TBaseTailFile::FontStyleBold},
    {"FontStyleItalic", &TBaseTailFile::FontStyleItalic},
    {"FontStyleUnderline", &TBaseTailFile::FontStyleUnderline},
    {"FontStyleStrikeOut", &TBaseTailFile::FontStyleStrikeOut},
};

QString Name(const char* name, const QString& suffix) {
    return QString::fromLatin1(name) + suffix;
}

// Missing reads as empty; nullopt when the value exists with a type other than text.
std::optional<QString> ReadRegistryText(const RegistryKey& key, const QString& name) {
    if (!key.ValueExists(name))
        return QString();
    const std::optional<QString> text = key.ReadString(name);
    if (!text)
        return std::nullopt;
    return TrimBlanksAndControls(*text);
}

QString ReadIniText(const IniFile& ini, const QString& section, const QString& name) {
    return TrimBlanksAndControls(ini.ReadString(section, name));
}

// The older form held the read window in bytes.
QString BufferFromBytes(const QString& bytes) {
    return QString::number(DecodeInteger(bytes) / 1024);
}

} // namespace

void TBaseTailFile::ReadSettingsFromRegistry(const RegistryKey& key, const QString& suffix) {
    for (const SettingName& setting : kSettings) {
        // The older form never held a font colour: the field stays as it is.
        if (setting.field == &TBaseTailFile::FontColor)
            continue;
        // A value of another type is skipped and leaves the field as it is.
        if (const auto text = ReadRegistryText(key, Name(setting.name, suffix)))
            this->*setting.field = *text;
    }
    if (BufferkoVal.isEmpty()) {
        const auto bytes = ReadRegistryText(key, Name("BufferVal", suffix));
        if (bytes && !bytes->isEmpty())
            BufferkoVal = BufferFromBytes(*bytes);
    }
}

void TBaseTailFile::ReadSettingsFromIni(const IniFile& ini, const QString& section, const QString& suffix) {
    for (const SettingName& setting : kSettings)
        this->*setting.field = ReadIniText(ini, section, Name(setting.name, suffix));
    // Never written to the INI file, but a hand-copied older entry may carry it.
    if (BufferkoVal.isEmpty()) {
        const QString bytes = ReadIniText(ini, section, Name("BufferVal", suffix));
        if (!bytes.isEmpty())
            BufferkoVal = BufferFromBytes(bytes);
    }
}

void TBaseTailFile::WriteSettingsToIni(IniFile& ini, const QString& section, const QString& suffix) const {
    for (const SettingName& setting : kSettings)
        ini.WriteString(section, Name(setting.name, suffix), this->*setting.field);
}

// ---- TDefTailFile ----

void TDefTailFile::ReadFromRegistry(const RegistryKey& key, const QString& suffix) {
    const QString name = Name("Path", suffix);
    const auto path = ReadRegistryText(key, name);
    if (!path)
        throw std::runtime_error(QStringLiteral("Invalid data type for '%1'").arg(name).toStdString());
    Path = *path;
    ReadSettingsFromRegistry(key, suffix);
}

void TDefTailFile::ReadFromIni(const IniFile& ini, const QString& section, const QString& suffix) {
    Path = ReadIniText(ini, section, Name("Path", suffix));
    ReadSettingsFromIni(ini, section, suffix);
}

void TDefTailFile::WriteToIni(IniFile& ini, const QString& section, const QString& suffix) const {
    ini.WriteString(section, Name("Path", suffix), Path);
    WriteSettingsToIni(ini, section, suffix);
}

// ---- TTailFile ----

bool TTailFile::ReadFromRegistry(const RegistryKey& key, const QString& suffix) {
    const QString path = ReadRegistryText(key, Name("Path", suffix)).value_or(QString());
    const QString alias = ReadRegistryText(key, Name("Alias", suffix)).value_or(QString());
    if (path.isEmpty() && alias.isEmpty())
        return false;
    Path = path;
    Alias = alias;
    Enabled = ReadRegistryText(key, Name("Enabled", suffix)).value_or(QStringLiteral("O"));
    if (const auto level = ReadRegistryText(key, Name("Level", suffix)))
        Level = *level;
    if (const auto state = ReadRegistryText(key, Name("State", suffix)))
        State = *state;
    ReadSettingsFromRegistry(key, suffix);
    return true;
}

bool TTailFile::ReadFromIni(const IniFile& ini, const QString& section, const QString& suffix) {
    const QString path = ReadIniText(ini, section, Name("Path", suffix));
    const QString alias = ReadIniText(ini, section, Name("Alias", suffix));
    if (path.isEmpty() && alias.isEmpty())
        return false;
    Path = path;
    Alias = alias;
    Enabled = ReadIniText(ini, section, Name("Enabled", suffix));
    Level = ReadIniText(ini, section, Name("Level", suffix));
    State = ReadIniText(ini, section, Name("State", suffix));
    ReadSettingsFromIni(ini, section, suffix);
    return true;
}

void TTailFile::WriteToIni(IniFile& ini, const QString& section, const QString& suffix) const {
    ini.WriteString(section, Name("Path", suffix), Path);
    ini.WriteString(section, Name("Enabled", suffix), Enabled);
    ini.WriteString(section, Name("Alias", suffix), Alias);
    ini.WriteString(section, Name("Level", suffix), Level);
    ini.WriteString(section, Name("State", suffix), State);
    WriteSettingsToIni(ini, section, suffix);
}
