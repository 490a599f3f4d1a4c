// The reverse-DNS cache and its worker, driven through a fake lookup whose answers, failures and
// delays the test controls, and the real system resolver on 127.0.0.1 only (any other address
// would send a query off this machine). Also run under ThreadSanitizer by scripts/test.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <QStringList>

#include <gtest/gtest.h>

#include "rdns/reverse_dns.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr auto kDeadline = std::chrono::seconds(30);

// The lookup the worker calls. Shared with the worker, which may outlive the cache while a
// lookup is running.
class FakeLookup final {
public:
    static TReverseDNS::Resolver Use(const std::shared_ptr<FakeLookup>& fake) {
        return [fake](const QString& address) { return fake->Resolve(address); };
    }

    void Answer(const QString& address, const QString& name) {
        std::lock_guard guard(m_);
        answers_[address] = name;
    }
    void ThrowOnce(const QString& address) {
        std::lock_guard guard(m_);
        throwOnce_.insert(address);
    }
    // The lookup of address waits until Release.
    void Hold(const QString& address) {
        std::lock_guard guard(m_);
        held_.insert(address);
    }
    void Release() {
        {
            std::lock_guard guard(m_);
            released_ = true;
        }
        cv_.notify_all();
    }
    int Calls(const QString& address) {
        std::lock_guard guard(m_);
        return calls_[address];
    }
    bool WaitInside() {
        return Wait([this] { return inside_ > 0; });
    }
    bool Inside() {
        std::lock_guard guard(m_);
        return inside_ > 0;
    }
    bool WaitReturned(int count) {
        return Wait([&] { return returned_ >= count; });
    }

private:
    QString Resolve(const QString& address) {
        std::unique_lock guard(m_);
        ++calls_[address];
        if (held_.count(address)) {
            ++inside_;
            cv_.notify_all();
            cv_.wait_for(guard, kDeadline, [this] { return released_; });
            --inside_;
        }
        ++returned_;
        cv_.notify_all();
        if (throwOnce_.erase(address))
            throw std::runtime_error("lookup failed badly");
        const auto it = answers_.find(address);
        return it == answers_.end() ? QString() : it->second;
    }
    template <typename Condition> bool Wait(Condition condition) {
        std::unique_lock guard(m_);
        return cv_.wait_for(guard, kDeadline, condition);
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::map<QString, QString> answers_;
    std::map<QString, int> calls_;
    std::set<QString> held_;
    std::set<QString> throwOnce_;
    bool released_ = false;
    int inside_ = 0;
    int returned_ = 0;
};

// Records the pane texts; can hold the worker inside one text, or throw once on one.
class StatusLog final {
public:
    static TReverseDNS::StatusSink Use(const std::shared_ptr<StatusLog>& log) {
        return [log](const QString& text) { log->Show(text); };
    }

    void HoldAt(const QString& text) {
        std::lock_guard guard(m_);
        holdAt_ = text;
    }
    void ThrowOnceAt(const QString& text) {
        std::lock_guard guard(m_);
        throwAt_ = text;
    }
    bool WaitHeld() {
        return Wait([this] { return held_; });
    }
    void Release() {
        {
            std::lock_guard guard(m_);
            holdAt_.clear();
        }
        cv_.notify_all();
    }
    bool WaitFor(const QString& text) {
        return Wait([&] { return !texts_.isEmpty() && texts_.last() == text; });
    }
    QStringList Texts() {
        std::lock_guard guard(m_);
        return texts_;
    }
    void Clear() {
        std::lock_guard guard(m_);
        texts_.clear();
    }

private:
    void Show(const QString& text) {
        std::unique_lock guard(m_);
        texts_ << text;
        cv_.notify_all();
        if (text == throwAt_) {
            throwAt_.clear();
            throw std::runtime_error("pane gone");
        }
        if (text == holdAt_) {
            held_ = true;
            cv_.notify_all();
            cv_.wait_for(guard, kDeadline, [this] { return holdAt_.isEmpty(); });
        }
    }
    template <typename Condition> bool Wait(Condition condition) {
        std::unique_lock guard(m_);
        return cv_.wait_for(guard, kDeadline, condition);
    }

