#include "platform/session_bus_probe.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <QList>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// "unix:path=/run/user/1000/bus,guid=..." -> the socket's address; false for other kinds.
bool SocketAddress(const QByteArray& address, sockaddr_un* socketAddress, socklen_t* length) {
    const QByteArray first = address.split(';').value(0);
    if (!first.startsWith("unix:"))
        return false;
    for (const QByteArray& pair : first.mid(5).split(',')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray key = pair.left(equals);
        const QByteArray value = QByteArray::fromPercentEncoding(pair.mid(equals + 1));
        const bool abstract = key == "abstract";
        if ((key != "path" && !abstract) || value.isEmpty() ||
            value.size() + 1 > qsizetype(sizeof socketAddress->sun_path))
            continue;
        *socketAddress = {};
        socketAddress->sun_family = AF_UNIX;
        std::memcpy(socketAddress->sun_path + (abstract ? 1 : 0), value.constData(), size_t(value.size()));
        *length = socklen_t(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) + value.size() +
                            (abstract ? 0 : 1));
        return true;
    }
    return false;
}

int Remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<qint64>(0, left.count()));
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    pollfd wanted{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&wanted, 1, Remaining(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

} // namespace

bool SessionBusAnswers(const QByteArray& address, std::chrono::milliseconds bound) {
    sockaddr_un socketAddress{};
    socklen_t length = 0;
    if (!SocketAddress(address, &socketAddress, &length))
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;
    const Clock::time_point deadline = Clock::now() + bound;
    bool answered = true; // a bus that is not there fails at once in the library too
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress), length) == 0 ||
        (errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline))) {
        // The credentials byte, then the mechanism every client on this machine uses.
        const QByteArray hello =
            QByteArray(1, '\0') + "AUTH EXTERNAL " + QByteArray::number(::getuid()).toHex() + "\r\n";
        answered = ::send(fd, hello.constData(), size_t(hello.size()), MSG_NOSIGNAL) == hello.size() &&
                   WaitFor(fd, POLLIN, deadline);
    }
    ::close(fd);
    return answered;
}

void GiveUpASilentSessionBus(std::chrono::milliseconds bound) {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty() || SessionBusAnswers(address, bound))
        return;
    std::fprintf(stderr, "kovra: the session bus (%s) does not answer: going on without it\n",
                 address.constData());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kovra-session-bus-silent");
}
