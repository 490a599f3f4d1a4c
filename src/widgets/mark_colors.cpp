#include "widgets/mark_colors.h"

#include <algorithm>
#include <cmath>

namespace {

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

QColor Mix(const QColor& base, const QColor& hue, double amount) {
    const auto mix = [amount](int a, int b) { return int(std::lround(a + (b - a) * amount)); };
    return QColor(mix(base.red(), hue.red()), mix(base.green(), hue.green()), mix(base.blue(), hue.blue()));
}

// The strongest tint, from `strength` down, that leaves the text readable: as readable as on the
// plain background, within 4.5:1 (the usual bar for body text), or the weakest step tried.
QColor Tint(const QColor& base, const QColor& text, const QColor& hue, double strength) {
    const double wanted = std::min(4.5, ContrastRatio(text, base) * 0.9);
    QColor tinted = Mix(base, hue, strength);
    for (double amount = strength; amount > 0.15 && ContrastRatio(text, tinted) < wanted; amount -= 0.05)
        tinted = Mix(base, hue, amount);
    return tinted;
}

// The hue moved towards black or white (whichever the background is further from), as little as
// makes it read as body text does (4.5:1) or as well as the plain text does, if that is less.
QColor Readable(const QColor& base, const QColor& text, const QColor& hue) {
    const double wanted = std::min(4.5, ContrastRatio(text, base) * 0.9);
    const QColor extreme =
        ContrastRatio(Qt::black, base) >= ContrastRatio(Qt::white, base) ? Qt::black : Qt::white;
    QColor readable = hue;
    for (double amount = 0.05; amount <= 1.0 && ContrastRatio(readable, base) < wanted; amount += 0.05)
        readable = Mix(hue, extreme, amount);
    return readable;
}

// The text moved towards the background, keeping at least 3:1 (large-text legibility).
QColor Dimmed(const QColor& base, const QColor& text) {
    QColor dimmed = Mix(text, base, 0.45);
    for (double amount = 0.4; amount > 0 && ContrastRatio(dimmed, base) < 3.0; amount -= 0.05)
        dimmed = Mix(text, base, amount);
    return dimmed;
}

} // namespace

LevelColors LevelColorsFor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    return {Readable(base, text, QColor(225, 20, 20)), Readable(base, text, QColor(235, 150, 0)),
            Dimmed(base, text)};
}

QColor TextColorOn(const QColor& background, const QPalette& palette) {
    if (ContrastRatio(palette.color(QPalette::Text), background) >= 4.5)
        return {};
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

MarkColors MarkColorsFor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    return {Tint(base, text, QColor(255, 225, 0), 0.4), Tint(base, text, QColor(235, 0, 0), 0.35),
            Tint(base, text, QColor(0, 170, 255), 0.35), Tint(base, text, QColor(255, 130, 0), 0.7), text};
}
