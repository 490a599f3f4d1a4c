#pragma once
// MailSender on libcurl's SMTP client. Each Send opens one connection, upgrades it with STARTTLS
// when the server offers it, logs in when a login is given, sends one message and closes the
// connection before returning. Any thread: each call uses its own libcurl handle, so calls may
// even overlap. Abort shuts the connections of the calls in progress down, so they end at once.
#include <chrono>
#include <mutex>
#include <set>

#include "platform/mail_sender.h"

class CurlMailSender final : public MailSender {
public:
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout = std::chrono::seconds(15);
    static constexpr std::chrono::milliseconds kDefaultExchangeTimeout = std::chrono::seconds(60);

    // connectTimeout bounds the TCP connect; exchangeTimeout bounds the whole call, the QUIT that
    // closes the connection included, so a server that accepts and then stays silent (after the
    // greeting, after DATA, after QUIT) holds the caller for at most that long. A third of it, in
    // whole seconds, bounds each server answer; the rest bounds the exchange before QUIT.
    explicit CurlMailSender(std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout,
                            std::chrono::milliseconds exchangeTimeout = kDefaultExchangeTimeout);

    // Checks the server and the addresses before connecting: an empty or malformed one is refused
    // with its own message. The body's lines arrive exactly as given (CR LF separated, UTF-8).
    bool Send(const MailMessage& message, QString* error) override;
    void Abort() override;

    // libcurl's socket callbacks: the sockets of the calls in progress are known, so Abort can
    // shut them down.
    int OpenSocket(int family, int type, int protocol);
    void CloseSocket(int fd);

private:
    std::chrono::milliseconds connectTimeout_;
    std::chrono::milliseconds exchangeTimeout_;
    std::mutex socketsLock_;
    std::set<int> sockets_;
    bool aborted_ = false;
};
