#include "platform/instances.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPidBits = 22; // PID_MAX_LIMIT on 64-bit Linux is 2^22
constexpr int kSerialLimit = 1 << (31 - kPidBits);
const QString kSiblingPrefix = QStringLiteral("KOVRA -");
// Enough for any caption; a longer line is a peer that does not speak our protocol.
constexpr qsizetype kMaxLineBytes = 4096;

std::atomic<int> g_nextSerial{0};

QString SocketName(qint32 handle) {
    return QStringLiteral("w%1").arg(handle);
}

// Where a channel binds and starts listening before its socket appears under its own name. The
// name is not one the enumeration looks at, so nobody connects to it while it does not listen.
QString BindingName(qint32 handle) {
    return QStringLiteral("t%1").arg(handle);
}

std::optional<qint32> HandleFromName(const QString& name) {
    if (name.size() < 2 || name[0] != u'w')
        return std::nullopt;
    bool ok = false;
    const int value = name.mid(1).toInt(&ok);
    if (!ok || value < 0 || SocketName(value) != name)
        return std::nullopt;
    return value;
}

bool IsSocketFile(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

struct Sibling {
    QString caption;
    quint32 identity = 0;
    qint32 handle = 0;
    QString path;
};

bool WriteAll(QLocalSocket& socket, const QByteArray& data) {
    if (socket.write(data) != data.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kInstanceTimeoutMs))
            return false;
    }
    return true;
}

// The process that made the socket is gone: its pid, the low bits of the handle, names no process.
// A live pid may be another program by now; its socket then stays, refusing, until it is reused.
bool OwnerIsDead(const QString& path) {
    const auto handle = HandleFromName(QFileInfo(path).fileName());
    if (!handle)
        return false;
    const pid_t pid = static_cast<pid_t>(*handle & ((1 << kPidBits) - 1));
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Connects within the timeout. A refused connection means nobody listens there now: the socket
// of a dead process, which is removed so that later enumerations do not pay for it again, or of a
// live one that is closing, which removes it itself.
bool ConnectTo(QLocalSocket& socket, const QString& path) {
    socket.connectToServer(path);
    if (socket.waitForConnected(kInstanceTimeoutMs))
        return true;
    if (socket.error() == QLocalSocket::ConnectionRefusedError && IsSocketFile(path) && OwnerIsDead(path))
        QFile::remove(path);
    return false;
}

std::optional<QByteArray> ReadLine(QLocalSocket& socket, const QDeadlineTimer& deadline,
                                   qsizetype maxBytes = kMaxLineBytes) {
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() > maxBytes || deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return std::nullopt;
    }
    const QByteArray line = socket.readLine();
    if (line.size() > maxBytes + 1 || !line.endsWith('\n'))
        return std::nullopt;
    return line.chopped(1);
}

std::optional<Sibling> Query(const QString& path, qint32 handle) {
    QLocalSocket socket;
    if (!ConnectTo(socket, path) || !WriteAll(socket, "QUERY\n"))
        return std::nullopt;
    const QDeadlineTimer deadline(kInstanceTimeoutMs);
    const auto caption = ReadLine(socket, deadline);
    const auto identity = caption ? ReadLine(socket, deadline) : std::nullopt;
    if (!identity)
        return std::nullopt;
    bool ok = false;
    const quint32 value = identity->toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return Sibling{QString::fromUtf8(*caption), value, handle, path};
}

std::vector<Sibling> Siblings() {
    const QString folder = InstanceFolder();
    if (folder.isEmpty())
        return {};
    const QDir dir(folder);
    std::vector<std::pair<qint32, QString>> sockets;
    for (const QString& name :
         dir.entryList(QDir::System | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const auto handle = HandleFromName(name);
        if (handle && IsSocketFile(dir.filePath(name)))
            sockets.emplace_back(*handle, dir.filePath(name));
    }
    std::sort(sockets.begin(), sockets.end());
    std::vector<Sibling> siblings;
    for (const auto& [handle, path] : sockets) {
        auto sibling = Query(path, handle);
        if (sibling && sibling->caption.startsWith(kSiblingPrefix, Qt::CaseSensitive))
            siblings.push_back(std::move(*sibling));
    }
    return siblings;
}

bool Post(const QString& path, int mode) {
    QLocalSocket socket;
    if (!ConnectTo(socket, path))
        return false;
    const bool written = WriteAll(socket, QByteArrayLiteral("SHOWHIDE ") + QByteArray::number(mode) + '\n');
    socket.disconnectFromServer();
    return written;
}

void PostToAll(int mode) {
    for (const Sibling& sibling : Siblings())
        Post(sibling.path, mode);
}

} // namespace

