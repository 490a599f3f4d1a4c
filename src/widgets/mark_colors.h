#pragma once
// Backgrounds for marked text, derived from a view's palette so that they read in day and night
// colours and in the user's own: each is the view's background tinted towards a hue, only as far
// as the text keeps its contrast on it.
#include <QColor>
#include <QPalette>

struct MarkColors {
    QColor filter;  // parts matching the filter: a light tint
    QColor alert;   // parts matching the alert (drawn bold): a red tint
    QColor find;    // every match of the find bar
    QColor current; // the find bar's current match: the strongest tint
};
MarkColors MarkColorsFor(const QPalette& palette);

// WCAG contrast ratio of two colours, 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
