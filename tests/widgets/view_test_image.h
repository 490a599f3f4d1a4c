#pragma once
// What a grabbed view shows.
#include <QColor>
#include <QImage>

// Some pixel of the image has exactly this colour (a mark, a selection, a current match).
inline bool HasColour(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}
