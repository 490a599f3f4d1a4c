/* Preloaded into a test's child process (LD_PRELOAD) to make the system misbehave the way a real
 * machine does, without root and without mocks in the program:
 *   KOVRA_SHIM_WRITE_BUDGET=N     writes to regular files get N bytes in all, then the disk is
 *                                 full: a write gets what still fits, the next fails with ENOSPC.
 *   KOVRA_SHIM_LISTEN_DELAY_MS=N  listen() waits N ms first, as on a loaded machine, so a socket
 *                                 stays bound but not listening for that long.
 * Unset variables leave the calls alone. Built without sanitizers: it runs before them. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

static long long budget = -2; /* -2: not read yet, -1: no limit */

static long long Budget(void) {
    if (budget == -2) {
        const char* text = getenv("KOVRA_SHIM_WRITE_BUDGET");
        budget = text ? atoll(text) : -1;
    }
    return budget;
}

static int IsRegularFile(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

/* How many of count bytes the disk takes; -1 with ENOSPC when it is full. */
static ssize_t Allowed(int fd, size_t count) {
    if (Budget() < 0 || count == 0 || !IsRegularFile(fd))
        return (ssize_t)count;
    if (budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t granted = (size_t)budget < count ? (size_t)budget : count;
    budget -= (long long)granted;
    return (ssize_t)granted;
}

static ssize_t RealWrite(int fd, const void* data, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    return real(fd, data, count);
}

ssize_t write(int fd, const void* data, size_t count) {
    const ssize_t allowed = Allowed(fd, count);
    return allowed < 0 ? -1 : RealWrite(fd, data, (size_t)allowed);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite64");
    const ssize_t allowed = Allowed(fd, count);
    return allowed < 0 ? -1 : real(fd, data, (size_t)allowed, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    static ssize_t (*real)(int, const struct iovec*, int);
    if (!real)
        real = (ssize_t(*)(int, const struct iovec*, int))dlsym(RTLD_NEXT, "writev");
    size_t total = 0;
    for (int i = 0; i < count; ++i)
        total += parts[i].iov_len;
    const ssize_t allowed = Allowed(fd, total);
    if (allowed < 0 || (size_t)allowed == total)
        return allowed < 0 ? -1 : real(fd, parts, count);
    ssize_t written = 0; /* the part that still fits */
    for (int i = 0; i < count && written < allowed; ++i) {
        const size_t left = (size_t)(allowed - written);
        const ssize_t got =
            RealWrite(fd, parts[i].iov_base, parts[i].iov_len < left ? parts[i].iov_len : left);
        if (got <= 0)
            break;
        written += got;
    }
    return written;
}

int listen(int fd, int backlog) {
    static int (*real)(int, int);
    if (!real)
        real = (int (*)(int, int))dlsym(RTLD_NEXT, "listen");
    const char* text = getenv("KOVRA_SHIM_LISTEN_DELAY_MS");
    if (text) {
        const long ms = atol(text);
        struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    return real(fd, backlog);
}
