#pragma once
// The tagged-panel tint: every panel and label of a window marked with the dynamic property
// "tag" = 1 shows a lightened copy of a colour (the colour itself on displays of at most 300
// colours). Window thread only.
#include <QtGlobal>

class QWidget;

// 2 ^ (bits per pixel) of the screen the widget is on (or the primary screen).
qint64 ScreenColorCount(const QWidget& widget);

void ApplyTaggedPanelTint(QWidget& window, quint32 color, qint64 displayColorCount);
