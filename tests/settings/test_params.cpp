#include <variant>

#include <QSignalSpy>

#include "settings/uParam.h"
#include "settings_fixture.h"
#include "support/fake_dialogs.h"

#include <sys/stat.h>

namespace {

using P = TTailParam;
using Member = std::variant<bool P::*, qint32 P::*, quint32 P::*, QString P::*>;
using Value = std::variant<bool, qint32, quint32, QString>;

struct Field {
    const char* name;
    Member member;
    Value defaultValue;
};

#define F(m) #m, &P::m

// Every stored global parameter with its built-in default.
const Field kFields[] = {
    {F(minimizetotray), true},
    {F(removepathontaskbar), false},
    {F(usealphablend), false},
    {F(autoexpandtree), true},
    {F(pathcombofontname), QStringLiteral("MS Sans Serif")},
    {F(alphablendvalue), qint32(200)},
    {F(usethread), true},
    {F(threadprio), qint32(4)},
    {F(filterBAmode), qint32(1)},
    {F(alwaysontop), false},
    {F(alertbtf), true},
    {F(playalertsound), false},
    {F(sendalertemail), false},
    {F(alertsoundfile), QString()},
    {F(alertemail), QString()},
    {F(showremlineinfo), false},
    {F(alwaysscroll), false},
    {F(filechangebtf), true},
    {F(playfilechangesound), false},
    {F(filechangesoundonlyifsince), false},
    {F(filechangesoundonlyifsincedelay), qint32(5)},
    {F(filechangesoundonlyifminimized), false},
    {F(filechangesoundfile), QString()},
    {F(smtpserver), QString()},
    {F(smtplogin), QString()},
    {F(smtpfrom), QString()},
    {F(smtppassword), QString()},
    {F(switchdaycolor), false},
    {F(tailcolor_day), quint32(0x00F0FFF0)},
    {F(tailcolor_night), quint32(0x00F0FFF0)},
    {F(filtercolor_day), quint32(0x00FFF0F0)},
    {F(filtercolor_night), quint32(0x00FFF0F0)},
    {F(stoppedcolor_day), quint32(0x00F0F0FF)},
    {F(stoppedcolor_night), quint32(0x00F0F0FF)},
    {F(guifontcolor_day), quint32(0)},
    {F(guifontcolor_night), quint32(0)},
    {F(guicolor_day), quint32(0xFF00000F)},
    {F(guicolor_night), quint32(0xFF00000F)},
    {F(daystartat), qint32(8)},
    {F(nightstartat), qint32(20)},
    {F(notifyalert), true},
    {F(notifyfilechange), false},
    {F(colorlinesbylevel), true},
};

#undef F

Value Get(const P& p, const Field& f) {
    return std::visit([&](auto member) -> Value { return p.*member; }, f.member);
}

// A value unlike the default and inside every checked range.
void SetDistinct(P& p, const Field& f) {
    std::visit(
        [&](auto member) {
            using T = std::decay_t<decltype(p.*member)>;
            const T def = std::get<T>(f.defaultValue);
            if constexpr (std::is_same_v<T, bool>)
                p.*member = !def;
            else if constexpr (std::is_same_v<T, QString>)
                p.*member = QString::fromLatin1(f.name) + QStringLiteral(" é \"q\" \\");
            else if constexpr (std::is_same_v<T, quint32>)
                p.*member = def ^ 0x00010203;
            else
                p.*member = def + 1;
        },
        f.member);
}

std::string Show(const Value& v) {
    return std::visit(
        [](const auto& x) {
            if constexpr (std::is_same_v<std::decay_t<decltype(x)>, QString>)
                return '"' + x.toStdString() + '"';
            else
                return std::to_string(x);
        },
        v);
}

class GlobalParams : public SettingsTest {
protected:
    void StoreGlobals(const std::function<void(RegistryKey&)>& write) {
        RegistryStore store(RegistryPath());
        write(store.OpenOrCreateKey(kGlobalKey));
        ASSERT_TRUE(store.Save());
    }
    FakeDialogService dialogs_;
};

TEST_F(GlobalParams, LoadGivesTheDefaultsWithoutKeyOrValues) {
    for (const bool withEmptyKey : {false, true}) {
        if (withEmptyKey)
            StoreGlobals([](RegistryKey&) {});
        P params(&dialogs_);
        params.LoadParams();
        for (const Field& f : kFields)
            EXPECT_EQ(Get(params, f), f.defaultValue) << f.name << " is " << Show(Get(params, f));
    }
}

TEST_F(GlobalParams, LoadChecksThreadprioFilterModeAndOpacity) {
    const struct {
        const char* name;
        quint32 stored;
        qint32 P::*field;
        qint32 expected;
    } cases[] = {
        {"threadprio", 0, &P::threadprio, 4},
        {"threadprio", 8, &P::threadprio, 4},
        {"threadprio", 7, &P::threadprio, 7},
        {"threadprio", 0xFFFFFFFF, &P::threadprio, 4},
        {"filterBAmode", 0, &P::filterBAmode, 1},
        {"filterBAmode", 4, &P::filterBAmode, 1},
        {"filterBAmode", 3, &P::filterBAmode, 3},
        {"alphablendvalue", 10, &P::alphablendvalue, 50},
        {"alphablendvalue", 50, &P::alphablendvalue, 50},
        {"alphablendvalue", 255, &P::alphablendvalue, 255},
        {"alphablendvalue", 300, &P::alphablendvalue, 255},
        {"alphablendvalue", 0xFFFFFFFF, &P::alphablendvalue, 50},
        {"daystartat", 30, &P::daystartat, 30}, // used as stored
    };
    for (const auto& c : cases) {
        StoreGlobals([&](RegistryKey& key) { key.WriteInteger(c.name, c.stored); });
        P params(&dialogs_);
        QSignalSpy blend(&params, &P::AlphaBlendChanged);
        params.LoadParams();
        EXPECT_EQ(params.*c.field, c.expected) << c.name << " stored as " << c.stored;
        // The window hears of the checked opacity: the last signal carries it.
        ASSERT_FALSE(blend.isEmpty());
        EXPECT_EQ(blend.last().at(1).toInt(), params.alphablendvalue);
    }
}

TEST_F(GlobalParams, ValuesOfAnotherTypeTakeTheirDefaults) {
    StoreGlobals([](RegistryKey& key) {
        key.WriteString("minimizetotray", "0");
        key.WriteString("usealphablend", "1");
        key.WriteRaw("usethread", "hex:00,00,00,00");
        key.WriteString("threadprio", "2");
        key.WriteString("guicolor_day", "255");
        key.WriteInteger("alertemail", 5);
        key.WriteInteger("pathcombofontname", 1);
        key.WriteRaw("smtpserver", "hex(7):41,00,00,00");
        key.WriteInteger("alwaysscroll", 7); // any non-zero integer is on
    });
    P params(&dialogs_);
    params.LoadParams();
    EXPECT_TRUE(params.minimizetotray);
    EXPECT_FALSE(params.usealphablend);
    EXPECT_TRUE(params.usethread);
    EXPECT_EQ(params.threadprio, 4);
    EXPECT_EQ(params.guicolor_day, 0xFF00000Fu);
    EXPECT_EQ(params.alertemail, QString());
    EXPECT_EQ(params.pathcombofontname, "MS Sans Serif");
    EXPECT_EQ(params.smtpserver, QString());
    EXPECT_TRUE(params.alwaysscroll);

    StoreGlobals([](RegistryKey& key) { key.WriteString("pathcombofontname", ""); });
    params.LoadParams();
    EXPECT_EQ(params.pathcombofontname, "MS Sans Serif");
}

TEST_F(GlobalParams, SaveWritesEveryValueAndItLoadsBack) {
    RegistryStore before(RegistryPath());
    before.OpenOrCreateKey("\\Software\\Someone\\else").WriteString("keep", "me");
    ASSERT_TRUE(before.Save());

    P saved(&dialogs_);
    for (const Field& f : kFields)
        SetDistinct(saved, f);
    ASSERT_TRUE(saved.SaveParams());

    RegistryStore store = LoadedRegistry();
    const RegistryKey* key = store.OpenKeyReadOnly(kGlobalKey);
    ASSERT_NE(key, nullptr);
    for (const Field& f : kFields) {
        const bool text = std::holds_alternative<QString P::*>(f.member);
        EXPECT_EQ(key->ValueType(f.name), text ? RegValueType::String : RegValueType::Dword) << f.name;
    }
    EXPECT_EQ(key->ReadInteger("minimizetotray"), 0u);
    EXPECT_EQ(key->ReadInteger("alwaysontop"), 1u);
    EXPECT_NE(key->ReadString("smtppassword"), saved.smtppassword) << "never stored in plain text";
    ASSERT_NE(store.OpenKeyReadOnly("\\Software\\Someone\\else"), nullptr) << "other keys are kept";

    P loaded(&dialogs_);
    loaded.LoadParams();
    for (const Field& f : kFields)
        EXPECT_EQ(Get(loaded, f), Get(saved, f)) << f.name;
    EXPECT_TRUE(dialogs_.AllShown().empty());
}

TEST_F(GlobalParams, FailedSaveIsReportedAndAnswersFalse) {
    BlockSettingsFolder();
    P params(&dialogs_);
    params.LoadParams();
    EXPECT_FALSE(params.SaveParams());
    ASSERT_EQ(dialogs_.AllShown().size(), 1u);
    const auto& shown = dialogs_.AllShown().front();
    EXPECT_EQ(shown.icon, DialogService::Icon::Error);
    const QString prefix = "Unable to save Kovra global parameters in registry. Err=";
    EXPECT_TRUE(shown.text.startsWith(prefix)) << shown.text.toStdString();
    EXPECT_GT(shown.text.size(), prefix.size()) << "the error's own text is missing";
}

// A registry.reg that is a FIFO, a link to a device or a huge file loads the defaults at once,
// and a save says why it cannot write rather than blocking, growing or replacing it.
TEST_F(GlobalParams, StoreThatIsNoRegularFileGivesDefaultsAndIsNeverReplaced) {
    for (const char* kind : {"fifo", "device", "huge"}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(QDir(Folder()).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(Folder()));
        const QByteArray native = QFile::encodeName(RegistryPath());
        if (QByteArray(kind) == "fifo") {
            ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
        } else if (QByteArray(kind) == "device") {
            ASSERT_TRUE(QFile::link("/dev/zero", RegistryPath()));
        } else {
            QFile huge(RegistryPath());
            ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(64) << 20));
        }
        FakeDialogService dialogs;
        P params(&dialogs);
        params.LoadParams();
        for (const Field& f : kFields)
            EXPECT_EQ(Get(params, f), f.defaultValue) << f.name;
        EXPECT_TRUE(dialogs.AllShown().empty()) << "an unreadable store is not reported at the load";
        EXPECT_FALSE(params.SaveParams());
        ASSERT_EQ(dialogs.Texts().size(), 1u);
        const QString reason =
            QByteArray(kind) == "huge" ? "the file is larger than 16 MiB" : "not a regular file";
        EXPECT_EQ(dialogs.Texts()[0],
                  "Unable to save Kovra global parameters in registry. Err=Cannot read \"" + RegistryPath() +
                      "\": " + reason);
        struct stat info {};
        ASSERT_EQ(::lstat(native.constData(), &info), 0);
        EXPECT_FALSE(S_ISREG(info.st_mode) && info.st_size < (qint64(64) << 20)) << "the file was replaced";
    }
}