    std::mutex m_;
    std::condition_variable cv_;
    QStringList texts_;
    QString holdAt_;
    QString throwAt_;
    bool held_ = false;
};

std::string Show(const QStringList& texts) {
    return texts.join(QStringLiteral(" | ")).toStdString();
}

class ReverseDns : public ::testing::Test {
protected:
    void SetUp() override { cache_->SetStatusSink(StatusLog::Use(log_)); }
    QString Value(const QString& address) const {
        for (const auto& [key, value] : cache_->Entries()) {
            if (key == address)
                return value;
        }
        return QStringLiteral("<absent>");
    }

    std::shared_ptr<FakeLookup> lookup_ = std::make_shared<FakeLookup>();
    std::shared_ptr<StatusLog> log_ = std::make_shared<StatusLog>();
    std::unique_ptr<TReverseDNS> cache_ = std::make_unique<TReverseDNS>(FakeLookup::Use(lookup_));
};

TEST_F(ReverseDns, SweepsFromLastKeyToFirstAndARequestDuringASweepCausesExactlyOneMore) {
    lookup_->Answer(QStringLiteral("10.0.0.1"), QStringLiteral("a.example"));
    lookup_->Answer(QStringLiteral("10.0.0.3"), QStringLiteral("c.example"));
    log_->HoldAt(QStringLiteral("IDLE (Nb=1)"));

    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    ASSERT_TRUE(log_->WaitHeld());
    // Two more arrive while the first sweep has begun: they sort after the first one.
    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.3")), QStringLiteral("10.0.0.3"));
    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.2")), QStringLiteral("10.0.0.2"));
    log_->Release();

    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=3; ?=1)"))) << Show(log_->Texts());
    EXPECT_EQ(log_->Texts(),
              (QStringList{"IDLE (Nb=1)", "QUERY 10.0.0.1 (Nb=1/3)", "CHECK (Nb=1/3)", "IDLE (Nb=3)",
                           "QUERY 10.0.0.3 (Nb=3/3)", "CHECK (Nb=3/3)", "QUERY 10.0.0.2 (Nb=2/3)",
                           "CHECK (Nb=2/3)", "CHECK (Nb=1/3)", "SUSP (Nb=3; ?=1)"}))
        << Show(log_->Texts());
    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.1")), QStringLiteral("a.example"));
    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.2")), QString()) << "failed lookup";
    EXPECT_EQ(cache_->GetNameByIP(QStringLiteral("10.0.0.3")), QStringLiteral("c.example"));
    for (const char* address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
        EXPECT_EQ(lookup_->Calls(QString::fromLatin1(address)), 1) << address;
}

TEST_F(ReverseDns, EachDistinctAddressIsLookedUpOnceWhateverTheThreadsAsking) {
    constexpr int kDistinct = 40;
    const auto address = [](int i) { return QStringLiteral("10.1.0.%1").arg(i); };
    for (int i = 0; i < kDistinct; ++i)
        lookup_->Answer(address(i), QStringLiteral("h%1").arg(i));
    auto ask = [&](int offset) {
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < kDistinct; ++i)
                cache_->GetNameByIP(address((i + offset) % kDistinct));
        }
    };
    std::thread other(ask, 17);
    ask(0);
    other.join();

    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=40; ?=0)"))) << Show(log_->Texts());
    ASSERT_EQ(cache_->Entries().size(), std::size_t(kDistinct));
    for (int i = 0; i < kDistinct; ++i) {
        EXPECT_EQ(lookup_->Calls(address(i)), 1) << address(i).toStdString();
        EXPECT_EQ(cache_->GetNameByIP(address(i)), QStringLiteral("h%1").arg(i));
    }
    EXPECT_EQ(cache_->Entries().size(), std::size_t(kDistinct)) << "asking again adds no entry";
}

