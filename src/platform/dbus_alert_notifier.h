#pragma once
// AlertNotifier on the freedesktop notification service (org.freedesktop.Notifications) over Qt
// D-Bus. Each notification replaces this notifier's previous one; at most one is sent per
// kMinIntervalMs, the alerts in between being folded into the next ("3 more alerts"), which goes
// out when the interval has passed. Every call to the bus is asynchronous: without a bus or a
// service nothing is shown and nothing waits. One call is out at a time: the next one waits for
// its answer, which names the notification to replace (a slow server would otherwise get a new
// one each time), or for kCallTimeoutMs.
//
// Connecting to the session bus takes as long as the bus takes to answer, a minute for one that
// accepts and never answers; ForSessionBus connects on a thread of its own and, until the bus is
// there, drops what it would have shown. A process that ends while such a connection is still
// being made ends without waiting for it (ConnectionPending).
//
// Threads: lives on the window thread, whose event loop must run. Notify may be called from any
// thread (it queues the notice to the window thread); the rest on the window thread only.
#include <functional>
#include <memory>
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
    static constexpr int kCallTimeoutMs = 10000;
    static constexpr int kMaxLineLength = 200;

    // bus: a connection made already (a private bus in tests). icon goes along as the
    // notification's image (none when null).
    DbusAlertNotifier(const QDBusConnection& bus, const QImage& icon, QObject* parent = nullptr);
    // On the session bus, connected off the window thread; `connect` is what connects (the
    // session bus when empty), run on that thread.
    static std::unique_ptr<DbusAlertNotifier> ForSessionBus(const QImage& icon,
                                                            std::function<QDBusConnection()> connect = {});
    ~DbusAlertNotifier() override;

    // A connection is being made on a thread that has not returned: the process must not wait for
    // the bus library's end, which waits for that thread.
    static bool ConnectionPending();
    // Connected or known to be unreachable (busKnown was emitted).
    bool BusKnown() const { return busKnown_; }

    void Notify(AlertKind kind, const QString& fileName, const QString& line) override;
    void SetActivationHandler(std::function<void()> handler) override;

    // The notification's texts: the summary, and the body with the file name, the line (elided,
    // markup escaped) and the count of alerts folded into it.
    static QString Summary(AlertKind kind);
    static QString Body(const QString& fileName, const QString& line, int folded);

signals:
    // The bus is known (connected or not): what else asks the session bus will not wait on ours.
    void busKnown();

private:
    struct Notice {
        AlertKind kind;
        QString fileName;
        QString line;
    };

    struct HandOff;
    explicit DbusAlertNotifier(const QImage& icon);
    void UseBus(const QDBusConnection& bus);
    void Queue(const Notice& notice);
    void Schedule();
    void SendPending();
    void Answered(uint id);
    void OnActionInvoked(uint id, const QString& actionKey);
    void OnClosed(uint id);

    QDBusConnection bus_;
    QVariant image_;                          // the "image-data" hint, or null
    NotificationsSignals* signals_ = nullptr; // Qt parent: this
    std::function<void()> onActivated_;
    std::optional<Notice> pending_;
    int folded_ = 0; // notices since the last one sent that the pending one stands for besides itself
    uint lastId_ = 0;
    bool calling_ = false; // a Notify call waits for its answer
    bool busKnown_ = false;
    std::shared_ptr<HandOff> handOff_; // with the connecting thread, while there is one
    QElapsedTimer sinceSent_;
    QTimer trailing_;
};