// Reading the store costs a lookup per value, not a search: 200,000 values load, every one in
// place (the figures are in the settings benchmark).
TEST_F(GlobalParams, StoreOfTwoHundredThousandValuesLoadsWhole) {
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Quorvel\\global]\n";
    for (int i = 0; i < 200000; ++i)
        text += "\"extra" + QByteArray::number(i) + "\"=dword:" + QByteArray::number(i, 16) + "\n";
    text += "\"threadprio\"=dword:00000006\n";
    WriteText(RegistryPath(), text);
    RegistryStore store(RegistryPath());
    ASSERT_TRUE(store.Load());
    const RegistryKey* key = store.OpenKeyReadOnly(kGlobalKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ValueNames().size(), 200001);
    EXPECT_EQ(key->ReadInteger("EXTRA199999"), 199999u);
    P params(&dialogs_);
    params.LoadParams();
    EXPECT_EQ(params.threadprio, 6);
}

TEST_F(GlobalParams, PasswordsRoundTrip) {
    QString printable;
    for (char16_t c = 32; c <= 126; ++c)
        printable += QChar(c);
    QStringList passwords = {QString(), printable, "~~~~~~~~", "        "};
    for (char16_t c = 32; c <= 126; ++c)
        passwords += QString(3, QChar(c));
    for (const QString& plain : passwords) {
        const QString scrambled = P::ScramblePassword(plain);
        EXPECT_EQ(P::UnscramblePassword(scrambled), plain) << plain.toStdString();
        EXPECT_TRUE(plain.isEmpty() || scrambled != plain) << plain.toStdString();
    }

    // Stored passwords depend on the start key 0x4B: the first character is shifted by it, each
    // later one by the scrambled character before it, taking 224 off from 256 on.
    const QString scrambled = P::ScramblePassword("AB~");
    const int a = 'A' + 0x4B, b = 'B' + a, tilde = '~' + b - 224;
    const QChar expected[] = {QChar(a), QChar(b), QChar(tilde)};
    EXPECT_EQ(scrambled, QString(expected, 3));

    P saved(&dialogs_);
    saved.smtppassword = printable;
    ASSERT_TRUE(saved.SaveParams());
    P loaded(&dialogs_);
    loaded.LoadParams();
    EXPECT_EQ(loaded.smtppassword, printable);
}

} // namespace