TEST_F(ReverseDns, RefreshRequeuesFailedAddressesOnlyWhileTheWorkerSleeps) {
    const QString seven = QStringLiteral("10.0.0.7"), eight = QStringLiteral("10.0.0.8"),
                  nine = QStringLiteral("10.0.0.9");
    // Before any lookup there is nothing to refresh: no sweep over an empty cache.
    cache_->RefreshUnknownDNS();
    cache_->GetNameByIP(nine);
    cache_->GetNameByIP(eight);
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=2; ?=2)"))) << Show(log_->Texts());
    EXPECT_FALSE(log_->Texts().contains(QStringLiteral("IDLE (Nb=0)"))) << Show(log_->Texts());

    // Asleep: both failed addresses are asked again.
    lookup_->Answer(nine, QStringLiteral("nine.example"));
    log_->Clear();
    cache_->RefreshUnknownDNS();
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=2; ?=1)"))) << Show(log_->Texts());
    EXPECT_EQ(log_->Texts(), (QStringList{"IDLE (Nb=2)", "QUERY 10.0.0.9 (Nb=2/2)", "CHECK (Nb=2/2)",
                                          "QUERY 10.0.0.8 (Nb=1/2)", "CHECK (Nb=1/2)", "SUSP (Nb=2; ?=1)"}))
        << Show(log_->Texts());
    EXPECT_EQ(cache_->GetNameByIP(nine), QStringLiteral("nine.example"));
    EXPECT_EQ(lookup_->Calls(eight), 2);

    // During a sweep: one more sweep, which does not ask for the failed address again.
    lookup_->Answer(eight, QStringLiteral("eight.example"));
    lookup_->Answer(seven, QStringLiteral("seven.example"));
    lookup_->Hold(seven);
    log_->Clear();
    cache_->GetNameByIP(seven);
    ASSERT_TRUE(lookup_->WaitInside());
    cache_->RefreshUnknownDNS();
    lookup_->Release();
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=3; ?=1)"))) << Show(log_->Texts());
    EXPECT_EQ(log_->Texts(),
              (QStringList{"IDLE (Nb=3)", "CHECK (Nb=3/3)", "CHECK (Nb=2/3)", "QUERY 10.0.0.7 (Nb=1/3)",
                           "CHECK (Nb=1/3)", "IDLE (Nb=3)", "CHECK (Nb=3/3)", "CHECK (Nb=2/3)",
                           "CHECK (Nb=1/3)", "SUSP (Nb=3; ?=1)"}))
        << Show(log_->Texts());
    EXPECT_EQ(lookup_->Calls(eight), 2);
    EXPECT_EQ(cache_->GetNameByIP(eight), QString());
}

TEST_F(ReverseDns, DestructionDuringASlowLookupReturnsWithoutWaitingForIt) {
    const QString slow = QStringLiteral("10.0.0.5");
    lookup_->Hold(slow);
    cache_->GetNameByIP(slow);
    ASSERT_TRUE(lookup_->WaitInside());
    cache_.reset();
    EXPECT_TRUE(lookup_->Inside()) << "the destructor waited for the lookup";
    const int textsAtDestruction = static_cast<int>(log_->Texts().size());
    lookup_->Release();
    ASSERT_TRUE(lookup_->WaitReturned(1));
    EXPECT_EQ(log_->Texts().size(), textsAtDestruction) << Show(log_->Texts());

    // Asleep or between lookups, the destructor waits for the worker, which ends at once.
    auto idle = std::make_unique<TReverseDNS>(FakeLookup::Use(lookup_));
    idle.reset();
    auto sweeping = std::make_unique<TReverseDNS>(FakeLookup::Use(lookup_));
    for (int i = 0; i < 50; ++i)
        sweeping->GetNameByIP(QStringLiteral("10.2.0.%1").arg(i));
    sweeping.reset();
}

TEST_F(ReverseDns, ErrorsSkipOneEntryOrOneSweepButNeverEndTheWorker) {
    const QString a = QStringLiteral("10.0.0.66"), b = QStringLiteral("10.0.0.67"),
                  c = QStringLiteral("10.0.0.70"), d = QStringLiteral("10.0.0.71");
    for (const QString& address : {a, b, c, d})
        lookup_->Answer(address, QStringLiteral("name-") + address.section(u'.', 3));

    // A lookup that throws: that entry stays queued and is tried again by the next sweep.
    lookup_->ThrowOnce(a);
    cache_->GetNameByIP(a);
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=1; ?=0)"))) << Show(log_->Texts());
    EXPECT_EQ(Value(a), QStringLiteral("#"));
    EXPECT_EQ(cache_->GetNameByIP(a), a);
    cache_->GetNameByIP(b);
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=2; ?=0)"))) << Show(log_->Texts());
    EXPECT_EQ(cache_->GetNameByIP(a), QStringLiteral("name-66"));

    // An error outside the entries (the pane failing as a sweep begins): the queued address is
    // still resolved, and so are later ones.
    log_->ThrowOnceAt(QStringLiteral("IDLE (Nb=3)"));
    cache_->GetNameByIP(c);
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=3; ?=0)"))) << Show(log_->Texts());
    EXPECT_EQ(Value(c), QStringLiteral("name-70"));
    cache_->GetNameByIP(d);
    ASSERT_TRUE(log_->WaitFor(QStringLiteral("SUSP (Nb=4; ?=0)"))) << Show(log_->Texts());
    EXPECT_EQ(cache_->GetNameByIP(d), QStringLiteral("name-71"));
}

