#include "rdns/reverse_dns.h"

#include <condition_variable>
#include <mutex>

#include "util/pair_lists.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kQueued = QStringLiteral("#");

// SCHED_IDLE where the system allows it, else the weakest nice value for this thread alone.
void UseLowestPriority() {
    sched_param param{};
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) != 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

QString Count(qsizetype n) {
    return QString::number(n);
}

} // namespace

QString ResolveAddress(const QString& address) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    if (inet_pton(AF_INET, address.toLatin1().constData(), &socketAddress.sin_addr) != 1)
        return {};
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                    sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return QString::fromLocal8Bit(host);
}

// What the cache and its worker share. The worker holds its own reference, so a worker left
// inside a lookup by the destructor still finds this alive when the lookup returns.
struct TReverseDNS::Shared {
    explicit Shared(Resolver r) : resolve(std::move(r)) { entries.SetSorted(true); }

    std::mutex lock;
    std::condition_variable wake;
    TXDoubleStringList entries; // address -> "#", "" or the name
    bool linked = false;        // an address was asked for: the worker has work to look at
    bool pending = false;       // work arrived: sweep (again) rather than sleep
    bool asleep = true;
    bool stop = false;
    bool inLookup = false;
    const Resolver resolve;
    StatusSink status;
};

namespace {

using Lock = std::unique_lock<std::mutex>;

class Worker final {
public:
    explicit Worker(std::shared_ptr<TReverseDNS::Shared> shared) : s_(std::move(shared)) {}

    void Run() {
        UseLowestPriority();
        Lock guard(s_->lock);
        for (;;) {
            s_->wake.wait(guard, [this] { return s_->stop || (s_->linked && s_->pending); });
            if (s_->stop)
                return;
            s_->asleep = false;
            if (!SweepWhilePending(guard))
                return;
        }
    }

private:
    // Sweeps until no work arrived during the last sweep, then shows SUSP and marks the worker
    // asleep (under the lock, so a request after that point wakes it). False when told to stop.
    bool SweepWhilePending(Lock& guard) {
        int failed = 0;
        bool retried = false;
        do {
            try {
                if (!Sweep(guard, &failed))
                    return false;
                retried = false;
            } catch (...) {
                // An error outside one entry must not end the worker: sweep once more so that the
                // addresses it left queued are resolved, but do not spin on an error that repeats.
                if (!guard.owns_lock())
                    guard.lock();
                if (!retried)
                    s_->pending = true;
                retried = true;
            }
            if (s_->stop)
                return false;
        } while (s_->pending);
        s_->asleep = true;
        try {
            Show(guard, QStringLiteral("SUSP (Nb=") + Count(s_->entries.Count()) + QStringLiteral("; ?=") +
                            Count(failed) + u')');
        } catch (...) {
            if (!guard.owns_lock())
                guard.lock();
        }
        return !s_->stop;
    }

    // One sweep from the last entry to the first. Entries inserted meanwhile set pending, so the
    // next sweep sees them.
    bool Sweep(Lock& guard, int* failed) {
        s_->pending = false;
        *failed = 0;
        int i = s_->entries.Count() - 1;
        Show(guard, QStringLiteral("IDLE (Nb=") + Count(s_->entries.Count()) + u')');
        for (; i >= 0; --i) {
            if (s_->stop)
                return false;
            try {
                if (!HandleEntry(guard, i, failed))
                    return false;
            } catch (...) {
                // The entry is skipped for this sweep; its value stays as it was.
                if (!guard.owns_lock())
                    guard.lock();
            }
            if (s_->stop)
                return false;
            Show(guard,
                 QStringLiteral("CHECK (Nb=") + Count(i + 1) + u'/' + Count(s_->entries.Count()) + u')');
        }
        return true;
    }

    bool HandleEntry(Lock& guard, int i, int* failed) {
        const QString address = s_->entries.Strings(i);
        QString value = s_->entries.RItems(i)->Value;
        if (value == kQueued) {
            Show(guard, QStringLiteral("QUERY ") + address + QStringLiteral(" (Nb=") + Count(i + 1) + u'/' +
                            Count(s_->entries.Count()) + u')');
            if (s_->stop)
                return false;
            value = Lookup(guard, address);
            if (s_->stop)
                return false;
            int index = 0;
            if (s_->entries.Find(address, &index))
                s_->entries.RItems(index)->Value = value;
        }
        if (value.isEmpty())
            ++*failed;
        return true;
    }

    // The lookup runs without the lock; the caller holds it again afterwards, also on an error.
    QString Lookup(Lock& guard, const QString& address) {
        s_->inLookup = true;
        guard.unlock();
        QString name;
        try {
            name = s_->resolve(address);
        } catch (...) {
            guard.lock();
            s_->inLookup = false;
            throw;
        }
        guard.lock();
        s_->inLookup = false;
        return name;
    }

    // Shows a status text without holding the lock; nothing once told to stop.
    void Show(Lock& guard, const QString& text) {
        if (s_->stop || !s_->status)
            return;
        const TReverseDNS::StatusSink sink = s_->status;
        guard.unlock();
        try {
            sink(text);
        } catch (...) {
            guard.lock();
            throw;
        }
        guard.lock();
    }

    std::shared_ptr<TReverseDNS::Shared> s_;
};

} // namespace

TReverseDNS::TReverseDNS(Resolver resolve) : shared_(std::make_shared<Shared>(std::move(resolve))) {
    worker_ = std::thread([shared = shared_] { Worker(shared).Run(); });
}

TReverseDNS::~TReverseDNS() {
    bool inLookup = false;
    {
        std::lock_guard guard(shared_->lock);
        shared_->stop = true;
        inLookup = shared_->inLookup;
    }
    shared_->wake.notify_all();
    if (inLookup)
        worker_.detach();
    else
        worker_.join();
}

QString TReverseDNS::GetNameByIP(const QString& address) {
    {
        std::lock_guard guard(shared_->lock);
        shared_->linked = true;
        int index = 0;
        if (shared_->entries.Find(address, &index)) {
            const QString& value = shared_->entries.RItems(index)->Value;
            return value == kQueued ? address : value;
        }
        shared_->entries.Add(address, std::make_unique<TXString>(kQueued));
        shared_->pending = true;
    }
    shared_->wake.notify_all();
    return address;
}

void TReverseDNS::RefreshUnknownDNS() {
    {
        std::lock_guard guard(shared_->lock);
        if (!shared_->linked)
            return;
        if (shared_->asleep) {
            for (int i = 0; i < shared_->entries.Count(); ++i) {
                if (shared_->entries.RItems(i)->Value.isEmpty())
                    shared_->entries.RItems(i)->Value = kQueued;
            }
        }
        shared_->pending = true;
    }
    shared_->wake.notify_all();
}

void TReverseDNS::SetStatusSink(StatusSink sink) {
    std::lock_guard guard(shared_->lock);
    shared_->status = std::move(sink);
}

std::vector<std::pair<QString, QString>> TReverseDNS::Entries() const {
    std::lock_guard guard(shared_->lock);
    std::vector<std::pair<QString, QString>> entries;
    for (int i = 0; i < shared_->entries.Count(); ++i)
        entries.emplace_back(shared_->entries.Strings(i), shared_->entries.RItems(i)->Value);
    return entries;
}
