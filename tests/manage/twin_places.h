#pragma once
// Where things are in the real program's windows, read from twins built in this process (the
// layouts are the same): a control of the tail window, a widget of a dialog, and a window's place
// once the X server has settled it. For the tests that drive the program with XDriver.
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include "window/tail_widgets.h"
#include "window_parts/wait_until.h"
#include "x_driver.h"

// Where a control of the tail window sits in a window of that size: its layout is absolute.
template <typename W> QPoint TailWindowPoint(const QSize& size, W* TailWidgets::*control) {
    QMainWindow twin;
    const TailWidgets widgets = BuildTailWidgets(&twin);
    twin.resize(size);
    twin.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&twin));
    PlaceTailWidgets(widgets, twin.centralWidget(), false);
    QWidget* widget = widgets.*control;
    return widget->mapTo(&twin, widget->rect().center());
}

// The tail window's interface font, which the dialogs it opens inherit: a twin needs it to be
// laid out like them.
inline void UseInterfaceFont(QWidget& twin) {
    QFont font = twin.font();
    font.setPointSize(8);
    twin.setFont(font);
}

// Where the window is once it stopped moving and resizing (a new window is mapped first and
// then given its size).
inline QRect SettledGeometry(const QString& window) {
    QRect last;
    QRect now = XDriver::Geometry(window);
    WaitUntil([&] {
        last = now;
        QTest::qWait(100);
        now = XDriver::Geometry(window);
        return now == last;
    });
    return now;
}

template <typename W> QPoint CentreIn(const QWidget& window, const W* widget) {
    return widget->mapTo(&window, widget->rect().center());
}
