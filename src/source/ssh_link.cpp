#include "source/ssh_link.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>

#include <QDir>
#include <QFileInfo>

#include "platform/file_names.h"
#include "source/ssh_auth.h"
#include "source/ssh_trust.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollSlice(50);

std::chrono::milliseconds Left(Clock::time_point deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

// A name lookup that may wait on a name server runs on a thread of its own: the caller gives up
// at the deadline or a stop, and the lookup finishes on its own later.
struct Lookup {
    std::mutex lock;
    bool done = false;
    int status = 0;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result)
            freeaddrinfo(result);
    }
};

std::shared_ptr<Lookup> LookUp(const QByteArray& host, const QByteArray& port, SourceCancel cancel,
                               Clock::time_point deadline, QString* error) {
    auto lookup = std::make_shared<Lookup>();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    // An address needs no name server: answered here at once.
    lookup->status = getaddrinfo(host.constData(), port.constData(), &hints, &lookup->result);
    if (lookup->status == 0)
        return lookup;
    lookup->status = 0;
    std::thread([lookup, host, port] {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
        addrinfo* result = nullptr;
        const int status = getaddrinfo(host.constData(), port.constData(), &hints, &result);
        std::lock_guard guard(lookup->lock);
        lookup->status = status;
        lookup->result = result;
        lookup->done = true;
    }).detach();
    for (;;) {
        {
            std::lock_guard guard(lookup->lock);
            if (lookup->done) {
                if (lookup->status == 0)
                    return lookup;
                *error = QString::fromLocal8Bit(gai_strerror(lookup->status));
                return nullptr;
            }
        }
        if (IsCancelled(cancel) || Left(deadline).count() == 0) {
            *error =
                IsCancelled(cancel) ? QStringLiteral("Stopped") : QStringLiteral("Name lookup timed out");
            return nullptr;
        }
        std::this_thread::sleep_for(kPollSlice);
    }
}

// A TCP connection to one of the addresses, waited for in slices so a stop ends it; -1 with *error.
int ConnectSocket(const addrinfo* addresses, SourceCancel cancel, Clock::time_point deadline,
                  QString* error) {
    for (const addrinfo* a = addresses; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            *error = qt_error_string(errno);
            continue;
        }
        int status = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        while (status == EINPROGRESS) {
            if (IsCancelled(cancel) || Left(deadline).count() == 0) {
                status = IsCancelled(cancel) ? ECANCELED : ETIMEDOUT;
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, int(std::min(kPollSlice, Left(deadline)).count()));
            if (ready > 0) {
                socklen_t length = sizeof status;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &length) != 0)
                    status = errno;
            } else if (ready < 0 && errno != EINTR) {
                status = errno;
            }
        }
        if (status == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        ::close(fd);
        *error = status == ECANCELED ? QStringLiteral("Stopped") : qt_error_string(status);
        if (status == ECANCELED || status == ETIMEDOUT)
            break;
    }
    return -1;
}

// The session's options: the name's, then ~/.ssh/config's and the system's for what it leaves.
bool Configure(ssh_session session, const SshName& target, QString* error) {
    const QByteArray sshDir = EncodeFileName(QDir::homePath() + QStringLiteral("/.ssh"));
    const QByteArray knownHosts = sshDir + "/known_hosts";
    // libssh's own bound, past ours: the watchdog cuts first and says why.
    const long timeout = long(std::chrono::duration_cast<std::chrono::seconds>(kRequestLimit).count()) + 5;
    const unsigned port = unsigned(target.port);
    bool ok = ssh_options_set(session, SSH_OPTIONS_HOST, target.host.toUtf8().constData()) == SSH_OK &&
              ssh_options_set(session, SSH_OPTIONS_SSH_DIR, sshDir.constData()) == SSH_OK &&
              ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData()) == SSH_OK &&
              ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &timeout) == SSH_OK;
    if (ok && !target.user.isEmpty())
        ok = ssh_options_set(session, SSH_OPTIONS_USER, target.user.toUtf8().constData()) == SSH_OK;
    if (ok && port != 0)
        ok = ssh_options_set(session, SSH_OPTIONS_PORT, &port) == SSH_OK;
    // The user's config in the folder set above, then the system's.
    if (ok)
        ok = ssh_options_parse_config(session, nullptr) == SSH_OK;
    if (!ok)
        *error = QString::fromUtf8(ssh_get_error(session));
    return ok;
}

} // namespace

