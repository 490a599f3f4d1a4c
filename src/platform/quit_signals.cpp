#include "platform/quit_signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

// The handler may only write to a descriptor: the pair carries the signal number to the loop.
int g_pipe[2] = {-1, -1};
// And this one wakes the watchdog; never closed, as the watchdog never ends.
int g_watchdog[2] = {-1, -1};

void OnSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    [[maybe_unused]] const ssize_t armed = ::write(g_watchdog[1], &byte, 1);
}

void Watchdog() {
    unsigned char byte = 0;
    while (::read(g_watchdog[0], &byte, 1) != 1) {
        if (errno != EINTR)
            return;
    }
    timespec until{};
    ::clock_gettime(CLOCK_MONOTONIC, &until);
    const auto bound = std::chrono::duration_cast<std::chrono::nanoseconds>(QuitSignalWatcher::kQuitBound);
    until.tv_sec += time_t(bound.count() / 1000000000);
    until.tv_nsec += long(bound.count() % 1000000000);
    if (until.tv_nsec >= 1000000000) {
        ++until.tv_sec;
        until.tv_nsec -= 1000000000;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    static const char kMessage[] =
        "kovra: the closing asked for by a signal did not end in time; ending now\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(1);
}

void StartWatchdog() {
    if (g_watchdog[0] >= 0 || ::pipe2(g_watchdog, O_CLOEXEC) != 0)
        return;
    ::fcntl(g_watchdog[1], F_SETFL, O_NONBLOCK);
    try {
        std::thread(Watchdog).detach();
    } catch (const std::system_error&) {
        // No thread: the closing runs unwatched, as before.
    }
}

} // namespace

QuitSignalWatcher::QuitSignalWatcher(QObject* parent) : QObject(parent) {
    StartWatchdog();
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignalWatcher::Drain);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(number, &action, nullptr);
}

QuitSignalWatcher::~QuitSignalWatcher() {
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        ::signal(number, SIG_DFL);
    notifier_.reset();
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignalWatcher::Drain() {
    unsigned char byte = 0;
    if (::read(g_pipe[0], &byte, 1) == 1)
        emit quitRequested(byte);
}
