#include "engine/alert_mailer.h"

#include <algorithm>
#include <cstdio>

#include "engine/clock.h"
#include "engine/tail_window_port.h"
#include "util/date_time_text.h"

namespace {

QString DelayText(std::chrono::milliseconds delay) {
    const qint64 ms = delay.count();
    if (ms >= 60000 && ms % 60000 == 0)
        return QStringLiteral("%1 min").arg(ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 ms").arg(ms);
}

} // namespace

AlertMailer::AlertMailer(MailSender& sender, TailWindowPort& window, const EngineClock& clock,
                         MailRetryDelays delays)
    : sender_(sender), window_(window), clock_(clock), delays_(delays), thread_([this] { Run(); }) {}

AlertMailer::~AlertMailer() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    sender_.Abort();
    wake_.notify_all();
    thread_.join();
    for (const Waiting& waiting : waiting_)
        std::fprintf(stderr, "Kovra: alert mail not sent (closing): %s\n",
                     qPrintable(waiting.message.subject));
}

void AlertMailer::Send(MailMessage message) {
    std::lock_guard guard(lock_);
    if (int(waiting_.size()) + (sending_ ? 1 : 0) >= kMaxWaiting) {
        Report(QStringLiteral("Mail not sent (too many mails waiting, given up)"),
               QStringLiteral("too many mails waiting"), message.subject);
        return;
    }
    waiting_.push_back(Waiting{std::move(message), 1, std::chrono::steady_clock::now()});
    wake_.notify_one();
}

void AlertMailer::SetRetryDelays(MailRetryDelays delays) {
    std::lock_guard guard(lock_);
    delays_ = delays;
}

int AlertMailer::Pending() const {
    std::lock_guard guard(lock_);
    return int(waiting_.size()) + (sending_ ? 1 : 0);
}

void AlertMailer::Run() {
    std::unique_lock lock(lock_);
    while (!stopping_) {
        const auto next = std::min_element(waiting_.begin(), waiting_.end(),
                                           [](const Waiting& a, const Waiting& b) { return a.due < b.due; });
        if (next == waiting_.end()) {
            wake_.wait(lock);
            continue;
        }
        if (next->due > std::chrono::steady_clock::now()) {
            wake_.wait_until(lock, next->due);
            continue;
        }
        Waiting current = std::move(*next);
        waiting_.erase(next);
        sending_ = true;
        lock.unlock();
        QString reason;
        const bool sent = sender_.Send(current.message, &reason);
        lock.lock();
        sending_ = false;
        if (!sent && stopping_)
            waiting_.push_back(std::move(current)); // listed as given up by the destructor
        else if (!sent)
            Failed(std::move(current), reason);
        else if (current.attempt > 1)
            Report(QStringLiteral("Mail sent (attempt %1 of %2)").arg(current.attempt).arg(kAttempts),
                   QString(), current.message.subject);
    }
}

void AlertMailer::Failed(Waiting waiting, const QString& reason) {
    if (waiting.attempt >= kAttempts) {
        Report(QStringLiteral("Mail not sent (attempt %1 of %1, given up)").arg(kAttempts), reason,
               waiting.message.subject);
        return;
    }
    const std::chrono::milliseconds delay = waiting.attempt == 1 ? delays_.first : delays_.second;
    Report(QStringLiteral("Mail not sent (attempt %1 of %2, next in %3)")
               .arg(waiting.attempt)
               .arg(kAttempts)
               .arg(DelayText(delay)),
           reason, waiting.message.subject);
    ++waiting.attempt;
    waiting.due = std::chrono::steady_clock::now() + delay;
    waiting_.push_back(std::move(waiting));
}

void AlertMailer::Report(const QString& what, const QString& reason, const QString& subject) {
    QString line = QStringLiteral(" - ") + what;
    if (!reason.isEmpty())
        line += QStringLiteral(", reason=[") + reason + u']';
    line += QStringLiteral(", subject=[") + subject + u']';
    reports_.push_back(Shown{line, reason});
    QMetaObject::invokeMethod(this, "DeliverReports", Qt::QueuedConnection);
}

void AlertMailer::DeliverReports() {
    std::deque<Shown> reports;
    {
        std::lock_guard guard(lock_);
        reports.swap(reports_);
    }
    for (const Shown& shown : reports) {
        window_.InsertAlertLine(LongTimeText(clock_.Now()) + shown.line);
        if (!shown.reason.isEmpty())
            window_.SetInfoPane(QStringLiteral("Exception : ") + shown.reason);
    }
}
