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
    // The view's text: marked text is drawn in it, over a level's or a rule's text colour, since
    // the tints are chosen for it.
    QColor text;
};
MarkColors MarkColorsFor(const QPalette& palette);

// Text colours of lines by level, derived from the view's palette like the marks: the error family
// red and warnings amber, each as near its hue as reads on the background; debug and trace
// dimmed towards the background but still readable.
struct LevelColors {
    QColor error;
    QColor warning;
    QColor debug;
};
LevelColors LevelColorsFor(const QPalette& palette);

// Text on a background the user chose (a highlight rule): the palette's text colour where it
// reads there, else black or white, whichever reads better; invalid when the palette's reads.
QColor TextColorOn(const QColor& background, const QPalette& palette);

// WCAG contrast ratio of two colours, 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