// The listening end: owns the server on its own thread, from listen to removal of the socket.
class InstanceResponder final : public QThread {
public:
    // path: the socket's own name; bindingPath: where it listens before it is renamed there.
    InstanceResponder(InstanceChannel& channel, QString path, QString bindingPath)
        : m_channel(channel), m_path(std::move(path)), m_bindingPath(std::move(bindingPath)) {}
    ~InstanceResponder() override {
        quit();
        wait();
    }

    bool StartListening() {
        std::future<bool> listening = m_listening.get_future();
        start();
        return listening.get();
    }

protected:
    void run() override {
        QLocalServer server;
        // A file with these names can only be left over from a dead process that had our pid.
        QLocalServer::removeServer(m_bindingPath);
        const bool ok = server.listen(m_bindingPath) && Publish();
        m_listening.set_value(ok);
        if (!ok)
            return;
        QObject::connect(&server, &QLocalServer::newConnection, &server, [this, &server] { Accept(server); });
        exec();
        server.close();
        Unpublish();
    }

private:
    // The socket appears under its own name only once it listens, in one step: a sibling never
    // finds it refusing, so never takes it for a dead process's socket and removes it.
    bool Publish() {
        const QByteArray path = QFile::encodeName(m_path);
        struct stat info {};
        if (::rename(QFile::encodeName(m_bindingPath).constData(), path.constData()) != 0 ||
            ::lstat(path.constData(), &info) != 0)
            return false;
        m_inode = info.st_ino;
        return true;
    }

    // Removes the socket unless something else has taken its name meanwhile.
    void Unpublish() {
        const QByteArray path = QFile::encodeName(m_path);
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_ino == m_inode)
            ::unlink(path.constData());
    }

    void Accept(QLocalServer& server) {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { Serve(*socket); });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void Serve(QLocalSocket& socket) {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine(kMaxLineBytes).trimmed();
            if (line == "QUERY") {
                QString caption = m_channel.Caption();
                caption.replace(u'\n', u' ');
                socket.write(caption.toUtf8() + '\n' + QByteArray::number(m_channel.Identity()) + '\n');
            } else if (line == "DESCRIBE" || line == "DESCRIBE VIEW") {
                socket.write(
                    DescriptionText(line == "DESCRIBE" ? DescribeDetail::Summary : DescribeDetail::WithView));
            } else if (line.startsWith("SHOWHIDE ")) {
                bool ok = false;
                const int mode = line.mid(9).toInt(&ok);
                if (ok && (mode == kShowHideRestore || mode == kShowHideMinimise))
                    Forward(mode);
            }
        }
        if (socket.bytesAvailable() > kMaxLineBytes)
            socket.abort();
    }

    // The describer reads widgets, so it runs on the channel's (window) thread; this thread waits
    // for it with a deadline, so a busy or closing window costs a bounded wait, never a deadlock.
    QByteArray DescriptionText(DescribeDetail detail) {
        auto answer = std::make_shared<std::promise<WindowDescription>>();
        std::future<WindowDescription> described = answer->get_future();
        InstanceChannel* channel = &m_channel;
        QMetaObject::invokeMethod(
            channel, [channel, answer, detail] { answer->set_value(channel->Describe(detail)); },
            Qt::QueuedConnection);
        QByteArray text;
        if (described.wait_for(std::chrono::milliseconds(kDescribeTimeoutMs)) == std::future_status::ready) {
            const WindowDescription description = described.get();
            for (auto it = description.cbegin(); it != description.cend(); ++it)
                text += OneLine(it.key()).remove(u'=').toUtf8() + '=' + OneLine(it.value()).toUtf8() + '\n';
        }
        return text + '\n';
    }

    static QString OneLine(QString text) {
        text.replace(u'\r', u' ');
        text.replace(u'\n', u' ');
        return text;
    }

    // Queued: the request is acted upon on the window thread, never on this one.
    void Forward(int mode) {
        InstanceChannel* channel = &m_channel;
        QMetaObject::invokeMethod(
            channel, [channel, mode] { emit channel->ShowHideRequested(mode); }, Qt::QueuedConnection);
    }

    InstanceChannel& m_channel;
    const QString m_path;
    const QString m_bindingPath;
    ino_t m_inode = 0;
    std::promise<bool> m_listening;
};

