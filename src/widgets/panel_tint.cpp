#include "widgets/panel_tint.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "util/colors.h"

qint64 ScreenColorCount(const QWidget& widget) {
    const QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen();
    return DisplayColorCount(screen ? screen->depth() : 24);
}

void ApplyTaggedPanelTint(QWidget& window, quint32 color, qint64 displayColorCount) {
    const QColor tint = ResolveColor(TintColor(color, displayColorCount, window.palette()), window.palette());
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (child->property("tag").toInt() != 1)
            continue;
        QPalette palette = child->palette();
        palette.setColor(QPalette::Window, tint);
        child->setPalette(palette);
        child->setAutoFillBackground(true);
    }
}
