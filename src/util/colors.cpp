#include "util/colors.h"

#include <array>
#include <limits>

namespace {

constexpr quint32 Channel(quint32 rgb, int shift) {
    return (rgb >> shift) & 0xFFu;
}

// Windows COLOR_* indexes 0..30 and the palette colour closest in meaning. Index 5 (COLOR_WINDOW)
// is the background of edit fields, so it is Base, not Window; its text (8) is Text.
constexpr std::array<SystemColorRole, 31> kSystemRoles = {{
    {QPalette::Active, QPalette::Button},            // 0 SCROLLBAR
    {QPalette::Active, QPalette::Dark},              // 1 BACKGROUND (desktop)
    {QPalette::Active, QPalette::Highlight},         // 2 ACTIVECAPTION
    {QPalette::Inactive, QPalette::Highlight},       // 3 INACTIVECAPTION
    {QPalette::Active, QPalette::Window},            // 4 MENU
    {QPalette::Active, QPalette::Base},              // 5 WINDOW
    {QPalette::Active, QPalette::Shadow},            // 6 WINDOWFRAME
    {QPalette::Active, QPalette::WindowText},        // 7 MENUTEXT
    {QPalette::Active, QPalette::Text},              // 8 WINDOWTEXT
    {QPalette::Active, QPalette::HighlightedText},   // 9 CAPTIONTEXT
    {QPalette::Active, QPalette::Window},            // 10 ACTIVEBORDER
    {QPalette::Inactive, QPalette::Window},          // 11 INACTIVEBORDER
    {QPalette::Active, QPalette::Mid},               // 12 APPWORKSPACE
    {QPalette::Active, QPalette::Highlight},         // 13 HIGHLIGHT
    {QPalette::Active, QPalette::HighlightedText},   // 14 HIGHLIGHTTEXT
    {QPalette::Active, QPalette::Button},            // 15 BTNFACE
    {QPalette::Active, QPalette::Dark},              // 16 BTNSHADOW
    {QPalette::Disabled, QPalette::Text},            // 17 GRAYTEXT
    {QPalette::Active, QPalette::ButtonText},        // 18 BTNTEXT
    {QPalette::Inactive, QPalette::HighlightedText}, // 19 INACTIVECAPTIONTEXT
    {QPalette::Active, QPalette::Light},             // 20 BTNHIGHLIGHT
    {QPalette::Active, QPalette::Shadow},            // 21 3DDKSHADOW
    {QPalette::Active, QPalette::Midlight},          // 22 3DLIGHT
    {QPalette::Active, QPalette::ToolTipText},       // 23 INFOTEXT
    {QPalette::Active, QPalette::ToolTipBase},       // 24 INFOBK
    {QPalette::Active, QPalette::Window},            // 25 (unused)
    {QPalette::Active, QPalette::Link},              // 26 HOTLIGHT
    {QPalette::Active, QPalette::Highlight},         // 27 GRADIENTACTIVECAPTION
    {QPalette::Inactive, QPalette::Highlight},       // 28 GRADIENTINACTIVECAPTION
    {QPalette::Active, QPalette::Highlight},         // 29 MENUHILIGHT
    {QPalette::Active, QPalette::Window},            // 30 MENUBAR
}};

quint32 AddCapped(quint32 rgb, quint32 step) {
    quint32 result = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        result |= qMin(Channel(rgb, shift) + step, 0xFFu) << shift;
    return result;
}

} // namespace

bool IsSystemColor(quint32 color) {
    return (color & kSystemColorFlag) == kSystemColorFlag;
}

QColor ColorToQColor(quint32 color) {
    return QColor(static_cast<int>(Channel(color, 0)), static_cast<int>(Channel(color, 8)),
                  static_cast<int>(Channel(color, 16)));
}

quint32 QColorToColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<quint32>(rgb.red()) | static_cast<quint32>(rgb.green()) << 8 |
           static_cast<quint32>(rgb.blue()) << 16;
}

SystemColorRole SystemColorToRole(quint8 index) {
    if (index < kSystemRoles.size())
        return kSystemRoles[index];
    return {QPalette::Active, QPalette::Window};
}

QColor ResolveColor(quint32 color, const QPalette& palette) {
    if (!IsSystemColor(color))
        return ColorToQColor(color);
    const SystemColorRole role = SystemColorToRole(static_cast<quint8>(color & 0xFFu));
    return palette.color(role.group, role.role);
}

quint32 LightenColor(quint32 rgb) {
    constexpr quint32 kWhite = 0xFFFFFFu;
    quint32 lightened = 0;
    for (quint32 step : {16u, 8u, 4u, 2u}) {
        lightened = AddCapped(rgb, step);
        if (lightened != kWhite)
            break;
    }
    return lightened;
}

quint32 TintColor(quint32 color, qint64 displayColorCount, const QPalette& palette) {
    if (displayColorCount <= 300)
        return color;
    return LightenColor(QColorToColor(ResolveColor(color, palette)));
}

qint64 DisplayColorCount(int depthBits) {
    if (depthBits < 0)
        return 1;
    if (depthBits >= 63)
        return std::numeric_limits<qint64>::max();
    return qint64{1} << depthBits;
}
