#include "platform/curl_mail_sender.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <optional>
#include <ostream>
#include <thread>

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSet>
#include <QTcpServer>

#include <gtest/gtest.h>

#include "support/smtp_test_server.h"

using namespace std::chrono_literals;

// Readable failure messages for texts, lists of texts and mailboxes.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

MailMessage MessageTo(const QString& server) {
    MailMessage message;
    message.server = server;
    message.from = QStringLiteral("kovra@example.org");
    message.recipients = QStringLiteral("ops@example.org");
    message.subject = QStringLiteral("[KOVRA] Test mail");
    message.body = QStringLiteral("This is a test eMAIL.\r\n");
    return message;
}

QByteArray BodyOf(const QByteArray& raw) {
    return raw.mid(raw.indexOf("\r\n\r\n") + 4);
}

QList<QByteArray> HeaderLinesOf(const QByteArray& raw) {
    return raw.left(raw.indexOf("\r\n\r\n")).split('\n');
}

// Sets TZ for one scope; libc and Qt read it again at the next local-time conversion.
class TimeZoneScope final {
public:
    explicit TimeZoneScope(const char* zone)
        : saved_(qgetenv("TZ")), hadZone_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope() {
        if (hadZone_)
            qputenv("TZ", saved_);
        else
            qunsetenv("TZ");
        tzset();
    }
    Q_DISABLE_COPY_MOVE(TimeZoneScope)

private:
    QByteArray saved_;
    bool hadZone_;
};

class CurlMailSenderTest : public testing::Test {
protected:
    void StartServer() {
        QString error;
        ASSERT_TRUE(server_.Start(&error)) << error.toStdString();
    }

    // Sends and returns the one message the server got from it.
    std::optional<CapturedMail> Deliver(const MailMessage& message) {
        const qsizetype before = server_.Messages().size();
        QString error;
        EXPECT_TRUE(sender_.Send(message, &error)) << error.toStdString();
        const QList<CapturedMail> messages = server_.Messages();
        EXPECT_EQ(messages.size(), before + 1);
        if (messages.size() != before + 1)
            return std::nullopt;
        EXPECT_EQ(messages.last().parseError, QString());
        return messages.last();
    }

    SmtpTestServer server_;
    CurlMailSender sender_{5s, 20s};
};

TEST_F(CurlMailSenderTest, DeliversEnvelopeHeadersAndBodyExactly) {
    ASSERT_NO_FATAL_FAILURE(StartServer());
    MailMessage message = MessageTo(server_.Address());
    message.from = QStringLiteral("Kovra Alerts <kovra@example.org>");
    message.recipients = QStringLiteral(" Ann Example <ann@x.test>; bob@y.test,carl@z.test ;");
    message.subject = QStringLiteral("[KOVRA] ALERT - File:/var/log/syslog");
    // A lone "." line would end DATA early, ".x" would lose its dot, if nobody stuffed them.
    message.body = QStringLiteral("FILE=[/var/log/syslog]\r\n\r\n.\r\n.leading dot\r\n..two\r\n"
                                  "LINE=[Grüße – ✓ 😀]\r\n\r\n");
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const std::optional<CapturedMail> mail = Deliver(message);
    ASSERT_TRUE(mail);

    EXPECT_EQ(mail->mailFrom, QStringLiteral("kovra@example.org"));
    EXPECT_EQ(mail->recipients, QStringList({"ann@x.test", "bob@y.test", "carl@z.test"}));
    EXPECT_EQ(mail->from, (QList<CapturedMail::Mailbox>{{"Kovra Alerts", "kovra@example.org"}}));
    EXPECT_EQ(mail->to, (QList<CapturedMail::Mailbox>{
                            {"Ann Example", "ann@x.test"}, {"", "bob@y.test"}, {"", "carl@z.test"}}));
    EXPECT_EQ(mail->subject, message.subject);
    EXPECT_EQ(BodyOf(mail->raw), message.body.toUtf8());
    EXPECT_EQ(mail->body, message.body.toUtf8());
    EXPECT_TRUE(mail->raw.contains("\r\nContent-Type: text/plain; charset=UTF-8\r\n"));
    EXPECT_TRUE(mail->headerNames.contains(QStringLiteral("MIME-Version")));
    ASSERT_TRUE(mail->dateSecsSinceEpoch);
    EXPECT_LE(std::abs(*mail->dateSecsSinceEpoch - now), 60);
    EXPECT_TRUE(mail->messageId.startsWith(u'<') && mail->messageId.endsWith(QStringLiteral("@example.org>")))
        << mail->messageId.toStdString();
}