SshLink::~SshLink() {
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
    if (sftp)
        sftp_free(sftp);
    if (session)
        ssh_free(session);
    if (fd >= 0)
        ::close(fd); // libssh leaves a socket it was given open
}

bool SshLink::Alive() const {
    return !broken && ssh_is_connected(session) && (!sftp || !ssh_channel_is_closed(sftp->channel));
}

QString StepFailure(const SshLink& link, StepCut cut, const QString& shown) {
    if (cut == StepCut::TimedOut)
        return QStringLiteral("No answer from %1 within %2 s").arg(shown).arg(kRequestLimit.count() / 1000);
    if (cut == StepCut::Cancelled)
        return QStringLiteral("Stopped while waiting for %1").arg(shown);
    const QString reason = QString::fromUtf8(ssh_get_error(link.session));
    if (!link.Alive())
        return QStringLiteral("Connection to %1 lost: %2")
            .arg(shown, reason.isEmpty() ? QStringLiteral("closed") : reason);
    return reason;
}

std::unique_ptr<SshLink> OpenSshLink(const SshName& target, const QString& shown, SourceCancel cancel,
                                     QString* error, bool* unreachable) {
    *unreachable = true;
    const Clock::time_point deadline = Clock::now() + kConnectLimit;
    auto link = std::make_unique<SshLink>();
    link->session = ssh_new();
    if (!link->session) {
        *error = QStringLiteral("Out of memory");
        return nullptr;
    }
    if (!Configure(link->session, target, error))
        return nullptr;
    unsigned port = 22;
    ssh_options_get_port(link->session, &port);
    const QString host = SessionOption(link->session, SSH_OPTIONS_HOST);
    QString reason;
    const std::shared_ptr<Lookup> lookup =
        LookUp(host.toUtf8(), QByteArray::number(port), cancel, deadline, &reason);
    if (lookup)
        link->fd = ConnectSocket(lookup->result, cancel, deadline, &reason);
    if (link->fd < 0) {
        *error = QStringLiteral("Cannot connect to %1: %2").arg(shown, reason);
        return nullptr;
    }
    ssh_options_set(link->session, SSH_OPTIONS_FD, &link->fd);
    {
        const StepLimit limit(link->fd, cancel, Left(deadline));
        if (ssh_connect(link->session) != SSH_OK) {
            link->broken = true;
            const StepCut cut = limit.Cut();
            if (cut == StepCut::Cancelled)
                *error = StepFailure(*link, cut, shown);
            else
                *error =
                    QStringLiteral("Cannot connect to %1: %2")
                        .arg(shown,
                             cut == StepCut::TimedOut
                                 ? QStringLiteral("no answer within %1 s").arg(kConnectLimit.count() / 1000)
                                 : QString::fromUtf8(ssh_get_error(link->session)));
            return nullptr;
        }
    }
    *unreachable = false;
    if (!TrustServer(link->session, port, shown, cancel, error) || !Authenticate(*link, shown, cancel, error))
        return nullptr;
    const StepLimit limit(link->fd, cancel, kRequestLimit);
    link->sftp = sftp_new(link->session);
    if (!link->sftp || sftp_init(link->sftp) != SSH_OK) {
        *error = QStringLiteral("No SFTP on %1: %2").arg(shown, StepFailure(*link, limit.Cut(), shown));
        return nullptr;
    }
    return link;
}
