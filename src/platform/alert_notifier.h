#pragma once
// Tells the desktop that an alert fired, beside the alerts window, the sound and the e-mail. The
// D-Bus implementation shows freedesktop notifications; tests substitute their own.
#include <functional>

#include <QString>

enum class AlertKind { Text, FileChange };

class AlertNotifier {
public:
    virtual ~AlertNotifier() = default;
    // Any thread; never waits for the desktop. line is empty for a file change.
    virtual void Notify(AlertKind kind, const QString& fileName, const QString& line) = 0;
    // Window thread. handler runs on the window thread when the user clicks a notification this
    // notifier showed; an empty handler stops that.
    virtual void SetActivationHandler(std::function<void()> handler) = 0;
};