TEST_F(CurlMailSenderTest, SubjectsArriveAsTypedWhateverTheirCharacters) {
    ASSERT_NO_FATAL_FAILURE(StartServer());
    const QString multiByte = QStringLiteral("Überwachung ✓ 😀 ");
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("[KOVRA] ALERT - File:/var/log/überwachung.log"),
         QStringLiteral("[KOVRA] ALERT - File:/var/log/überwachung.log")},
        // Long enough for several encoded words, so their cuts fall inside multi-byte characters.
        {multiByte.repeated(12), multiByte.repeated(12)},
        // Over the 998-octet line limit: the server refuses such a line when it is sent plain.
        {QStringLiteral("/var/log/").repeated(130), QStringLiteral("/var/log/").repeated(130)},
        {QStringLiteral("looks =?UTF-8?B?encoded?= but is not"),
         QStringLiteral("looks =?UTF-8?B?encoded?= but is not")},
        // A file name may hold line breaks; they must not start a header of their own.
        {QStringLiteral("File:a\r\nBcc: eve@evil.test"), QStringLiteral("File:a  Bcc: eve@evil.test")},
    };
    QSet<QString> messageIds;
    for (const auto& [subject, expected] : cases) {
        MailMessage message = MessageTo(server_.Address());
        message.subject = subject;
        const std::optional<CapturedMail> mail = Deliver(message);
        ASSERT_TRUE(mail) << subject.toStdString();
        EXPECT_EQ(mail->subject, expected);
        EXPECT_FALSE(mail->headerNames.contains(QStringLiteral("Bcc")));
        EXPECT_EQ(mail->recipients, QStringList({"ops@example.org"}));
        for (const QByteArray& line : HeaderLinesOf(mail->raw)) {
            if (line.contains("=?UTF-8?B?")) {
                EXPECT_LE(line.size(), 77) << line.toStdString(); // 76 and the CR
            }
        }
        messageIds.insert(mail->messageId);
    }
    EXPECT_EQ(messageIds.size(), cases.size());
}

TEST_F(CurlMailSenderTest, LongBodyLinesAndTrailingBlanksArriveIntact) {
    ASSERT_NO_FATAL_FAILURE(StartServer());
    MailMessage message = MessageTo(server_.Address());
    // A log line far over the 998-octet limit, blanks at line ends, '=' signs, a dot line.
    message.body = QStringLiteral("LINE=[") + QStringLiteral("x=1 é✓ ").repeated(400) +
                   QStringLiteral("]\r\n") +
                   QStringLiteral("trailing blanks   \r\ntab at end\t\r\n\r\n.\r\n=3D stays literal\r\n");
    const std::optional<CapturedMail> mail = Deliver(message);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->body, message.body.toUtf8());
    for (const QByteArray& line : BodyOf(mail->raw).split('\n'))
        EXPECT_LE(line.size(), 77);
}

TEST_F(CurlMailSenderTest, LogsInWhenTheServerAsksForIt) {
    QString error;
    ASSERT_TRUE(server_.StartRequiringLogin(QStringLiteral("kovra"), QStringLiteral("s3cret é"), &error))
        << error.toStdString();
    MailMessage message = MessageTo(server_.Address());

    EXPECT_FALSE(sender_.Send(message, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("530"))) << error.toStdString(); // authentication required

    message.login = QStringLiteral("kovra");
    message.password = QStringLiteral("wrong");
    EXPECT_FALSE(sender_.Send(message, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Login denied"))) << error.toStdString();
    EXPECT_TRUE(
        error.contains(QStringLiteral("(server reply: 535 5.7.8 Authentication credentials invalid)")))
        << error.toStdString();

    message.password = QStringLiteral("s3cret é");
    EXPECT_TRUE(sender_.Send(message, &error)) << error.toStdString();
    const QList<CapturedMail> messages = server_.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].login, QStringLiteral("kovra"));
}

TEST_F(CurlMailSenderTest, RefusesMissingOrMalformedAddressesWithoutConnecting) {
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    const QString server = QStringLiteral("127.0.0.1:%1").arg(listener.serverPort());
    struct Case {
        QString server, from, recipients, error;
    };
    const QList<Case> cases = {
        {server, "kovra@example.org", "", "No recipient address"},
        {server, "kovra@example.org", " ; , ;", "No recipient address"},
        {server, "kovra@example.org", "a@x.test, John Smith", "Invalid recipient address: John Smith"},
        {server, "kovra@example.org", "Ann <>", "Invalid recipient address: Ann <>"},
        {server, "kovra@example.org", "a@x.test>\r\nRCPT TO:<eve@evil.test",
         "Invalid recipient address: a@x.test>\r\nRCPT TO:<eve@evil.test"},
        {server, "  ", "a@x.test", "No sender address"},
        {server, "Kovra <kovra at example.org>", "a@x.test",
         "Invalid sender address: Kovra <kovra at example.org>"},
        {" ", "kovra@example.org", "a@x.test", "No SMTP server"},
        {"127.0.0.1:0", "kovra@example.org", "a@x.test", "Invalid SMTP server: 127.0.0.1:0"},
        {"127.0.0.1:65536", "kovra@example.org", "a@x.test", "Invalid SMTP server: 127.0.0.1:65536"},
        {"[::1:25", "kovra@example.org", "a@x.test", "Invalid SMTP server: [::1:25"},
        {"mail.example.org:", "kovra@example.org", "a@x.test", "Invalid SMTP server: mail.example.org:"},
        {"mail/x.org", "kovra@example.org", "a@x.test", "Invalid SMTP server: mail/x.org"},
    };
    for (const Case& c : cases) {
        MailMessage message = MessageTo(c.server);
        message.from = c.from;
        message.recipients = c.recipients;
        QString error;
        EXPECT_FALSE(sender_.Send(message, &error));
        EXPECT_EQ(error, c.error);
    }
    EXPECT_FALSE(listener.waitForNewConnection(100));
}

