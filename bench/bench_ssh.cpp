// Following a file over SSH against following it locally: steady passes on a growing file (100
// lines appended before each pass) at 50 KiB and 16 MiB windows, over a real OpenSSH server on
// 127.0.0.1, and the bytes the server sent per pass against the bytes appended (counted by a
// relay between the client and the server). Also the first pass of each window, which reads it
// all (the remote one with the connection made first). Then the engine following as the program
// does (worker mode, the timer alone: no notifications exist remotely) the remote file against
// the local one: the time from an append to the view, and the CPU the process spends and the
// bytes the server sends per second while the file does not change. Prints tab-separated rows of
// medians.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <QFile>
#include <QGuiApplication>

#include "bench_stats.h"
#include "follow_probe.h"
#include "pass_runner.h"
#include "support/ssh_test_server.h"
#include "synthetic_log.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kLinesPerStep = 100;

int Listen(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    *port = ntohs(address.sin_port);
    return fd;
}

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

// Forwards one connection at a time from its own port to the server's, counting what the server
// sends. Ends with the program.
class CountingRelay {
public:
    explicit CountingRelay(int serverPort) : serverPort_(serverPort), listener_(Listen(&port_)) {
        std::thread([this] { Run(); }).detach();
    }
    int Port() const { return port_; }
    qint64 FromServer() const { return fromServer_.load(); }

private:
    void Run() {
        for (;;) {
            const int client = ::accept(listener_, nullptr, nullptr);
            const int server = ConnectTo(serverPort_);
            pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            char buffer[65536];
            for (bool open = client >= 0 && server >= 0; open;) {
                if (::poll(ends, 2, -1) < 0)
                    break;
                for (int i = 0; i < 2 && open; ++i) {
                    if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    const ssize_t got = ::read(ends[i].fd, buffer, sizeof buffer);
                    open = got > 0 && ::write(ends[1 - i].fd, buffer, size_t(got)) == got;
                    if (open && i == 1)
                        fromServer_ += got;
                }
            }
            ::close(client);
            ::close(server);
        }
    }

    int serverPort_;
    int port_ = 0;
    int listener_;
    std::atomic<qint64> fromServer_{0};
};

bool Run(const SshTestServer& server, const CountingRelay& relay, qint64 window, int runs) {
    const QString file = server.Files() + QStringLiteral("/grow.log");
    const QString remote =
        QStringLiteral("ssh://%1@127.0.0.1:%2%3").arg(server.UserName()).arg(relay.Port()).arg(file);
    GrowingLog log(file, window);
    if (!log.Started())
        return false;
    PassRunner local(file, window);
    PassRunner over(remote, window);
    for (PassRunner* runner : {&local, &over}) {
        runner->SetIncremental(true);
        runner->Window().processEvents = false; // passes run on a worker here, as a remote one must
    }
    std::vector<double> firstLocal{local.Pass(false) * 1e3};
    const qint64 before = relay.FromServer();
    std::vector<double> firstRemote{over.Pass(false) * 1e3};
    const qint64 firstBytes = relay.FromServer() - before;
    if (over.Window().ViewText() != local.Window().ViewText()) {
        std::fprintf(stderr, "bench: the remote view differs from the local one: %s\n",
                     qPrintable(over.Window().infoPane));
        return false;
    }
    std::vector<double> localMs, remoteMs, sent, appended;
    for (int i = 0; i < runs; ++i) {
        const qint64 grown = log.Grow(kLinesPerStep);
        if (grown < 0)
            return false;
        appended.push_back(double(grown));
        localMs.push_back(local.Pass(false) * 1e3);
        const qint64 at = relay.FromServer();
        remoteMs.push_back(over.Pass(false) * 1e3);
        sent.push_back(double(relay.FromServer() - at));
        if (over.Window().ViewText() != local.Window().ViewText()) {
            std::fprintf(stderr, "bench: the remote view differs from the local one\n");
            return false;
        }
    }
    std::printf("first_pass_with_connect\t%lld\t%.3f\tlocal_ms\t%.3f\t%.2f\t%lld\t%lld\t%.3f\n",
                static_cast<long long>(window), firstRemote[0], firstLocal[0], firstRemote[0] / firstLocal[0],
                static_cast<long long>(firstBytes),
                static_cast<long long>(std::min<qint64>(window, log.Written())),
                double(firstBytes) / double(std::min<qint64>(window, log.Written())));
    std::printf("steady_100_lines\t%lld\t%.3f\tlocal_ms\t%.3f\t%.2f\t%.0f\t%.0f\t%.3f\n",
                static_cast<long long>(window), Median(remoteMs), Median(localMs),
                Median(remoteMs) / Median(localMs), Median(sent), Median(appended),
                Median(sent) / Median(appended));
    std::fflush(stdout);
    return true;
}

// The engine following the file locally and over the relay, one after the other.
bool Follow(const SshTestServer& server, const CountingRelay& relay) {
    const QString file = server.Files() + QStringLiteral("/follow.log");
    QFile seed(file);
    if (!seed.open(QIODevice::WriteOnly) || seed.write(QByteArray(40000, 'x') + '\n') < 0)
        return false;
    seed.close();
    const QString remote =
        QStringLiteral("ssh://%1@127.0.0.1:%2%3").arg(server.UserName()).arg(relay.Port()).arg(file);
    std::printf("\ncase\tremote\treference\tlocal\tratio\n");
    const std::vector<double> local = Latencies(file, file, -1, 25);
    const std::vector<double> over = Latencies(file, remote, -1, 25);
    std::printf("append_to_view_median_ms\t%.1f\tlocal\t%.1f\t%.2f\n", Median(over), Median(local),
                Median(over) / Median(local));
    std::printf("append_to_view_max_ms\t%.1f\tlocal\t%.1f\t%.2f\n",
                *std::max_element(over.begin(), over.end()), *std::max_element(local.begin(), local.end()),
                *std::max_element(over.begin(), over.end()) / *std::max_element(local.begin(), local.end()));
    constexpr int kIdleMs = 10000;
    const double localCpu = FollowCpuPercent(file, -1, kIdleMs);
    qint64 before = 0;
    const double remoteCpu = FollowCpuPercent(remote, -1, kIdleMs, [&] { before = relay.FromServer(); });
    const double bytesPerSecond = double(relay.FromServer() - before) / (kIdleMs / 1e3);
    std::printf("idle_cpu_percent_of_a_core\t%.3f\tlocal\t%.3f\t%.2f\n", remoteCpu, localCpu,
                remoteCpu / localCpu);
    std::printf("idle_bytes_from_server_per_s\t%.0f\tlocal\t0\t-\n", bytesPerSecond);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    QGuiApplication app(argc, argv);
    SshTestServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(server.Error()));
        return 1;
    }
    CountingRelay relay(server.Port());
    if (!server.TrustServer(relay.Port()))
        return 1;
    std::printf("case\twindow_bytes\tremote_median_ms\treference\treference_ms\tratio\t"
                "bytes_from_server\tbytes_appended\tbytes_ratio\n");
    bool ok = true;
    // Off the window thread, as the engine runs every remote pass.
    std::thread([&] {
        for (qint64 window : {qint64(50) << 10, qint64(16) << 20})
            ok = ok && Run(server, relay, window, 15);
    }).join();
    return ok && Follow(server, relay) ? 0 : 1;
}
