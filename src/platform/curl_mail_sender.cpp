#include "platform/curl_mail_sender.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSysInfo>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/mail_text.h"

namespace {

struct ServerAddress {
    QString host;
    int port = 25;
};

bool IsPlainHost(const QString& host) {
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (c.isSpace() || c.unicode() < 0x20 || QStringLiteral("/\\?#@[]<>").contains(c))
            return false;
    }
    return true;
}

// What the system itself reads as an IPv6 address: "127.0.0.1:2525:7" is none.
bool IsIpv6Literal(const QString& host) {
    in6_addr address{};
    return ::inet_pton(AF_INET6, host.toLatin1().constData(), &address) == 1;
}

// "host", "host:port", "[v6]", "[v6]:port"; a bare IPv6 literal (several colons) has no port.
std::optional<ServerAddress> ParseServer(const QString& text) {
    ServerAddress server;
    const QString trimmed = text.trimmed();
    std::optional<QString> portText;
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        server.host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return std::nullopt;
        if (!rest.isEmpty())
            portText = rest.mid(1);
    } else if (trimmed.count(u':') == 1) {
        server.host = trimmed.section(u':', 0, 0);
        portText = trimmed.section(u':', 1);
    } else {
        server.host = trimmed;
    }
    if (portText) {
        bool ok = false;
        server.port = portText->toInt(&ok);
        if (!ok || server.port < 1 || server.port > 65535)
            return std::nullopt;
    }
    const bool valid = server.host.contains(u':') ? IsIpv6Literal(server.host) : IsPlainHost(server.host);
    return valid ? std::optional(server) : std::nullopt;
}

// The EHLO name: this machine's name when it is a plain DNS name, else what libcurl uses itself.
QByteArray EhloDomain() {
    const QByteArray name = QSysInfo::machineHostName().toLatin1();
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
            return "localhost";
    }
    return name.isEmpty() ? QByteArray("localhost") : name;
}

QByteArray SmtpUrl(const ServerAddress& server) {
    const QByteArray host = server.host.toUtf8();
    const QByteArray hostPart = server.host.contains(u':') ? "[" + host + "]" : host;
    return "smtp://" + hostPart + ":" + QByteArray::number(server.port) + "/" + EhloDomain();
}

bool CurlReady() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the libcurl callbacks of one Send see.
struct Exchange {
    QByteArray payload;
    qsizetype sent = 0;
    QByteArray lastErrorReply; // the last 4xx/5xx line the server sent
};

size_t ReadPayload(char* buffer, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<Exchange*>(user);
    const qsizetype chunk =
        std::min<qsizetype>(qsizetype(size * count), exchange->payload.size() - exchange->sent);
    std::memcpy(buffer, exchange->payload.constData() + exchange->sent, size_t(chunk));
    exchange->sent += chunk;
    return size_t(chunk);
}

// Only the server's reply lines are kept; a refusal ends the exchange, but the QUIT that follows
// gets a 221, so the last error reply is what explains the failure.
int RecordReply(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* exchange = static_cast<Exchange*>(user);
    for (const QByteArray& line : QByteArray(data, qsizetype(size)).split('\n')) {
        const QByteArray reply = line.trimmed();
        if (reply.startsWith('4') || reply.startsWith('5'))
            exchange->lastErrorReply = reply;
    }
    return 0;
}

QString CurlError(CURLcode code, const char* detail, const Exchange& exchange) {
    QString text = QString::fromUtf8(curl_easy_strerror(code));
    const QString more = QString::fromUtf8(detail).trimmed();
    if (!more.isEmpty() && more != text)
        text += QStringLiteral(": ") + more;
    if (!exchange.lastErrorReply.isEmpty())
        text += QStringLiteral(" (server reply: ") + QString::fromUtf8(exchange.lastErrorReply) + u')';
    return text;
}

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

// The checked addresses of one message: nothing is sent to a server before these hold.
struct Envelope {
    ServerAddress server;
    MailAddress from;
    QList<MailAddress> to;
};

std::optional<Envelope> CheckAddresses(const MailMessage& message, QString* error) {
    Envelope envelope;
    const std::optional<ServerAddress> server = ParseServer(message.server);
    QString badItem;
    const std::optional<QList<MailAddress>> to = ParseMailAddressList(message.recipients, &badItem);
    const std::optional<MailAddress> from = ParseMailAddress(message.from);
    if (message.server.trimmed().isEmpty())
        Fail(error, QStringLiteral("No SMTP server"));
    else if (!server)
        Fail(error, QStringLiteral("Invalid SMTP server: ") + message.server.trimmed());
    else if (!to)
        Fail(error, QStringLiteral("Invalid recipient address: ") + badItem);
    else if (to->isEmpty())
        Fail(error, QStringLiteral("No recipient address"));
    else if (message.from.trimmed().isEmpty())
        Fail(error, QStringLiteral("No sender address"));
    else if (!from)
        Fail(error, QStringLiteral("Invalid sender address: ") + message.from.trimmed());
    else
        return Envelope{*server, *from, *to};
    return std::nullopt;
}

