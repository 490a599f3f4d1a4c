#pragma once
// Whether the session bus answers at all, asked with a short bound before anything of Qt's uses
// it. Qt connects to the session bus from the window thread where we cannot move it (the
// accessibility bridge, the tray icon), and a bus that accepts connections and never answers then
// holds that thread for a minute. A bus found silent is given up for the process: its address is
// replaced by one that fails at once, so notifications, the D-Bus tray and the accessibility
// bridge go without it and nothing waits.
//
// Only Unix socket addresses (path=, abstract=) are probed: the first one listed is connected to
// and sent the authentication line every D-Bus client starts with; any answer means it is alive.
// An address of another kind, or none, is left to the bus library.
#include <chrono>

#include <QByteArray>

// True unless the address's bus took connections and said nothing within the bound.
bool SessionBusAnswers(const QByteArray& address, std::chrono::milliseconds bound);

// Main thread, before the application object: probes $DBUS_SESSION_BUS_ADDRESS and, when the bus
// is silent, says so on standard error and points the variable where it fails at once.
void GiveUpASilentSessionBus(std::chrono::milliseconds bound = std::chrono::seconds(2));
