#include "private_bus.h"

#include <csignal>

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

namespace {

// A session bus on a socket in folder, open to this user, with no service directory.
QByteArray BusConfig(const QString& folder) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:dir=" +
           folder.toUtf8() +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

} // namespace

PrivateSessionBus::~PrivateSessionBus() {
    if (daemon_.state() != QProcess::NotRunning) {
        ::kill(pid_t(daemon_.processId()), SIGCONT); // a test may have stopped it
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
}

bool PrivateSessionBus::Start(QString* error) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is missing: install Debian's dbus (scripts/setup does)");
        return false;
    }
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!folder_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(BusConfig(folder_.path())) < 0) {
        *error = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    file.close();
    daemon_.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
    const QDeadlineTimer deadline(20000);
    while (!daemon_.canReadLine()) {
        if (deadline.hasExpired() || daemon_.state() == QProcess::NotRunning ||
            !daemon_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (daemon_.canReadLine())
                break;
            *error = QStringLiteral("dbus-daemon gave no address: ") +
                     QString::fromLocal8Bit(daemon_.readAllStandardError());
            return false;
        }
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    return !address_.isEmpty();
}

QDBusConnection PrivateSessionBus::Connect(const QString& name) const {
    return QDBusConnection::connectToBus(address_, name);
}

RecordingNotifications::~RecordingNotifications() {
    if (!connectionName_.isEmpty())
        QDBusConnection::disconnectFromBus(connectionName_);
}

bool RecordingNotifications::Register(const PrivateSessionBus& bus, QString* error) {
    connectionName_ = QStringLiteral("recorder");
    QDBusConnection connection = bus.Connect(connectionName_);
    if (!connection.isConnected()) {
        *error = QStringLiteral("cannot connect to the private bus: ") + connection.lastError().message();
        return false;
    }
    if (!connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !connection.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        *error =
            QStringLiteral("cannot register the notification service: ") + connection.lastError().message();
        return false;
    }
    return true;
}

void RecordingNotifications::InvokeAction(uint id, const QString& actionKey) {
    emit ActionInvoked(id, actionKey);
}

uint RecordingNotifications::Notify(const QString& app_name, uint replaces_id, const QString&,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int) {
    const uint id = replaces_id != 0 ? replaces_id : nextId_++;
    calls.append(Call{app_name, replaces_id, summary, body, actions, hints, id});
    if (holdReplies_) {
        setDelayedReply(true);
        held_.append({message(), id}); // answered only if the test releases it
    }
    return id;
}

void RecordingNotifications::ReleaseReplies() {
    holdReplies_ = false;
    QDBusConnection connection(connectionName_);
    for (const auto& [call, id] : std::as_const(held_))
        connection.send(call.createReply(id));
    held_.clear();
}

QStringList RecordingNotifications::GetCapabilities() {
    return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
}
