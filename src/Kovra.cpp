// Program entry: the application, its one tail window, the message loop.
#include <QApplication>

#include "platform/quit_signals.h"
#include "window/fTail.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kovra"));
    // The window may hide itself into the tray; only its own closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QuitSignalWatcher quitSignals;
    TFormTail window;
    QObject::connect(&quitSignals, &QuitSignalWatcher::quitRequested, &window, &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.close(); });
    window.show();
    return QApplication::exec();
}
