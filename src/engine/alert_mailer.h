#pragma once
// AlertMailer: sends a tail window's alert e-mails on a thread of its own, so that a pass never
// waits for a mail server: the tail goes on and, in timer mode, the window never freezes while a
// mail is sent.
//
// One thread and a queue of at most kMaxWaiting messages (those waiting for a retry included).
// A message that cannot be sent is tried again twice, after the first and then the second retry
// delay (1 and 5 minutes), before it is given up. Every failure is shown where it stays visible
// after the fact: a line in the alerts window (the time, "Mail not sent", the attempt, the reason
// and the mail's subject), and "Exception : " + the reason in the INFO pane. A message that finds
// the queue full is given up at once, with its own line.
//
// Threads: Send from any thread (the pass). The reports reach the window port on the thread that
// created the mailer (the window thread) through queued calls; the mailer's thread never waits
// for the window. Destroying the mailer ends a send in progress (MailSender::Abort) and gives up
// what still waits, each message named on standard error, since nobody is left to show it to.
//
// Ownership: the sender, the window port and the clock are not owned and must outlive the mailer.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <QObject>

#include "platform/mail_sender.h"

class EngineClock;
class TailWindowPort;

// When a failed alert e-mail is tried again: after the first attempt, then after the second.
struct MailRetryDelays {
    std::chrono::milliseconds first = std::chrono::minutes(1);
    std::chrono::milliseconds second = std::chrono::minutes(5);
};

class AlertMailer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertMailer)

public:
    static constexpr int kAttempts = 3;
    static constexpr int kMaxWaiting = 16;

    AlertMailer(MailSender& sender, TailWindowPort& window, const EngineClock& clock,
                MailRetryDelays delays = {});
    ~AlertMailer() override;

    // Queues the message and returns at once.
    void Send(MailMessage message);
    // The delays of retries scheduled from now on (tests choose short ones).
    void SetRetryDelays(MailRetryDelays delays);
    // Messages queued, being sent or waiting for a retry.
    int Pending() const;

    // Window thread: shows the reports the mailer's thread queued.
    Q_INVOKABLE void DeliverReports();

private:
    struct Waiting {
        MailMessage message;
        int attempt = 1; // the attempt due next
        std::chrono::steady_clock::time_point due;
    };

    void Run();
    // Mailer's thread, lock held: what follows a failed attempt.
    void Failed(Waiting waiting, const QString& reason);
    // Lock held: queues a line for the alerts window (and the reason for the INFO pane) and wakes
    // the window thread. The reports wait in a queue of our own rather than inside a posted
    // functor, so their hand-over is visible to ThreadSanitizer.
    void Report(const QString& what, const QString& reason, const QString& subject);

    MailSender& sender_;
    TailWindowPort& window_;
    const EngineClock& clock_;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Waiting> waiting_;
    struct Shown {
        QString line; // after the time
        QString reason;
    };
    std::deque<Shown> reports_;
    MailRetryDelays delays_;
    bool sending_ = false;
    bool stopping_ = false;
    std::thread thread_; // last: started once everything above exists
};