QString InstanceFolder() {
    const uint uid = ::getuid();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        const QString folder = QDir(runtime).filePath(QStringLiteral("kovra"));
        if (PrepareInstanceFolder(folder, uid))
            return folder;
    }
    const QString fallback = QStringLiteral("/tmp/kovra-%1").arg(uid);
    return PrepareInstanceFolder(fallback, uid) ? fallback : QString();
}

bool PrepareInstanceFolder(const QString& path, uint ownerUid) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (::mkdir(native.constData(), 0700) != 0 || ::lstat(native.constData(), &info) != 0)
            return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ownerUid)
        return false;
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::Listen() {
    if (m_responder)
        return true;
    const QString folder = InstanceFolder();
    if (folder.isEmpty())
        return false;
    const int serial = g_nextSerial.fetch_add(1) % kSerialLimit;
    const qint32 handle = static_cast<qint32>((serial << kPidBits) | static_cast<int>(::getpid()));
    const QString path = QDir(folder).filePath(SocketName(handle));
    auto responder =
        std::make_unique<InstanceResponder>(*this, path, QDir(folder).filePath(BindingName(handle)));
    if (!responder->StartListening())
        return false;
    m_socketPath = path;
    m_handle = handle;
    m_responder = std::move(responder);
    return true;
}

void InstanceChannel::SetCaption(const QString& caption) {
    const std::lock_guard lock(m_infoLock);
    m_caption = caption;
}

void InstanceChannel::SetIdentity(quint32 identity) {
    const std::lock_guard lock(m_infoLock);
    m_identity = identity;
}

QString InstanceChannel::Caption() const {
    const std::lock_guard lock(m_infoLock);
    return m_caption;
}

quint32 InstanceChannel::Identity() const {
    const std::lock_guard lock(m_infoLock);
    return m_identity;
}

void InstanceChannel::SetDescriber(WindowDescriber describer) {
    const std::lock_guard lock(m_infoLock);
    m_describer = std::move(describer);
}

WindowDescription InstanceChannel::Describe(DescribeDetail detail) const {
    WindowDescriber describer;
    {
        const std::lock_guard lock(m_infoLock);
        describer = m_describer;
    }
    return describer ? describer(detail) : WindowDescription();
}

std::unique_ptr<TXStringIntList> CollectSiblingWindows() {
    auto list = std::make_unique<TXStringIntList>();
    for (const Sibling& sibling : Siblings())
        list->Add(sibling.caption, std::make_unique<TXInteger>(sibling.handle));
    return list;
}

bool FindRunningInstance(const InstanceChannel& self, quint32 identity) {
    bool found = false;
    for (const Sibling& sibling : Siblings()) {
        if (sibling.path == self.SocketPath() || sibling.identity != identity)
            continue;
        Post(sibling.path, kShowHideRestore);
        found = true;
    }
    return found;
}

void ShowAll() {
    PostToAll(kShowHideRestore);
}

void HideAll() {
    PostToAll(kShowHideMinimise);
}

bool PostShowHide(qint32 handle, int mode) {
    const QString folder = InstanceFolder();
    return !folder.isEmpty() && Post(QDir(folder).filePath(SocketName(handle)), mode);
}

WindowDescription DescribeWindow(qint32 handle, DescribeDetail detail) {
    const QString folder = InstanceFolder();
    QLocalSocket socket;
    if (folder.isEmpty() || !ConnectTo(socket, QDir(folder).filePath(SocketName(handle))) ||
        !WriteAll(socket, detail == DescribeDetail::Summary ? "DESCRIBE\n" : "DESCRIBE VIEW\n"))
        return {};
    const QDeadlineTimer deadline(kInstanceTimeoutMs + kDescribeTimeoutMs);
    WindowDescription description;
    // A line of a bounded text: its characters take up to three bytes each, beside the key.
    constexpr qsizetype kMaxDescriptionLine = 3 * kDescribeTextLimit + kMaxLineBytes;
    while (const auto line = ReadLine(socket, deadline, kMaxDescriptionLine)) {
        if (line->isEmpty())
            return description;
        const QString text = QString::fromUtf8(*line);
        const qsizetype equals = text.indexOf(u'=');
        if (equals > 0)
            description.insert(text.left(equals), text.mid(equals + 1));
    }
    return {}; // cut short: a partial description would mislead
}
