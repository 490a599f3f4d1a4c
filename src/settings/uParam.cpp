#include "settings/uParam.h"

#include <variant>

#include "platform/dialogs.h"
#include "platform/registry_store.h"
#include "platform/settings_paths.h"
#include "settings/store_layout.h"

namespace {

// Stored passwords depend on this value: a password scrambled under another start key cannot be
// read back, so it must never change.
constexpr int kScrambleStartKey = 0x4B;

const QString kDefaultPathComboFont = QStringLiteral("MS Sans Serif");

struct FlagField {
    bool TTailParam::*field;
    bool defaultValue;
    void (TTailParam::*setter)(bool) = nullptr;
};
struct IntegerField {
    qint32 TTailParam::*field;
    qint32 defaultValue;
    void (TTailParam::*setter)(qint32) = nullptr;
};
struct ColourField {
    quint32 TTailParam::*field;
    quint32 defaultValue;
};
struct TextField {
    QString TTailParam::*field;
    void (TTailParam::*setter)(const QString&) = nullptr;
    bool scrambled = false;
};

struct ParamField {
    const char* name;
    std::variant<FlagField, IntegerField, ColourField, TextField> kind;
};

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };

constexpr quint32 kPaleGreen = 0x00F0FFF0;
constexpr quint32 kPaleBlue = 0x00FFF0F0;
constexpr quint32 kPaleRed = 0x00F0F0FF;
constexpr quint32 kButtonFace = 0xFF00000F;

// Every stored value in load order; the text fields' default is empty except pathcombofontname,
// whose setter supplies it.
const std::vector<ParamField>& ParamFields() {
    using P = TTailParam;
    static const std::vector<ParamField> fields = {
        {"minimizetotray", FlagField{&P::minimizetotray, true, &P::SetMinimizeToTray}},
        {"removepathontaskbar", FlagField{&P::removepathontaskbar, false, &P::SetRemovePathOnTaskbar}},
        {"usealphablend", FlagField{&P::usealphablend, false, &P::SetUseAlphaBlend}},
        {"autoexpandtree", FlagField{&P::autoexpandtree, true}},
        {"pathcombofontname", TextField{&P::pathcombofontname, &P::SetPathComboFontName}},
        {"alphablendvalue", IntegerField{&P::alphablendvalue, 200, &P::SetAlphaBlendValue}},
        {"usethread", FlagField{&P::usethread, true}},
        {"threadprio", IntegerField{&P::threadprio, 4}},
        {"filterBAmode", IntegerField{&P::filterBAmode, 1}},
        {"alwaysontop", FlagField{&P::alwaysontop, false, &P::SetAlwaysOnTop}},
        {"alertbtf", FlagField{&P::alertbtf, true}},
        {"playalertsound", FlagField{&P::playalertsound, false}},
        {"sendalertemail", FlagField{&P::sendalertemail, false}},
        {"alertsoundfile", TextField{&P::alertsoundfile}},
        {"alertemail", TextField{&P::alertemail}},
        {"showremlineinfo", FlagField{&P::showremlineinfo, false}},
        {"alwaysscroll", FlagField{&P::alwaysscroll, false}},
        {"filechangebtf", FlagField{&P::filechangebtf, true}},
        {"playfilechangesound", FlagField{&P::playfilechangesound, false}},
        {"filechangesoundonlyifsince", FlagField{&P::filechangesoundonlyifsince, false}},
        {"filechangesoundonlyifsincedelay", IntegerField{&P::filechangesoundonlyifsincedelay, 5}},
        {"filechangesoundonlyifminimized", FlagField{&P::filechangesoundonlyifminimized, false}},
        {"filechangesoundfile", TextField{&P::filechangesoundfile}},
        {"smtpserver", TextField{&P::smtpserver}},
        {"smtplogin", TextField{&P::smtplogin}},
        {"smtpfrom", TextField{&P::smtpfrom}},
        {"smtppassword", TextField{&P::smtppassword, nullptr, true}},
        {"switchdaycolor", FlagField{&P::switchdaycolor, false}},
        {"tailcolor_day", ColourField{&P::tailcolor_day, kPaleGreen}},
        {"tailcolor_night", ColourField{&P::tailcolor_night, kPaleGreen}},
        {"filtercolor_day", ColourField{&P::filtercolor_day, kPaleBlue}},
        {"filtercolor_night", ColourField{&P::filtercolor_night, kPaleBlue}},
        {"stoppedcolor_day", ColourField{&P::stoppedcolor_day, kPaleRed}},
        {"stoppedcolor_night", ColourField{&P::stoppedcolor_night, kPaleRed}},
        {"guifontcolor_day", ColourField{&P::guifontcolor_day, 0}},
        {"guifontcolor_night", ColourField{&P::guifontcolor_night, 0}},
        {"guicolor_day", ColourField{&P::guicolor_day, kButtonFace}},
        {"guicolor_night", ColourField{&P::guicolor_night, kButtonFace}},
        {"daystartat", IntegerField{&P::daystartat, 8}},
        {"nightstartat", IntegerField{&P::nightstartat, 20}},
        {"notifyalert", FlagField{&P::notifyalert, true, &P::SetNotifyAlert}},
        {"notifyfilechange", FlagField{&P::notifyfilechange, false, &P::SetNotifyFileChange}},
        {"colorlinesbylevel", FlagField{&P::colorlinesbylevel, true}},
    };
    return fields;
}

std::optional<quint32> ReadDword(const RegistryKey* key, const QString& name) {
    return key ? key->ReadInteger(name) : std::nullopt;
}

// Missing reads as empty; a value of another type is not a text and gives nullopt (the default).
std::optional<QString> ReadText(const RegistryKey* key, const QString& name) {
    if (!key || !key->ValueExists(name))
        return QString();
    return key->ReadString(name);
}