TEST_F(CurlMailSenderTest, UnreachableServerGivesLibcurlsMessage) {
    const quint16 closedPort = FreeLocalPort();
    for (const QString& server : {QStringLiteral("127.0.0.1:%1"), QStringLiteral("[::1]:%1")}) {
        QString error;
        EXPECT_FALSE(sender_.Send(MessageTo(server.arg(closedPort)), &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("Couldn't connect to server: Failed to connect to")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("port %1").arg(closedPort))) << error.toStdString();
    }
}

TEST_F(CurlMailSenderTest, SilentServerIsCutByTheExchangeTimeout) {
    // The kernel completes the connection from the listen queue; nobody ever sends a greeting.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    CurlMailSender sender(2s, 2s);
    QElapsedTimer clock;
    clock.start();
    QString error;
    EXPECT_FALSE(sender.Send(MessageTo(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())), &error));
    EXPECT_GE(clock.elapsed(), 900) << "an answer is waited for a third of the bound, at least a second";
    EXPECT_LE(clock.elapsed(), 6000);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Timeout was reached"))) << error.toStdString();
}

// The server takes the whole message and then answers nothing, not even QUIT: the exchange ends
// within its bound all the same (libcurl alone would wait two more minutes for the QUIT answer).
TEST_F(CurlMailSenderTest, ServerSilentAfterDataIsCutWithinTheBoundQuitIncluded) {
    SmtpTestServer silent;
    QString error;
    ASSERT_TRUE(silent.StartSilentAfterData(&error)) << error.toStdString();
    CurlMailSender sender(2s, 6s);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(sender.Send(MessageTo(silent.Address()), &error));
    EXPECT_LT(clock.elapsed(), 12000);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Timeout was reached"))) << error.toStdString();
    EXPECT_EQ(silent.Messages().size(), 1);
}

TEST_F(CurlMailSenderTest, AbortEndsASendInProgressAndEveryLaterOne) {
    SmtpTestServer silent;
    QString error;
    ASSERT_TRUE(silent.StartSilentAfterData(&error)) << error.toStdString();
    CurlMailSender sender; // the program's bounds: a minute
    auto sending = std::async(std::launch::async, [&] {
        QString why;
        const bool sent = sender.Send(MessageTo(silent.Address()), &why);
        return std::make_pair(sent, why);
    });
    QElapsedTimer waited;
    waited.start();
    while (silent.Messages().isEmpty() && waited.elapsed() < 20000)
        std::this_thread::sleep_for(20ms);
    ASSERT_EQ(silent.Messages().size(), 1) << "the message never reached the server";
    sender.Abort(); // now waiting for the answer to the end of DATA
    ASSERT_EQ(sending.wait_for(10s), std::future_status::ready) << "the send went on after Abort";
    EXPECT_FALSE(sending.get().first);
    EXPECT_FALSE(sender.Send(MessageTo(silent.Address()), &error));
    EXPECT_EQ(error, "Mail sending was stopped");
}

TEST_F(CurlMailSenderTest, DateHeaderIsLocalTimeWithItsOffset) {
    ASSERT_NO_FATAL_FAILURE(StartServer());
    // POSIX zone strings need no zone database; half hours catch an offset cut to whole hours.
    const QList<std::pair<const char*, QByteArray>> zones = {{"KST-5:30", "+0530"}, {"NST3:30", "-0330"}};
    for (const auto& [zone, offset] : zones) {
        const TimeZoneScope scope(zone);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const std::optional<CapturedMail> mail = Deliver(MessageTo(server_.Address()));
        ASSERT_TRUE(mail);
        ASSERT_TRUE(mail->dateSecsSinceEpoch) << zone;
        EXPECT_LE(std::abs(*mail->dateSecsSinceEpoch - now), 60) << zone;
        const QByteArray date = mail->raw.mid(mail->raw.indexOf("Date: "));
        EXPECT_EQ(date.left(date.indexOf("\r\n")).right(5), offset) << zone;
    }
}

} // namespace
