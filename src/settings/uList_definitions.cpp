// File definitions: decoding getters, checked setters, inheritance from the default definition.
#include "settings/uList.h"

#include <algorithm>

#include <QFont>
#include <QFontInfo>

namespace {

QString Number(qint32 value) {
    return QString::number(value);
}

// A damaged Level must not ask for gigabytes of blanks; no real tree is this deep.
constexpr qint32 kMaxDisplayedLevel = 1000;

} // namespace

// ---- TBaseTailFile: the own fields, decoded ----

QString TBaseTailFile::GetFontName() const {
    return FontName;
}
qint32 TBaseTailFile::GetFontSize() const {
    return DecodeInteger(FontSize);
}
quint32 TBaseTailFile::GetFontColor() const {
    return static_cast<quint32>(DecodeInteger(FontColor));
}
bool TBaseTailFile::GetKillline() const {
    return DecodeFlag(Killline);
}
bool TBaseTailFile::GetKillspace() const {
    return DecodeFlag(Killspace);
}
bool TBaseTailFile::GetWrap() const {
    return DecodeFlag(Wrap);
}
bool TBaseTailFile::GetNewlineOnly() const {
    return DecodeFlag(NewlineOnly);
}
bool TBaseTailFile::GetKeepWindowSize() const {
    return DecodeFlag(KeepWindowSize);
}
bool TBaseTailFile::GetUseTabs() const {
    return DecodeFlag(UseTabs);
}
qint32 TBaseTailFile::GetTabsVal() const {
    return DecodeInteger(TabsVal);
}
bool TBaseTailFile::GetAutooffset() const {
    return DecodeFlag(Autooffset);
}
qint32 TBaseTailFile::GetOffsetVal() const {
    return DecodeInteger(OffsetVal);
}
bool TBaseTailFile::GetAutotimer() const {
    return DecodeFlag(Autotimer);
}
qint32 TBaseTailFile::GetRefreshRate() const {
    return DecodeInteger(RefreshRate);
}
qint32 TBaseTailFile::GetBufferkoVal() const {
    return DecodeInteger(BufferkoVal);
}
QString TBaseTailFile::GetUserCmd() const {
    return UserCmd;
}
qint32 TBaseTailFile::GetReadMethod() const {
    return DecodeInteger(ReadMethod);
}

TFontStyle TBaseTailFile::GetFontStyle() const {
    return TFontStyle{DecodeFlag(FontStyleBold), DecodeFlag(FontStyleItalic), DecodeFlag(FontStyleUnderline),
                      DecodeFlag(FontStyleStrikeOut)};
}

// ---- TBaseTailFile: setters ----

void TBaseTailFile::SetKillline(bool on) {
    Killline = EncodeFlag(on);
}
void TBaseTailFile::SetKillspace(bool on) {
    Killspace = EncodeFlag(on);
}
void TBaseTailFile::SetWrap(bool on) {
    Wrap = EncodeFlag(on);
}
void TBaseTailFile::SetNewlineOnly(bool on) {
    NewlineOnly = EncodeFlag(on);
}
void TBaseTailFile::SetKeepWindowSize(bool on) {
    KeepWindowSize = EncodeFlag(on);
}
void TBaseTailFile::SetUseTabs(bool on) {
    UseTabs = EncodeFlag(on);
}
void TBaseTailFile::SetAutooffset(bool on) {
    Autooffset = EncodeFlag(on);
}
void TBaseTailFile::SetAutotimer(bool on) {
    Autotimer = EncodeFlag(on);
}
void TBaseTailFile::SetTabsVal(qint32 value) {
    TabsVal = value > 0 ? Number(value) : QStringLiteral("1");
}
void TBaseTailFile::SetRefreshRate(qint32 value) {
    RefreshRate = value > 0 ? Number(value) : QStringLiteral("1");
}
void TBaseTailFile::SetBufferkoVal(qint32 value) {
    BufferkoVal = Number(value);
}
void TBaseTailFile::SetUserCmd(const QString& command) {
    UserCmd = command;
}

void TBaseTailFile::SetReadMethod(qint32 value) {
    ReadMethod = (value >= 1 && value <= 3) ? Number(value) : QStringLiteral("1");
}

void TBaseTailFile::SetFontStyle(const TFontStyle& style) {
    FontStyleBold = EncodeFlag(style.Bold);
    FontStyleItalic = EncodeFlag(style.Italic);
    FontStyleUnderline = EncodeFlag(style.Underline);
    FontStyleStrikeOut = EncodeFlag(style.StrikeOut);
}

void TBaseTailFile::SetFromFont(const QFont& font, quint32 color) {
    FontName = font.family();
    // A font sized in pixels has no point size of its own; ask what it comes to on the screen.
    const int points = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
    FontSize = Number(points);
    SetFontStyle(TFontStyle{font.bold(), font.italic(), font.underline(), font.strikeOut()});
    FontColor = Number(static_cast<qint32>(color));
}

void TBaseTailFile::AssignToFont(QFont& font, quint32* color) const {
    font.setFamily(GetFontName());
    // A size of 0 or less (damaged store) keeps the font's size: QFont refuses it anyway.
    if (GetFontSize() > 0)
        font.setPointSize(GetFontSize());
    const TFontStyle style = GetFontStyle();
    font.setBold(style.Bold);
    font.setItalic(style.Italic);
    font.setUnderline(style.Underline);
    font.setStrikeOut(style.StrikeOut);
    if (color)
        *color = GetFontColor();
}

// ---- TDefTailFile ----

