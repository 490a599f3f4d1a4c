#include "rdns/reverse_dns.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

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

// One address: its state, and its place in the age list it is on (failed ones, or the others).
struct CacheEntry {
    QString value; // "#" queued, empty failed, else the name
    std::list<QString>::iterator age;
};
// Sorted by address, with the position of a key found in a logarithm of the entries: the worker
// walks the entries by position, as the list it stands for would.
using EntryTree = __gnu_pbds::tree<QString, CacheEntry, std::less<QString>, __gnu_pbds::rb_tree_tag,
                                   __gnu_pbds::tree_order_statistics_node_update>;

// What the cache and its worker share. The worker holds its own reference, so a worker left
// inside a lookup by the destructor still finds this alive when the lookup returns.
struct TReverseDNS::Shared {
    Shared(Resolver r, int max) : maxEntries(std::max(1, max)), resolve(std::move(r)) {}

    int Count() const { return static_cast<int>(entries.size()); }
    // Lock held: a new queued entry, making room first.
    void Add(const QString& address) {
        while (Count() >= maxEntries)
            DropOldest();
        others.push_back(address);
        entries.insert({address, CacheEntry{kQueued, std::prev(others.end())}});
    }
    // Lock held: a new state for an entry. One that fails, or is queued again after failing,
    // goes to the end of the other age list; a name keeps the entry's place.
    void SetValue(CacheEntry& entry, const QString& value) {
        if (value == entry.value)
            return;
        std::list<QString>& from = entry.value.isEmpty() ? failed : others;
        std::list<QString>& to = value.isEmpty() ? failed : others;
        if (&from != &to)
            to.splice(to.end(), from, entry.age);
        entry.value = value;
        ++generation;
    }
    void DropOldest() {
        std::list<QString>& list = failed.empty() ? others : failed;
        const auto it = entries.find(list.front());
        if (it->second.value != kQueued)
            ++generation; // its answer goes back to the address itself
        entries.erase(it);
        list.pop_front();
    }

    std::mutex lock;
    std::condition_variable wake;
    EntryTree entries;
    std::list<QString> failed; // failed longest ago first
    std::list<QString> others; // queued or named, oldest first
    const int maxEntries;
    std::atomic<quint64> generation{0};
    bool linked = false;  // an address was asked for: the worker has work to look at
    bool pending = false; // work arrived: sweep (again) rather than sleep
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
            Show(guard, QStringLiteral("SUSP (Nb=") + Count(s_->Count()) + QStringLiteral("; ?=") +
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
        int i = s_->Count() - 1;
        Show(guard, QStringLiteral("IDLE (Nb=") + Count(s_->Count()) + u')');
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
            Show(guard, QStringLiteral("CHECK (Nb=") + Count(i + 1) + u'/' + Count(s_->Count()) + u')');
        }
        return true;
    }

    bool HandleEntry(Lock& guard, int i, int* failed) {
        if (i >= s_->Count())
            return true; // entries went for room meanwhile
        const auto at = s_->entries.find_by_order(static_cast<std::size_t>(i));
        const QString address = at->first;
        QString value = at->second.value;
        if (value == kQueued) {
            Show(guard, QStringLiteral("QUERY ") + address + QStringLiteral(" (Nb=") + Count(i + 1) + u'/' +
                            Count(s_->Count()) + u')');
            if (s_->stop)
                return false;
            value = Lookup(guard, address);
            if (s_->stop)
                return false;
            const auto found = s_->entries.find(address);
            if (found != s_->entries.end())
                s_->SetValue(found->second, value);
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

TReverseDNS::TReverseDNS(Resolver resolve, int maxEntries)
    : shared_(std::make_shared<Shared>(std::move(resolve), maxEntries)) {
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
        const auto found = shared_->entries.find(address);
        if (found != shared_->entries.end()) {
            const QString& value = found->second.value;
            return value == kQueued ? address : value;
        }
        shared_->Add(address);
        shared_->pending = true;
    }
    shared_->wake.notify_all();
    return address;
}

quint64 TReverseDNS::Generation() const {
    return shared_->generation.load();
}

void TReverseDNS::RefreshUnknownDNS() {
    {
        std::lock_guard guard(shared_->lock);
        if (!shared_->linked)
            return;
        if (shared_->asleep) {
            while (!shared_->failed.empty())
                shared_->SetValue(shared_->entries.find(shared_->failed.front())->second, kQueued);
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
    entries.reserve(shared_->entries.size());
    for (const auto& [address, entry] : shared_->entries)
        entries.emplace_back(address, entry.value);
    return entries;
}
