#pragma once
// A session bus of the test's own: dbus-daemon with a configuration that activates no service, so
// only what the test registers answers on it; and a notification service that records the calls
// it receives. The destructor stops the daemon. Test thread only.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

class PrivateSessionBus final {
public:
    PrivateSessionBus() = default;
    ~PrivateSessionBus();
    Q_DISABLE_COPY_MOVE(PrivateSessionBus)

    // false with *error saying why (dbus-daemon missing: install the package dbus).
    bool Start(QString* error);
    QString Address() const { return address_; }
    qint64 Pid() const { return daemon_.processId(); }
    // A new connection of this process to the bus, named name.
    QDBusConnection Connect(const QString& name) const;

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
};

// org.freedesktop.Notifications on its own connection: records every Notify and answers with ids
// from 1 up (the replaced id when one is given). With replies held, Notify is never answered.
class RecordingNotifications final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        uint id = 0;
    };

    RecordingNotifications() = default;
    ~RecordingNotifications() override;

    bool Register(const PrivateSessionBus& bus, QString* error);
    void HoldReplies() { holdReplies_ = true; }
    // Answers the calls held so far (as a slow server does in the end) and holds no more.
    void ReleaseReplies();
    // The user clicks the notification: the service's signal.
    void InvokeAction(uint id, const QString& actionKey);

    QList<Call> calls;

public slots:
    uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int expire_timeout);
    QStringList GetCapabilities();

signals:
    void ActionInvoked(uint id, const QString& action_key);
    void NotificationClosed(uint id, uint reason);

private:
    QString connectionName_;
    bool holdReplies_ = false;
    uint nextId_ = 1;
    QList<std::pair<QDBusMessage, uint>> held_;
};
