#include "x_driver.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "window_parts/wait_until.h"

namespace {

constexpr int kWindowDeadlineMs = 20000;

} // namespace

bool XDriver::Available() {
    if (!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return true;
    ADD_FAILURE() << "xdotool is missing: the tests of the real program's dialogs drive them with it "
                     "(scripts/setup installs it)";
    return false;
}

QString XDriver::Run(const QStringList& arguments, bool* ok) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    *ok = xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
          xdotool.exitCode() == 0;
    return QString::fromLocal8Bit(xdotool.readAllStandardOutput());
}

QString XDriver::FindWindow(qint64 pid, const QString& titlePattern) {
    QString found;
    WaitUntil(
        [&] {
            bool ok = false;
            const QString out =
                Run({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), titlePattern},
                    &ok);
            found = ok ? out.split(u'\n', Qt::SkipEmptyParts).value(0).trimmed() : QString();
            return !found.isEmpty();
        },
        kWindowDeadlineMs);
    return found;
}

QRect XDriver::Geometry(const QString& window) {
    bool ok = false;
    const QString out = Run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, &ok);
    if (!ok)
        return {};
    QRect rect;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QString key = line.section(u'=', 0, 0);
        const int value = line.section(u'=', 1).toInt();
        if (key == QLatin1String("X"))
            rect.moveLeft(value);
        else if (key == QLatin1String("Y"))
            rect.moveTop(value);
        else if (key == QLatin1String("WIDTH"))
            rect.setWidth(value);
        else if (key == QLatin1String("HEIGHT"))
            rect.setHeight(value);
    }
    return rect;
}

bool XDriver::Click(const QPoint& screen, int button) {
    bool ok = false;
    Run({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(screen.x()),
         QString::number(screen.y()), QStringLiteral("click"), QString::number(button)},
        &ok);
    return ok;
}
