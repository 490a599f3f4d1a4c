#pragma once
// Driving the real program's windows on the X server of xvfb-run as a user would, through
// xdotool (XTEST pointer and key events): find a window of a process by its title, read where it
// is, click. Where a control sits inside a window is read from a twin of that window built in
// this process (the layouts are the same). Test thread only.
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

class XDriver final {
public:
    // Fails the test (with the reason) when xdotool is missing: scripts/setup installs it.
    static bool Available();
    // A visible window of process pid whose title matches the regular expression; waits for it.
    // Empty when none appears within the deadline.
    static QString FindWindow(qint64 pid, const QString& titlePattern);
    // The window's place on the screen; invalid when it cannot be read.
    static QRect Geometry(const QString& window);
    static bool Click(const QPoint& screen, int button = 1);

private:
    static QString Run(const QStringList& arguments, bool* ok);
};
