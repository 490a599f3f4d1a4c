#pragma once
// 32-bit colour values as stored in the settings: red in the low byte, then green, then blue.
// A high byte of 0xFF marks a system colour whose index (a Windows COLOR_* number) is the low
// byte, e.g. 0xFF00000F for the button face; it is resolved through a QPalette.

#include <QColor>
#include <QPalette>
#include <QtGlobal>

inline constexpr quint32 kSystemColorFlag = 0xFF000000u;
inline constexpr quint32 kColorBtnFace = kSystemColorFlag | 15u;

bool IsSystemColor(quint32 color);

// Plain colours only: the high byte is ignored.
QColor ColorToQColor(quint32 color);
// Opaque RGB; alpha is dropped.
quint32 QColorToColor(const QColor& color);

// The palette colour that stands for a system colour index; unknown indexes give Window.
struct SystemColorRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};
SystemColorRole SystemColorToRole(quint8 index);

// Any 32-bit colour as a QColor: system colours come from the palette.
QColor ResolveColor(quint32 color, const QPalette& palette);

// The tagged-panel tint's lightening of a plain colour: +16 on each channel, capped at 255;
// when that makes all three 255, +8, then +4, then +2 (the last try stands). The high byte is
// ignored and the result has none.
quint32 LightenColor(quint32 rgb);

// The tint colour: unchanged when the display shows at most 300 colours; otherwise the colour,
// resolved through the palette when it is a system colour, lightened.
quint32 TintColor(quint32 color, qint64 displayColorCount, const QPalette& palette);

// 2 raised to the colour depth in bits, in 64 bits. A depth of 63 or more gives the largest
// qint64 instead of overflowing; a negative depth gives 1.
qint64 DisplayColorCount(int depthBits);