// A cache of four entries: past them the entry that failed longest ago goes first, then the
// oldest; an answer that changes (a lookup ended, an answered entry dropped) moves the
// generation, a new queued address does not.
TEST_F(ReverseDns, ABoundedCacheDropsTheOldestFailedEntriesFirstAndCountsChangedAnswers) {
    cache_ = std::make_unique<TReverseDNS>(FakeLookup::Use(lookup_), 4);
    const auto a = [](int i) { return QStringLiteral("10.3.0.%1").arg(i); };
    const auto keys = [this] {
        std::vector<QString> kept;
        for (const auto& entry : cache_->Entries())
            kept.push_back(entry.first);
        return kept;
    };
    const auto reaches = [this](quint64 generation) {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        while (cache_->Generation() < generation && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return cache_->Generation() == generation;
    };
    for (int i : {1, 3, 5, 6})
        lookup_->Answer(a(i), QStringLiteral("h%1").arg(i));
    for (int i = 1; i <= 4; ++i)
        cache_->GetNameByIP(a(i));
    EXPECT_EQ(cache_->Generation(), 0u) << "queued: the answer is still the address";
    ASSERT_TRUE(reaches(4)) << "four lookups ended";
    // The sweep runs from the last key: 10.3.0.4 failed first, so it goes first, then 10.3.0.2.
    cache_->GetNameByIP(a(5));
    EXPECT_EQ(keys(), (std::vector<QString>{a(1), a(2), a(3), a(5)}));
    cache_->GetNameByIP(a(6));
    EXPECT_EQ(keys(), (std::vector<QString>{a(1), a(3), a(5), a(6)}));
    ASSERT_TRUE(reaches(4 + 2 + 2)) << "two failed answers dropped, two lookups ended";
    // No failed entry left: the oldest goes, and with it a name.
    lookup_->Hold(a(7));
    cache_->GetNameByIP(a(7));
    EXPECT_EQ(keys(), (std::vector<QString>{a(3), a(5), a(6), a(7)}));
    EXPECT_EQ(cache_->Generation(), 4u + 2 + 2 + 1);
    EXPECT_EQ(cache_->GetNameByIP(a(3)), QStringLiteral("h3"));
    lookup_->Release();
}

// What `getent hosts 127.0.0.1` prints. A plain fork and exec: QProcess starts its children in a
// way ThreadSanitizer cannot follow, which then reports races on memory it lost track of.
QString GetentHosts127() {
    int out[2];
    if (pipe(out) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execlp("getent", "getent", "hosts", "127.0.0.1", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    close(out[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    return QString::fromLocal8Bit(text).section(u'\n', 0, 0);
}

// 127.0.0.1 is the only address a test may give the real resolver: it is answered from the
// machine's own hosts table, while any other may go to a name server.
TEST(RealResolver, NamesTheLoopbackAddressAsTheSystemDoes) {
    const QStringList fields = GetentHosts127().split(u' ', Qt::SkipEmptyParts);
    ASSERT_GE(fields.size(), 2) << "getent found no name for 127.0.0.1";
    const QString expected = fields[1].trimmed();

    EXPECT_EQ(ResolveAddress(QStringLiteral("127.0.0.1")), expected);
    EXPECT_EQ(ResolveAddress(QStringLiteral("127.0.0.1.5")), QString()) << "not an address: never asked";

    auto log = std::make_shared<StatusLog>();
    TReverseDNS cache;
    cache.SetStatusSink(StatusLog::Use(log));
    cache.GetNameByIP(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(log->WaitFor(QStringLiteral("SUSP (Nb=1; ?=0)"))) << Show(log->Texts());
    EXPECT_EQ(cache.GetNameByIP(QStringLiteral("127.0.0.1")), expected);
}

} // namespace