void TDefTailFile::FillDefaults() {
    const auto fillEmpty = [](QString& field, const char* value) {
        if (field.isEmpty())
            field = QString::fromLatin1(value);
    };
    const auto fillBelowOne = [](QString& field, const char* value) {
        if (DecodeInteger(field) < 1)
            field = QString::fromLatin1(value);
    };
    fillEmpty(Killspace, "O");
    fillEmpty(Killline, "N");
    fillEmpty(UseTabs, "O");
    fillEmpty(Wrap, "N");
    fillBelowOne(TabsVal, "75");
    fillEmpty(NewlineOnly, "N");
    fillEmpty(Autooffset, "O");
    fillEmpty(OffsetVal, "0");
    fillBelowOne(BufferkoVal, "50");
    fillEmpty(Autotimer, "N");
    fillBelowOne(RefreshRate, "1");
    fillBelowOne(ReadMethod, "1");
    fillEmpty(FontName, "Courier New");
    fillEmpty(FontSize, "8");
    fillEmpty(FontColor, "0");
    fillEmpty(KeepWindowSize, "N");
}

// ---- TTailFile: inheritance from the default definition ----
// Without a default definition (never the case inside a list) a file uses its own values.

QString TTailFile::GetFontName() const {
    return (FontName.isEmpty() && DefFile) ? DefFile->GetFontName() : FontName;
}

qint32 TTailFile::GetFontSize() const {
    const qint32 own = TBaseTailFile::GetFontSize();
    return (own <= 0 && DefFile) ? DefFile->GetFontSize() : own;
}

quint32 TTailFile::GetFontColor() const {
    return (TrimBlanksAndControls(FontColor).isEmpty() && DefFile) ? DefFile->GetFontColor()
                                                                   : TBaseTailFile::GetFontColor();
}

bool TTailFile::GetKillline() const {
    return (Killline.isEmpty() && DefFile) ? DefFile->GetKillline() : TBaseTailFile::GetKillline();
}

bool TTailFile::GetKillspace() const {
    return (Killspace.isEmpty() && DefFile) ? DefFile->GetKillspace() : TBaseTailFile::GetKillspace();
}

bool TTailFile::GetWrap() const {
    return (Wrap.isEmpty() && DefFile) ? DefFile->GetWrap() : TBaseTailFile::GetWrap();
}

bool TTailFile::GetKeepWindowSize() const {
    return (KeepWindowSize.isEmpty() && DefFile) ? DefFile->GetKeepWindowSize()
                                                 : TBaseTailFile::GetKeepWindowSize();
}

bool TTailFile::GetUseTabs() const {
    return (UseTabs.isEmpty() && DefFile) ? DefFile->GetUseTabs() : TBaseTailFile::GetUseTabs();
}

qint32 TTailFile::GetTabsVal() const {
    return (TabsVal.isEmpty() && DefFile) ? DefFile->GetTabsVal() : TBaseTailFile::GetTabsVal();
}

bool TTailFile::GetAutooffset() const {
    return (Autooffset.isEmpty() && DefFile) ? DefFile->GetAutooffset() : TBaseTailFile::GetAutooffset();
}

qint32 TTailFile::GetOffsetVal() const {
    return (OffsetVal.isEmpty() && DefFile) ? DefFile->GetOffsetVal() : TBaseTailFile::GetOffsetVal();
}

bool TTailFile::GetAutotimer() const {
    return (Autotimer.isEmpty() && DefFile) ? DefFile->GetAutotimer() : TBaseTailFile::GetAutotimer();
}

qint32 TTailFile::GetRefreshRate() const {
    const qint32 own = TBaseTailFile::GetRefreshRate();
    return (own <= 0 && DefFile) ? DefFile->GetRefreshRate() : own;
}

qint32 TTailFile::GetBufferkoVal() const {
    return (BufferkoVal.isEmpty() && DefFile) ? DefFile->GetBufferkoVal() : TBaseTailFile::GetBufferkoVal();
}

QString TTailFile::GetUserCmd() const {
    return (UserCmd.isEmpty() && DefFile) ? DefFile->GetUserCmd() : UserCmd;
}

// The style goes with the face: a file naming its own font uses its own flags, even empty ones.
TFontStyle TTailFile::GetFontStyle() const {
    return (FontName.isEmpty() && DefFile) ? DefFile->GetFontStyle() : TBaseTailFile::GetFontStyle();
}

qint32 TTailFile::GetReadMethod() const {
    const qint32 own = TBaseTailFile::GetReadMethod();
    return (own <= 0 && DefFile) ? DefFile->GetReadMethod() : own;
}

// ---- TTailFile: own properties ----

bool TTailFile::IsEnabled() const {
    return Enabled != QStringLiteral("N");
}
void TTailFile::SetEnabled(bool on) {
    Enabled = EncodeFlag(on);
}
qint32 TTailFile::GetLevel() const {
    return DecodeInteger(Level);
}
void TTailFile::SetLevel(qint32 level) {
    Level = Number(level);
}
qint32 TTailFile::GetWindowWidth() const {
    return DecodeInteger(WindowWidth);
}
qint32 TTailFile::GetWindowHeight() const {
    return DecodeInteger(WindowHeight);
}

QString TTailFile::GetDisplayName() const {
    const qint32 level = std::clamp(GetLevel(), 0, kMaxDisplayedLevel);
    return QString(5 * level, QLatin1Char(' ')) + (Path.isEmpty() ? Alias : Path);
}

bool TTailFile::StoreWindowSize(qint32 width, qint32 height) {
    const bool differs = WindowWidth.isEmpty() || WindowHeight.isEmpty() || GetWindowWidth() != width ||
                         GetWindowHeight() != height;
    if (!differs)
        return false;
    WindowWidth = Number(width);
    WindowHeight = Number(height);
    return true;
}
