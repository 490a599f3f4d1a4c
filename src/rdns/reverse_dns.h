#pragma once
// TReverseDNS: the window's cache of reverse lookups and its one background worker. A pass asks the
// cache (GetNameByIP) and never waits: it gets the host name, the address itself while the lookup
// is queued, or empty after a failed lookup. The worker sweeps the cache from its last key to its
// first, resolving the queued addresses one at a time at the lowest thread priority, and reports
// its state through the status sink ("IDLE (Nb=n)", "QUERY a (Nb=i/n)", "CHECK (Nb=i/n)",
// "SUSP (Nb=n; ?=k)").
//
// The cache holds at most a given number of entries: past it, the entry that failed longest ago
// goes first, then, when none failed, the oldest one. Finding and adding an address cost a
// logarithm of the entries, so a line of 200,000 new addresses costs what its length says.
//
// Threads: GetNameByIP from the pass (window thread or engine worker), RefreshUnknownDNS and the
// rest from the window thread; every access to the entries is made under one lock, which is never
// held during a lookup. The status sink is called on the worker thread, never with the lock held
// and never after the destructor has returned.
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <QString>

#include "engine/address_annotation.h"

// Reverse lookup of a dotted IPv4 address through the system resolver (getnameinfo with
// NI_NAMEREQD, thread-safe): the host name, or empty when the resolver has none. Blocks for as long
// as the resolver takes.
QString ResolveAddress(const QString& address);

class TReverseDNS final : public AddressResolver {
public:
    using Resolver = std::function<QString(const QString& address)>;
    using StatusSink = std::function<void(const QString& text)>;

    static constexpr int kMaxEntries = 250000;

    // The worker starts asleep; the first address asked for wakes it. resolve runs on the worker
    // (tests give a fake whose answers and delays they control); it is kept alive by the worker.
    explicit TReverseDNS(Resolver resolve = ResolveAddress, int maxEntries = kMaxEntries);
    // Tells the worker to stop and waits for it, unless it is inside a lookup, which cannot be
    // interrupted: it then ends by itself when the lookup returns, touching nothing of this object.
    ~TReverseDNS() override;
    TReverseDNS(const TReverseDNS&) = delete;
    TReverseDNS& operator=(const TReverseDNS&) = delete;

    QString GetNameByIP(const QString& address) override;
    // Grows whenever an answer of GetNameByIP changes (a lookup ended, failed addresses queued
    // again, an answered entry dropped for room), so a pass can tell that its annotations would.
    quint64 Generation() const override;
    // Queues the failed addresses again when the worker is asleep, and makes it sweep once more.
    // Does nothing before the first address was asked for.
    void RefreshUnknownDNS();
    // Where the worker writes its status texts (the R. DNS pane); empty: nowhere.
    void SetStatusSink(StatusSink sink);

    // The entries in key order: (address, "#" queued / empty failed / host name).
    std::vector<std::pair<QString, QString>> Entries() const;

    // The state shared with the worker (defined in the .cpp).
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};
