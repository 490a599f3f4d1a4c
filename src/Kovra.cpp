// Program entry: the application, its one tail window, the message loop.
#include <QApplication>

#include "kovra_version.h"
#include "platform/display_start.h"
#include "platform/file_names.h"
#include "platform/quit_signals.h"
#include "platform/session_bus_probe.h"
#include "program_switches.h"
#include "window/fTail.h"

int main(int argc, char** argv) {
    if (const std::optional<int> status = AnswerProgramSwitches(argc, argv))
        return *status;
    // Before Qt can use the bus from this thread: a bus that never answers would hold it.
    GiveUpASilentSessionBus();
    DisplayStartGuard displayStart;
    QApplication app(argc, argv);
    displayStart.Reached();
    QApplication::setApplicationName(QStringLiteral("kovra"));
    // The installed desktop entry's name: a Wayland desktop finds the icon and the menu entry by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(KOVRA_APP_ID));
    // The window may hide itself into the tray; only its own closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // First, before the window can open a box: a quit signal from here on is never lost.
    QuitSignalWatcher quitSignals;
    TailWindowServices services;
    services.quitSignals = &quitSignals;
    // A file name is taken with its bytes as they are, so any existing file can be followed.
    for (int i = 0; i < argc; ++i)
        services.arguments << DecodeFileName(argv[i]);
    TFormTail window(services);
    // A quit asked for while the window was being made closes it as soon as the loop runs.
    if (!window.ClosingUnattended())
        window.show();
    return QApplication::exec();
}