// Everything a transfer reads stays alive in here until the handle is gone.
struct Transfer {
    Exchange exchange;
    QByteArray url;
    QByteArray mailFrom;
    QByteArray login;
    QByteArray password;
    std::unique_ptr<curl_slist, ListDeleter> recipients;
    char detail[CURL_ERROR_SIZE] = {};
};

bool AddRecipients(Transfer& transfer, const QList<MailAddress>& to) {
    for (const MailAddress& address : to) {
        const QByteArray mailbox = "<" + address.address.toUtf8() + ">";
        curl_slist* head = curl_slist_append(transfer.recipients.get(), mailbox.constData());
        if (!head)
            return false;
        if (!transfer.recipients)
            transfer.recipients.reset(head);
    }
    return true;
}

curl_socket_t OpenSocketCallback(void* sender, curlsocktype, curl_sockaddr* address) {
    const int fd = static_cast<CurlMailSender*>(sender)->OpenSocket(address->family, address->socktype,
                                                                    address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int CloseSocketCallback(void* sender, curl_socket_t fd) {
    static_cast<CurlMailSender*>(sender)->CloseSocket(fd);
    return 0;
}

// Each server answer, and the QUIT at the end (which libcurl waits for while it closes the
// connection, whatever time is left), gets a third of the time; the exchange before it the rest.
struct Bounds {
    long answerSeconds;
    long exchangeMs;
};
Bounds SplitTime(std::chrono::milliseconds total) {
    const long answerSeconds = std::max(1L, long(total.count() / 3000));
    return Bounds{answerSeconds, std::max(1L, long(total.count()) - answerSeconds * 1000)};
}

void Configure(CURL* handle, Transfer& transfer, long connectMs, std::chrono::milliseconds total,
               CurlMailSender* sender) {
    const Bounds bounds = SplitTime(total);
    curl_easy_setopt(handle, CURLOPT_URL, transfer.url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, std::min(connectMs, bounds.exchangeMs));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, bounds.exchangeMs);
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, bounds.answerSeconds);
    curl_easy_setopt(handle, CURLOPT_OPENSOCKETFUNCTION, &OpenSocketCallback);
    curl_easy_setopt(handle, CURLOPT_OPENSOCKETDATA, sender);
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETFUNCTION, &CloseSocketCallback);
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETDATA, sender);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, transfer.detail);
    // TRY rather than ALL: many LAN relays offer no TLS at all, and the alert must still go out.
    // libcurl then also logs in over plain text when asked to; that is the user's server choice.
    curl_easy_setopt(handle, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    if (!transfer.login.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, transfer.login.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, transfer.password.constData());
    }
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, transfer.mailFrom.constData());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, transfer.recipients.get());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &ReadPayload);
    curl_easy_setopt(handle, CURLOPT_READDATA, &transfer.exchange);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(transfer.exchange.payload.size()));
    // The debug callback only runs in verbose mode; it keeps the reply lines and prints nothing.
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &RecordReply);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &transfer.exchange);
}

} // namespace

CurlMailSender::CurlMailSender(std::chrono::milliseconds connectTimeout,
                               std::chrono::milliseconds exchangeTimeout)
    : connectTimeout_(connectTimeout), exchangeTimeout_(exchangeTimeout) {}

bool CurlMailSender::Send(const MailMessage& message, QString* error) {
    const std::optional<Envelope> envelope = CheckAddresses(message, error);
    if (!envelope)
        return false;
    {
        std::lock_guard guard(socketsLock_);
        if (aborted_)
            return Fail(error, QStringLiteral("Mail sending was stopped"));
    }
    Transfer transfer;
    const std::unique_ptr<CURL, EasyDeleter> curl(CurlReady() ? curl_easy_init() : nullptr);
    if (!curl || !AddRecipients(transfer, envelope->to))
        return Fail(error, QStringLiteral("libcurl could not be initialised"));
    transfer.exchange.payload =
        ComposeMailText(message, envelope->from, envelope->to, QDateTime::currentDateTime());
    transfer.url = SmtpUrl(envelope->server);
    transfer.mailFrom = "<" + envelope->from.address.toUtf8() + ">";
    transfer.login = message.login.toUtf8();
    transfer.password = message.password.toUtf8();
    Configure(curl.get(), transfer, long(connectTimeout_.count()), exchangeTimeout_, this);
    const CURLcode result = curl_easy_perform(curl.get());
    if (result != CURLE_OK)
        return Fail(error, CurlError(result, transfer.detail, transfer.exchange));
    return true;
}

void CurlMailSender::Abort() {
    std::lock_guard guard(socketsLock_);
    aborted_ = true;
    // Shut down, not closed: the descriptors stay libcurl's until it closes them, so none is reused.
    for (const int fd : sockets_)
        ::shutdown(fd, SHUT_RDWR);
}

int CurlMailSender::OpenSocket(int family, int type, int protocol) {
    std::lock_guard guard(socketsLock_);
    if (aborted_)
        return -1;
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd >= 0)
        sockets_.insert(fd);
    return fd;
}

void CurlMailSender::CloseSocket(int fd) {
    std::lock_guard guard(socketsLock_);
    sockets_.erase(fd);
    ::close(fd);
}
