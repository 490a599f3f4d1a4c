#include "platform/dbus_alert_notifier.h"

#include <atomic>
#include <mutex>
#include <thread>

#include <QDBusAbstractInterface>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr char kInterface[] = "org.freedesktop.Notifications";

// The "image-data" hint: raw RGBA rows, in the (iiibiiay) form the notification service reads.
struct NotificationImage {
    qint32 width = 0;
    qint32 height = 0;
    qint32 rowStride = 0;
    bool hasAlpha = true;
    qint32 bitsPerSample = 8;
    qint32 channels = 4;
    QByteArray data;
};

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const NotificationImage& image) {
    out.beginStructure();
    out << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
        << image.channels << image.data;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, NotificationImage& image) {
    in.beginStructure();
    in >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample >>
        image.channels >> image.data;
    in.endStructure();
    return in;
}

QVariant ImageHint(const QImage& icon) {
    if (icon.isNull())
        return {};
    const QImage rgba = icon.convertToFormat(QImage::Format_RGBA8888);
    NotificationImage image;
    image.width = rgba.width();
    image.height = rgba.height();
    image.rowStride = qint32(rgba.bytesPerLine());
    image.data = QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    return QVariant::fromValue(image);
}

QString Elided(const QString& line) {
    if (line.size() <= DbusAlertNotifier::kMaxLineLength)
        return line;
    qsizetype keep = DbusAlertNotifier::kMaxLineLength - 1;
    if (line.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    return line.left(keep) + QChar(0x2026);
}

// Threads inside a connection attempt.
std::atomic<int> g_connecting{0};

} // namespace

// What the connecting thread hands the notifier; the notifier lets go of it when it goes first.
struct DbusAlertNotifier::HandOff {
    std::mutex lock;
    DbusAlertNotifier* notifier = nullptr; // null once the notifier is gone
};

// The service's signals as Qt signals: the base class relays the D-Bus signals of the same names
// once something connects to them.
class NotificationsSignals final : public QDBusAbstractInterface {
    Q_OBJECT
public:
    // From any sender: naming the service would make Qt ask the bus for its owner, and wait.
    NotificationsSignals(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(QString(), kPath, kInterface, bus, parent) {}

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

// Not connected until UseBus: a connection of no name is none.
DbusAlertNotifier::DbusAlertNotifier(const QImage& icon) : bus_(QString()) {
    qDBusRegisterMetaType<NotificationImage>();
    image_ = ImageHint(icon);
    trailing_.setSingleShot(true);
    connect(&trailing_, &QTimer::timeout, this, &DbusAlertNotifier::SendPending);
}

DbusAlertNotifier::DbusAlertNotifier(const QDBusConnection& bus, const QImage& icon, QObject* parent)
    : DbusAlertNotifier(icon) {
    setParent(parent);
    UseBus(bus);
}

std::unique_ptr<DbusAlertNotifier>
DbusAlertNotifier::ForSessionBus(const QImage& icon, std::function<QDBusConnection()> connect) {
    std::unique_ptr<DbusAlertNotifier> notifier(new DbusAlertNotifier(icon));
    if (!connect)
        connect = [] { return QDBusConnection::sessionBus(); };
    auto handOff = std::make_shared<HandOff>();
    handOff->notifier = notifier.get();
    notifier->handOff_ = handOff;
    ++g_connecting;
    try {
        // Left to end by itself: it may be held inside the bus library for as long as the bus
        // takes, and nothing may wait for it. It touches the notifier only through the hand-off.
        std::thread([handOff, connect = std::move(connect)] {
            const QDBusConnection bus = connect();
            {
                const std::lock_guard guard(handOff->lock);
                if (DbusAlertNotifier* to = handOff->notifier)
                    QMetaObject::invokeMethod(
                        to, [to, bus] { to->UseBus(bus); }, Qt::QueuedConnection);
            }
            --g_connecting;
        }).detach();
    } catch (const std::system_error&) {
        --g_connecting; // no thread: no notifications
    }
    return notifier;
}

bool DbusAlertNotifier::ConnectionPending() {
    return g_connecting.load() > 0;
}

void DbusAlertNotifier::UseBus(const QDBusConnection& bus) {
    bus_ = bus;
    if (bus_.isConnected()) {
        signals_ = new NotificationsSignals(bus_, this);
        connect(signals_, &NotificationsSignals::ActionInvoked, this, &DbusAlertNotifier::OnActionInvoked);
        connect(signals_, &NotificationsSignals::NotificationClosed, this,
                [this](uint id, uint) { OnClosed(id); });
    }
    busKnown_ = true;
    emit busKnown();
}

DbusAlertNotifier::~DbusAlertNotifier() {
    if (handOff_) {
        const std::lock_guard guard(handOff_->lock);
        handOff_->notifier = nullptr;
    }
}

void DbusAlertNotifier::Notify(AlertKind kind, const QString& fileName, const QString& line) {
    QMetaObject::invokeMethod(
        this, [this, notice = Notice{kind, fileName, line}] { Queue(notice); }, Qt::QueuedConnection);
}

void DbusAlertNotifier::SetActivationHandler(std::function<void()> handler) {
    onActivated_ = std::move(handler);
}

QString DbusAlertNotifier::Summary(AlertKind kind) {
    return kind == AlertKind::Text ? QStringLiteral("Kovra alert") : QStringLiteral("Kovra: file changed");
}

QString DbusAlertNotifier::Body(const QString& fileName, const QString& line, int folded) {
    QString body = fileName.toHtmlEscaped();
    if (!line.isEmpty())
        body += u'\n' + Elided(line).toHtmlEscaped();
    if (folded == 1)
        body += QStringLiteral("\n1 more alert");
    else if (folded > 1)
        body += QStringLiteral("\n%1 more alerts").arg(folded);
    return body;
}

void DbusAlertNotifier::Queue(const Notice& notice) {
    if (pending_)
        ++folded_; // replaced before it was shown: counted into the next
    pending_ = notice;
    Schedule();
}

// The pending notice goes out once the interval has passed and no call waits for its answer.
void DbusAlertNotifier::Schedule() {
    if (!pending_ || trailing_.isActive() || calling_)
        return;
    const qint64 elapsed = sinceSent_.isValid() ? sinceSent_.elapsed() : qint64(kMinIntervalMs);
    if (elapsed >= kMinIntervalMs)
        SendPending();
    else
        trailing_.start(int(kMinIntervalMs - elapsed));
}

void DbusAlertNotifier::SendPending() {
    trailing_.stop();
    if (!pending_ || calling_)
        return;
    const Notice notice = *pending_;
    const int folded = folded_;
    pending_.reset();
    folded_ = 0;
    sinceSent_.start();
    if (!bus_.isConnected())
        return;

    QVariantMap hints;
    if (image_.isValid())
        hints.insert(QStringLiteral("image-data"), image_);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, QString::fromLatin1(kInterface),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Kovra") << lastId_ << QString() << Summary(notice.kind)
         << Body(notice.fileName, notice.line, folded)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Kovra")} << hints << qint32(-1);
    calling_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isValid())
            lastId_ = reply.value(); // no service, a refusal or no answer: nothing to replace
        finished->deleteLater();
        calling_ = false;
        Schedule();
    });
}

void DbusAlertNotifier::OnActionInvoked(uint id, const QString& actionKey) {
    if (id != 0 && id == lastId_ && actionKey == QStringLiteral("default") && onActivated_)
        onActivated_();
}

void DbusAlertNotifier::OnClosed(uint id) {
    if (id == lastId_)
        lastId_ = 0; // gone: the next one is a new notification
}

#include "dbus_alert_notifier.moc"
