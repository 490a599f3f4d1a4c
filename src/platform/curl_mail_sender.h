#pragma once
// MailSender on libcurl's SMTP client. Each Send opens one connection, upgrades it with STARTTLS
// when the server offers it, logs in when a login is given, sends one message and closes the
// connection before returning. Any thread: each call uses its own libcurl handle, so calls may
// even overlap.
#include <chrono>

#include "platform/mail_sender.h"

class CurlMailSender final : public MailSender {
public:
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout = std::chrono::seconds(15);
    static constexpr std::chrono::milliseconds kDefaultExchangeTimeout = std::chrono::seconds(60);

    // connectTimeout bounds the TCP connect; exchangeTimeout bounds the whole call, so a server
    // that accepts and then stays silent cannot hold a pass for ever.
    explicit CurlMailSender(std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout,
                            std::chrono::milliseconds exchangeTimeout = kDefaultExchangeTimeout);

    // Checks the server and the addresses before connecting: an empty or malformed one is refused
    // with its own message. The body's lines arrive exactly as given (CR LF separated, UTF-8).
    bool Send(const MailMessage& message, QString* error) override;

private:
    std::chrono::milliseconds connectTimeout_;
    std::chrono::milliseconds exchangeTimeout_;
};
