#pragma once
// Reaching the display. Qt ends a program whose platform plugin reaches no display with a fatal
// message, an abort and a core dump. While a DisplayStartGuard lives (around the construction of
// the QApplication), that end becomes one line on standard error and exit status 1. Qt's other
// messages wait meanwhile; once the display is reached they go to the previous handler, except
// the plugin loader's notes on the platforms it tried before the one that started: Qt tries
// Wayland first on a Wayland session, and without Qt's Wayland plugin it runs through XWayland,
// which deserves no warning at every start.
// One guard at a time, on the main thread.
#include <string>

class DisplayStartGuard final {
public:
    DisplayStartGuard();
    // Reached(), if it was not called.
    ~DisplayStartGuard();
    DisplayStartGuard(const DisplayStartGuard&) = delete;
    DisplayStartGuard& operator=(const DisplayStartGuard&) = delete;

    // The display was reached: the previous handler comes back and the held messages go to it.
    void Reached();

private:
    bool active_ = true;
};

// "kovra: cannot connect to the display (DISPLAY=":5"); set DISPLAY or WAYLAND_DISPLAY", naming
// the variables that are set (QT_QPA_PLATFORM among them), or saying that none is.
std::string NoDisplayMessage();
