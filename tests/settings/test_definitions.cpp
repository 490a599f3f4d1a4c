#include <functional>

#include <QFont>

#include "platform/ini_file.h"
#include "settings/uList.h"
#include "settings_fixture.h"

namespace {

using B = TBaseTailFile;

QString On(bool on) {
    return on ? "on" : "off";
}
QString Style(const TFontStyle& s) {
    return QString(s.Bold ? "B" : "") + (s.Italic ? "I" : "") + (s.Underline ? "U" : "") +
           (s.StrikeOut ? "S" : "");
}

// The 18 effective-value getters in slot order, each shown as text.
const std::map<QString, std::function<QString(const B&)>> kGetters = {
    {"FontName", [](const B& d) { return d.GetFontName(); }},
    {"FontSize", [](const B& d) { return QString::number(d.GetFontSize()); }},
    {"FontColor", [](const B& d) { return QString::number(d.GetFontColor()); }},
    {"Killline", [](const B& d) { return On(d.GetKillline()); }},
    {"Killspace", [](const B& d) { return On(d.GetKillspace()); }},
    {"Wrap", [](const B& d) { return On(d.GetWrap()); }},
    {"NewlineOnly", [](const B& d) { return On(d.GetNewlineOnly()); }},
    {"KeepWindowSize", [](const B& d) { return On(d.GetKeepWindowSize()); }},
    {"UseTabs", [](const B& d) { return On(d.GetUseTabs()); }},
    {"TabsVal", [](const B& d) { return QString::number(d.GetTabsVal()); }},
    {"Autooffset", [](const B& d) { return On(d.GetAutooffset()); }},
    {"OffsetVal", [](const B& d) { return QString::number(d.GetOffsetVal()); }},
    {"Autotimer", [](const B& d) { return On(d.GetAutotimer()); }},
    {"RefreshRate", [](const B& d) { return QString::number(d.GetRefreshRate()); }},
    {"BufferkoVal", [](const B& d) { return QString::number(d.GetBufferkoVal()); }},
    {"UserCmd", [](const B& d) { return d.GetUserCmd(); }},
    {"FontStyle", [](const B& d) { return Style(d.GetFontStyle()); }},
    {"ReadMethod", [](const B& d) { return QString::number(d.GetReadMethod()); }},
};

// Every stored setting in written order, with its field.
const std::vector<std::pair<QString, QString B::*>> kSettings = {
    {"UserCmd", &B::UserCmd},
    {"Killspace", &B::Killspace},
    {"Killline", &B::Killline},
    {"KeepWindowSize", &B::KeepWindowSize},
    {"WindowWidth", &B::WindowWidth},
    {"WindowHeight", &B::WindowHeight},
    {"UseTabs", &B::UseTabs},
    {"Wrap", &B::Wrap},
    {"NewlineOnly", &B::NewlineOnly},
    {"TabsVal", &B::TabsVal},
    {"Autooffset", &B::Autooffset},
    {"OffsetVal", &B::OffsetVal},
    {"BufferkoVal", &B::BufferkoVal},
    {"Autotimer", &B::Autotimer},
    {"RefreshRate", &B::RefreshRate},
    {"ReadMethod", &B::ReadMethod},
    {"FontName", &B::FontName},
    {"FontSize", &B::FontSize},
    {"FontColor", &B::FontColor},
    {"FontStyleBold", &B::FontStyleBold},
    {"FontStyleItalic", &B::FontStyleItalic},
    {"FontStyleUnderline", &B::FontStyleUnderline},
    {"FontStyleStrikeOut", &B::FontStyleStrikeOut},
};

TEST(FileDefinition, AllGettersInheritFromTheDefaultDefinition) {
    // Every value of the default differs from what an empty own value decodes to.
    TDefTailFile def;
    for (QString* flag :
         {&def.Killline, &def.Killspace, &def.Wrap, &def.NewlineOnly, &def.KeepWindowSize, &def.UseTabs,
          &def.Autooffset, &def.Autotimer, &def.FontStyleBold, &def.FontStyleItalic})
        *flag = "O";
    def.FontName = "Courier New";
    def.FontSize = "13";
    def.FontColor = "255";
    def.TabsVal = "75";
    def.OffsetVal = "9";
    def.RefreshRate = "3";
    def.BufferkoVal = "50";
    def.UserCmd = "less %s";
    def.ReadMethod = "2";

    const TTailFile fresh(&def);
    for (const auto& [name, get] : kGetters)
        EXPECT_EQ(get(fresh), name == "NewlineOnly" ? "off" : get(def)) << name.toStdString();

    const struct {
        const char* getter;
        QString B::*field;
        const char* own;
        const char* expected;
    } cases[] = {
        {"FontName", &B::FontName, "Arial", "Arial"},
        {"FontSize", &B::FontSize, "11", "11"},
        {"FontSize", &B::FontSize, "0", "13"},
        {"FontSize", &B::FontSize, "-3", "13"},
        {"FontSize", &B::FontSize, "abc", "13"},
        {"FontColor", &B::FontColor, "0", "0"},
        {"FontColor", &B::FontColor, " \t ", "255"},
        {"FontColor", &B::FontColor, "-16777201", "4278190095"},
        {"Killline", &B::Killline, "N", "off"},
        {"Killspace", &B::Killspace, "N", "off"},
        {"Wrap", &B::Wrap, "x", "off"},
        {"NewlineOnly", &B::NewlineOnly, "O", "on"},
        {"KeepWindowSize", &B::KeepWindowSize, "N", "off"},
        {"UseTabs", &B::UseTabs, "N", "off"},
        {"TabsVal", &B::TabsVal, "0", "0"},
        {"TabsVal", &B::TabsVal, "8", "8"},
        {"Autooffset", &B::Autooffset, "N", "off"},
        {"OffsetVal", &B::OffsetVal, "0", "0"},
        {"Autotimer", &B::Autotimer, "N", "off"},
        {"RefreshRate", &B::RefreshRate, "5", "5"},
        {"RefreshRate", &B::RefreshRate, "0", "3"},
        {"RefreshRate", &B::RefreshRate, "-1", "3"},
        {"BufferkoVal", &B::BufferkoVal, "0", "0"},
        {"UserCmd", &B::UserCmd, "gedit %s", "gedit %s"},
        {"ReadMethod", &B::ReadMethod, "3", "3"},
        {"ReadMethod", &B::ReadMethod, "junk", "2"},
        // The style goes with the face: own face, own (empty) style; no own face, the default's.
        {"FontStyle", &B::FontName, "Arial", ""},
        {"FontStyle", &B::FontStyleStrikeOut, "O", "BI"},
    };
    for (const auto& c : cases) {
        TTailFile file(&def);
        file.*c.field = QString::fromUtf8(c.own);
        EXPECT_EQ(kGetters.at(c.getter)(file), QString::fromUtf8(c.expected)) << c.getter << " own " << c.own;
    }
    TTailFile styled(&def);
    styled.FontName = "Arial";
    styled.FontStyleUnderline = "O";
    EXPECT_EQ(Style(styled.GetFontStyle()), "U");
}

TEST(FileDefinition, SettersCheckTheirValues) {
    const struct {
        std::function<void(B&)> set;
        QString B::*field;
        const char* expected;
    } cases[] = {
        {[](B& d) { d.SetReadMethod(4); }, &B::ReadMethod, "1"},
        {[](B& d) { d.SetReadMethod(0); }, &B::ReadMethod, "1"},
        {[](B& d) { d.SetReadMethod(3); }, &B::ReadMethod, "3"},
        {[](B& d) { d.SetTabsVal(0); }, &B::TabsVal, "1"},
        {[](B& d) { d.SetTabsVal(20); }, &B::TabsVal, "20"},
        {[](B& d) { d.SetRefreshRate(-2); }, &B::RefreshRate, "1"},
        {[](B& d) { d.SetBufferkoVal(0); }, &B::BufferkoVal, "0"},
        {[](B& d) { d.SetBufferkoVal(-7); }, &B::BufferkoVal, "-7"},
        {[](B& d) { d.SetWrap(true); }, &B::Wrap, "O"},
        {[](B& d) { d.SetKillline(false); }, &B::Killline, "N"},
        {[](B& d) {
             d.SetFontStyle({false, false, true, false});
         },
         &B::FontStyleUnderline, "O"},
        {[](B& d) {
             d.SetFontStyle({false, false, true, false});
         },
         &B::FontStyleBold, "N"},
    };
    for (const auto& c : cases) {
        TDefTailFile def;
        c.set(def);
        EXPECT_EQ(def.*c.field, c.expected);
    }
}

TEST(FileDefinition, FlagTextsAndEnabled) {
    for (const char* on : {"O", "o", "OUI", "Oui", "oUï"}) {
        TDefTailFile def;
        def.Wrap = QString::fromUtf8(on);
        EXPECT_TRUE(def.GetWrap()) << on;
    }
    for (const char* off : {"N", "1", "", "ON", " O"}) {
        TDefTailFile def;
        def.Wrap = off;
        EXPECT_FALSE(def.GetWrap()) << off;
    }
    TTailFile file(nullptr);
    for (const char* enabled : {"n", "", "O", "Non"}) {
        file.Enabled = enabled;
        EXPECT_TRUE(file.IsEnabled()) << enabled;
    }
    file.Enabled = "N";
    EXPECT_FALSE(file.IsEnabled());
}

TEST(FileDefinition, FontRoundTripsThroughTheDefinition) {
    QFont font("DejaVu Sans", 11);
    font.setBold(true);
    font.setStrikeOut(true);
    TDefTailFile def;
    def.SetFromFont(font, 0xFF00000F);
    EXPECT_EQ(def.FontColor, "-16777201") << "colours are stored as signed decimal";

    QFont shown("Serif", 20);
    shown.setItalic(true);
    quint32 colour = 0;
    def.AssignToFont(shown, &colour);
    EXPECT_EQ(shown.family(), font.family());
    EXPECT_EQ(shown.pointSize(), 11);
    EXPECT_EQ(Style({shown.bold(), shown.italic(), shown.underline(), shown.strikeOut()}), "BS");
    EXPECT_EQ(colour, 0xFF00000Fu);

    // A pixel-sized font still gives a point size; a damaged size leaves the font's own.
    font.setPixelSize(16);
    def.SetFromFont(font, 0);
    EXPECT_GT(def.FontSize.toInt(), 0);
    def.FontSize = "-2";
    def.AssignToFont(shown, nullptr);
    EXPECT_EQ(shown.pointSize(), 11);
}

TEST(FileDefinition, DisplayNameAndWindowSize) {
    TTailFile file(nullptr);
    file.Alias = "system";
    file.Level = "2";
    EXPECT_EQ(file.GetDisplayName(), "          system");
    file.Path = "/var/log/syslog";
    file.Level = "-1";
    EXPECT_EQ(file.GetDisplayName(), "/var/log/syslog");
    file.Level = "2147483647";
    EXPECT_LE(file.GetDisplayName().size(), 10000) << "a damaged level must not ask for billions of blanks";

    EXPECT_TRUE(file.StoreWindowSize(800, 600));
    EXPECT_EQ(file.WindowWidth + "x" + file.WindowHeight, "800x600");
    EXPECT_FALSE(file.StoreWindowSize(800, 600));
    EXPECT_TRUE(file.StoreWindowSize(800, 601));
    EXPECT_EQ(file.GetWindowHeight(), 601);
}

class DefinitionStorage : public SettingsTest {};

TEST_F(DefinitionStorage, IniRoundTripKeepsEveryFieldInTheStoredOrder) {
    TDefTailFile def;
    TTailFile file(&def);
    for (const auto& [name, field] : kSettings) {
        def.*field = "def " + name + " \"é\"=\\";
        file.*field = "file " + name + " [x]";
    }
    def.Path = "/var/log/last one.log";
    file.Path = "/home/zoë/it's \"quoted\".log";
    file.Alias = "Zoë's log";
    file.Enabled = "N";
    file.Level = "3";
    file.State = "some state";

    IniFile written(IniPath());
    def.WriteToIni(written, kFilesKey, "def");
    file.WriteToIni(written, kFilesKey, "7");
    ASSERT_TRUE(written.Save());

    IniFile read(IniPath());
    ASSERT_TRUE(read.Load());
    TDefTailFile defBack;
    defBack.ReadFromIni(read, kFilesKey, "def");
    TTailFile fileBack(&defBack);
    ASSERT_TRUE(fileBack.ReadFromIni(read, kFilesKey, "7"));
    QStringList order = {"Pathdef"};
    for (const auto& [name, field] : kSettings) {
        EXPECT_EQ(defBack.*field, def.*field);
        EXPECT_EQ(fileBack.*field, file.*field);
        order += name + "def";
    }
    EXPECT_EQ(defBack.Path, def.Path);
    const auto own = [](const TTailFile& f) {
        return QStringList{f.Path, f.Enabled, f.Alias, f.Level, f.State};
    };
    EXPECT_EQ(own(fileBack), own(file));
    for (const QString name : {"Path", "Enabled", "Alias", "Level", "State"})
        order += name + "7";
    for (const auto& [name, field] : kSettings)
        order += name + "7";
    EXPECT_EQ(read.ValueNames(kFilesKey), order);
}

TEST_F(DefinitionStorage, RegistryFormBufferValFontColourAndWrongTypes) {
    RegistryKey key(kFilesKey);
    key.WriteString("Path0", " /logs/a.log\t");
    key.WriteString("BufferVal0", "102400");
    key.WriteString("FontColor0", "255");
    key.WriteInteger("Enabled0", 0);
    key.WriteInteger("Level0", 2);
    key.WriteString("Alias1", "group");
    key.WriteString("BufferkoVal1", "7");
    key.WriteString("BufferVal1", "2048");
    key.WriteString("Path2", "/logs/c.log");
    key.WriteString("BufferVal2", "-3000");

    TTailFile a(nullptr);
    a.Level = "kept";
    ASSERT_TRUE(a.ReadFromRegistry(key, "0"));
    EXPECT_EQ(a.Path, "/logs/a.log");
    EXPECT_EQ(a.BufferkoVal, "100");
    EXPECT_EQ(a.FontColor, "") << "the registry form holds no font colour";
    EXPECT_EQ(a.Enabled, "O") << "an Enabled of another type means enabled";
    EXPECT_EQ(a.Level, "kept") << "another value of another type leaves the field";
    TTailFile b(nullptr);
    ASSERT_TRUE(b.ReadFromRegistry(key, "1"));
    EXPECT_EQ(b.BufferkoVal, "7");
    TTailFile c(nullptr);
    ASSERT_TRUE(c.ReadFromRegistry(key, "2"));
    EXPECT_EQ(c.BufferkoVal, "-2") << "the division rounds toward zero";
    TTailFile missing(nullptr);
    EXPECT_FALSE(missing.ReadFromRegistry(key, "3"));

    // The INI reader takes the old value too, but never writes it back.
    WriteText(IniPath(), "[\\Software\\Velmora\\Quorvel\\files]\nPath0=/x\nBufferVal0=4096\n");
    IniFile ini(IniPath());
    ASSERT_TRUE(ini.Load());
    TTailFile fromIni(nullptr);
    ASSERT_TRUE(fromIni.ReadFromIni(ini, kFilesKey, "0"));
    fromIni.WriteToIni(ini, kFilesKey, "0");
    EXPECT_EQ(ini.ReadString(kFilesKey, "BufferkoVal0"), "4");

    key.WriteInteger("Pathdef", 1);
    TDefTailFile def;
    EXPECT_THROW(def.ReadFromRegistry(key, "def"), std::runtime_error);
}

} // namespace