void LoadField(TTailParam& p, const RegistryKey* key, const ParamField& f) {
    const QString name = QString::fromLatin1(f.name);
    std::visit(Overloaded{
                   [&](const FlagField& k) {
                       const auto v = ReadDword(key, name);
                       const bool value = v ? *v != 0 : k.defaultValue;
                       k.setter ? (p.*k.setter)(value) : void(p.*k.field = value);
                   },
                   [&](const IntegerField& k) {
                       const auto v = ReadDword(key, name);
                       const qint32 value = v ? static_cast<qint32>(*v) : k.defaultValue;
                       k.setter ? (p.*k.setter)(value) : void(p.*k.field = value);
                   },
                   [&](const ColourField& k) {
                       const auto v = ReadDword(key, name);
                       p.*k.field = v ? *v : k.defaultValue;
                   },
                   [&](const TextField& k) {
                       QString value = ReadText(key, name).value_or(QString());
                       if (k.scrambled)
                           value = TTailParam::UnscramblePassword(value);
                       k.setter ? (p.*k.setter)(value) : void(p.*k.field = value);
                   },
               },
               f.kind);
}

void SaveField(const TTailParam& p, RegistryKey& key, const ParamField& f) {
    const QString name = QString::fromLatin1(f.name);
    std::visit(Overloaded{
                   [&](const FlagField& k) { key.WriteInteger(name, p.*k.field ? 1 : 0); },
                   [&](const IntegerField& k) { key.WriteInteger(name, static_cast<quint32>(p.*k.field)); },
                   [&](const ColourField& k) { key.WriteInteger(name, p.*k.field); },
                   [&](const TextField& k) {
                       key.WriteString(name,
                                       k.scrambled ? TTailParam::ScramblePassword(p.*k.field) : p.*k.field);
                   },
               },
               f.kind);
}

} // namespace

TTailParam::TTailParam(DialogService* dialogs, QObject* parent) : QObject(parent), dialogs_(dialogs) {}

void TTailParam::LoadParams() {
    RegistryStore store(RegistryFilePath());
    // An unreadable store counts as an empty one: every value takes its default.
    if (!store.Load())
        store = RegistryStore(RegistryFilePath());
    const RegistryKey* key = store.OpenKeyReadOnly(GlobalKeyPath());
    for (const ParamField& field : ParamFields())
        LoadField(*this, key, field);

    if (alphablendvalue < 50)
        SetAlphaBlendValue(50);
    if (alphablendvalue > 255)
        SetAlphaBlendValue(255);
    if (threadprio < 1 || threadprio > 7)
        threadprio = 4;
    if (filterBAmode < 1 || filterBAmode > 3)
        filterBAmode = 1;
}

bool TTailParam::SaveParams() {
    // Re-read the file so the other keys it holds (written by other processes) are kept. A file that
    // exists but cannot be read is not overwritten: that would drop those keys.
    RegistryStore store(RegistryFilePath());
    QString error;
    bool ok = store.Load(&error);
    if (ok) {
        RegistryKey& key = store.OpenOrCreateKey(GlobalKeyPath());
        for (const ParamField& field : ParamFields())
            SaveField(*this, key, field);
        ok = store.Save(&error);
    }
    if (!ok && dialogs_)
        dialogs_->ShowMessage(DialogService::Icon::Error,
                              QStringLiteral("Unable to save Kovra global parameters in registry. Err=") +
                                  error);
    return ok;
}

// The window owns the tray icon and the translucency; it compares with its current state.
void TTailParam::SetMinimizeToTray(bool value) {
    minimizetotray = value;
    emit MinimizeToTrayChanged(value);
}

void TTailParam::SetUseAlphaBlend(bool value) {
    usealphablend = value;
    emit AlphaBlendChanged(usealphablend, alphablendvalue);
}

void TTailParam::SetAlphaBlendValue(qint32 value) {
    alphablendvalue = value;
    emit AlphaBlendChanged(usealphablend, alphablendvalue);
}

void TTailParam::SetAlwaysOnTop(bool value) {
    alwaysontop = value;
}

void TTailParam::SetRemovePathOnTaskbar(bool value) {
    removepathontaskbar = value;
}

void TTailParam::SetPathComboFontName(const QString& name) {
    pathcombofontname = name.isEmpty() ? kDefaultPathComboFont : name;
}

void TTailParam::SetNotifyAlert(bool value) {
    notifyalert = value;
}

void TTailParam::SetNotifyFileChange(bool value) {
    notifyfilechange = value;
}

QString TTailParam::GetSettingsFolder() {
    return SettingsFolder();
}

QString TTailParam::GetIniFileName() {
    return IniFilePath();
}

// Only the low byte of each character takes part; each scrambled character keys the next one.
QString TTailParam::ScramblePassword(const QString& plain) {
    QString text = plain;
    int key = kScrambleStartKey;
    for (qsizetype i = 0; i < text.size(); ++i) {
        int r = (text[i].unicode() & 0xFF) + key;
        if (r >= 256)
            r -= 224;
        text[i] = QChar(static_cast<char16_t>(r));
        key = r & 0xFF;
    }
    return text;
}

// Walks backwards so that the previous character, the key, is still in scrambled form.
QString TTailParam::UnscramblePassword(const QString& scrambled) {
    QString text = scrambled;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const int key = i == 0 ? kScrambleStartKey : (text[i - 1].unicode() & 0xFF);
        int r = (text[i].unicode() & 0xFF) - key;
        if (r < 32)
            r += 224;
        // A damaged store can give a negative code; it wraps instead of failing.
        text[i] = QChar(static_cast<char16_t>(static_cast<quint16>(r)));
    }
    return text;
}
