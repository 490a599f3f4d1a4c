#pragma once
// Shared fixture of the engine tests: real settings in a temporary store, real files in a
// temporary folder, the fake window, a fake clock and recording fakes for mail and name lookups.
#include <map>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "engine/address_annotation.h"
#include "engine/clock.h"
#include "engine/tail_state.h"
#include "platform/alert_notifier.h"
#include "platform/mail_sender.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/fake_dialogs.h"
#include "support/fake_tail_window.h"

class FakeClock final : public EngineClock {
public:
    QDateTime Now() const override {
        std::lock_guard guard(lock_);
        return now_;
    }
    void Advance(qint64 ms) {
        std::lock_guard guard(lock_);
        now_ = now_.addMSecs(ms);
    }

private:
    mutable std::mutex lock_;
    QDateTime now_{QDate(2024, 3, 5), QTime(10, 0, 0)};
};

// Records every message; fails while a failure is set (for `times` sends, or every one). Sends
// come from the engine's mailer thread, so everything is behind a lock.
class RecordingMailSender final : public MailSender {
public:
    bool Send(const MailMessage& message, QString* error) override {
        std::lock_guard guard(lock_);
        sent_.push_back(message);
        if (failure_.isEmpty() || failuresLeft_ == 0)
            return true;
        if (failuresLeft_ > 0)
            --failuresLeft_;
        if (error)
            *error = failure_;
        return false;
    }
    std::vector<MailMessage> Sent() const {
        std::lock_guard guard(lock_);
        return sent_;
    }
    // times < 0: every send fails.
    void FailWith(const QString& failure, int times = -1) {
        std::lock_guard guard(lock_);
        failure_ = failure;
        failuresLeft_ = times;
    }

private:
    mutable std::mutex lock_;
    std::vector<MailMessage> sent_;
    QString failure_;
    int failuresLeft_ = -1;
};

class MapResolver final : public AddressResolver {
public:
    QString GetNameByIP(const QString& address) override {
        ++asked;
        const auto it = names.find(address);
        return it == names.end() ? address : it->second;
    }
    // Moves whenever the names do, as the real cache's count of changes.
    quint64 Generation() const override {
        quint64 generation = 1;
        for (const auto& [address, name] : names)
            generation = generation * 1000003 ^ qHash(address) ^ (qHash(name) << 1);
        return generation;
    }
    std::map<QString, QString> names;
    int asked = 0;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the engine by one that sends its alert e-mails through mailSender (and looks names
    // up with lookups, the fixture's resolver when null).
    void RebuildEngine(MailSender* mailSender, AddressResolver* lookups = nullptr);
    QString Path(const QString& name) const { return files_.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) const;
    void Append(const QString& name, const QByteArray& bytes) const;
    // Types the name into the file-name edit and starts (which runs the first tick).
    void Start(const QString& nameOrPath);
    // Timer mode: n ticks, each run at once.
    void Ticks(int n);
    // Worker mode: one tick, handling events until the worker has ended (10 s deadline).
    void TickAndWait();
    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
    // Handles events until the mailer has nothing left to send and its reports have arrived.
    bool WaitForMailer(int timeoutMs = 10000);
    TDefTailFile& Def() { return *manager->List->DefFile; }
    QStringList View() const { return window.ViewLines(); }

    QTemporaryDir config_;
    QTemporaryDir files_;
    FakeDialogService dialogs;
    FakeTailWindow window;
    FakeClock clock;
    RecordingMailSender mail;
    MapResolver resolver;
    std::unique_ptr<TTailParam> params;
    std::unique_ptr<TTailFileManager> manager;
    std::unique_ptr<TailEngine> engine;
    int changeDebounceMs = -1; // the tests tick by hand unless one asks for notifications
    AlertNotifier* notifier = nullptr; // desktop notifications of the next RebuildEngine
};
