#pragma once
// AlertNotifier on the freedesktop notification service (org.freedesktop.Notifications) over Qt
// D-Bus. Each notification replaces this notifier's previous one; at most one is sent per
// kMinIntervalMs, the alerts in between being folded into the next ("3 more alerts"), which goes
// out when the interval has passed. Every call to the bus is asynchronous: without a bus or a
// service nothing is shown and nothing waits.
//
// Threads: lives on the window thread, whose event loop must run. Notify may be called from any
// thread (it queues the notice to the window thread); the rest on the window thread only.
#include <functional>
#include <optional>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include "platform/alert_notifier.h"

class NotificationsSignals;

class DbusAlertNotifier final : public QObject, public AlertNotifier {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DbusAlertNotifier)

public:
    static constexpr int kMinIntervalMs = 2000;
    static constexpr int kMaxLineLength = 200;

    // bus: the session bus in the program, a private bus in tests. icon goes along as the
    // notification's image (none when null).
    DbusAlertNotifier(const QDBusConnection& bus, const QImage& icon, QObject* parent = nullptr);
    ~DbusAlertNotifier() override;

    void Notify(AlertKind kind, const QString& fileName, const QString& line) override;
    void SetActivationHandler(std::function<void()> handler) override;

    // The notification's texts: the summary, and the body with the file name, the line (elided,
    // markup escaped) and the count of alerts folded into it.
    static QString Summary(AlertKind kind);
    static QString Body(const QString& fileName, const QString& line, int folded);

private:
    struct Notice {
        AlertKind kind;
        QString fileName;
        QString line;
    };

    void Queue(const Notice& notice);
    void SendPending();
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnClosed(uint id);

    QDBusConnection bus_;
    QVariant image_;                          // the "image-data" hint, or null
    NotificationsSignals* signals_ = nullptr; // Qt parent: this
    std::function<void()> onActivated_;
    std::optional<Notice> pending_;
    int folded_ = 0; // notices since the last one sent that the pending one stands for besides itself
    uint lastId_ = 0;
    QElapsedTimer sinceSent_;
    QTimer trailing_;
};
