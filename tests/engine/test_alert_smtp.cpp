// The alert e-mail end to end: a pass that finds an alert line hands it to the mailer, which sends
// it through the real SMTP client to a real SMTP server started by the test.
#include <QElapsedTimer>
#include <QTcpServer>

#include "engine_fixture.h"
#include "platform/curl_mail_sender.h"
#include "support/smtp_test_server.h"
#include "util/date_time_text.h"

using namespace std::chrono_literals;

class AlertSmtpTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        RebuildEngine(&smtp_);
        window.alertOn = true;
        window.alertPattern = "ERROR";
        params->sendalertemail = true;
        params->smtpfrom = "kovra@example.test";
        params->alertemail = "ops@example.test; Night Shift <night@example.test>";
    }

    // The message body: everything after the blank line that ends the headers.
    static QByteArray Body(const QByteArray& raw) { return raw.mid(raw.indexOf("\r\n\r\n") + 4); }

    QByteArray ExpectedBody(const QString& line) const {
        return ("FILE=[" + Path("a.log") + "]\r\n\r\nTIME=[" + LongDateLongTimeText(clock.Now()) +
                "]\r\nTEXT=[ERROR]\r\n\r\nLINE=[" + line + "]\r\n")
            .toUtf8();
    }

    // Short bounds so that the dead-server case ends quickly.
    CurlMailSender smtp_{2000ms, 3000ms};
};

TEST_F(AlertSmtpTest, AlertMailArrivesAsSent) {
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    params->smtpserver = server.Address();
    Write("a.log", "boot\nERROR disk /var is full\n");
    Start("a.log");
    ASSERT_TRUE(WaitForMailer());

    const QList<CapturedMail> mails = server.Messages();
    ASSERT_EQ(mails.size(), 1) << window.infoPane.toStdString();
    const CapturedMail& mail = mails.front();
    EXPECT_EQ(mail.mailFrom, "kovra@example.test");
    EXPECT_EQ(mail.recipients, (QStringList{"ops@example.test", "night@example.test"}));
    EXPECT_EQ(mail.subject, "[KOVRA] ALERT - File:" + Path("a.log"));
    EXPECT_EQ(Body(mail.raw), ExpectedBody("ERROR disk /var is full"));
    EXPECT_TRUE(mail.login.isEmpty());
    EXPECT_FALSE(window.infoPane.startsWith("Exception"));
}

TEST_F(AlertSmtpTest, LoginAndPasswordReachTheServer) {
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.StartRequiringLogin("alerts", "s3cret", &error)) << error.toStdString();
    params->smtpserver = server.Address();
    params->smtplogin = "alerts";
    params->smtppassword = "s3cret";
    Write("a.log", "ERROR one\n");
    Start("a.log");
    ASSERT_TRUE(WaitForMailer());

    const QList<CapturedMail> mails = server.Messages();
    ASSERT_EQ(mails.size(), 1) << window.infoPane.toStdString();
    EXPECT_EQ(mails.front().login, "alerts");
    EXPECT_EQ(Body(mails.front().raw), ExpectedBody("ERROR one"));
}

TEST_F(AlertSmtpTest, UnreachableServerIsReportedOnceAndNotRetriedForTheSameLine) {
    params->smtpserver = QStringLiteral("127.0.0.1:%1").arg(FreeLocalPort());
    Write("a.log", "ERROR one\n");
    Start("a.log");
    ASSERT_TRUE(WaitUntil([&] { return window.infoPane.startsWith("Exception"); }));
    EXPECT_TRUE(window.infoPane.startsWith("Exception : Couldn't connect to server"))
        << window.infoPane.toStdString();
    EXPECT_EQ(engine->LastAlertLine(), "ERROR one");

    // The server is back, the alert line is unchanged: no second mail for it.
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    params->smtpserver = server.Address();
    Append("a.log", "quiet line\n");
    Ticks(1);
    EXPECT_EQ(engine->Mailer()->Pending(), 1) << "only the retry, a minute later, waits";
    EXPECT_TRUE(server.Messages().isEmpty());
    EXPECT_FALSE(window.infoPane.startsWith("Exception"));

    Append("a.log", "ERROR two\n");
    Ticks(1);
    ASSERT_TRUE(WaitUntil([&] { return server.Messages().size() == 1; }));
    EXPECT_EQ(Body(server.Messages().front().raw), ExpectedBody("ERROR two"));
}

TEST_F(AlertSmtpTest, ServerThatNeverAnswersIsCutByTheTimeout) {
    QTcpServer silent; // accepts (the kernel does) and never greets
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    params->smtpserver = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
    Write("a.log", "ERROR one\n");
    Start("a.log");
    EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)"); // the pass ended without waiting
    ASSERT_TRUE(WaitUntil([&] { return window.infoPane.startsWith("Exception"); }));
    EXPECT_TRUE(window.infoPane.startsWith("Exception : Timeout was reached"))
        << window.infoPane.toStdString();
}

// A server that takes the message and then goes silent, even to QUIT: the pass (here on the
// window thread) never waits for it, and the failure arrives within the exchange's bound.
TEST_F(AlertSmtpTest, ServerSilentAfterDataNeverHoldsTheWindow) {
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.StartSilentAfterData(&error)) << error.toStdString();
    params->smtpserver = server.Address();
    Write("a.log", "ERROR one\n");
    QElapsedTimer elapsed;
    elapsed.start();
    Start("a.log");
    EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)");
    EXPECT_EQ(engine->Mailer()->Pending(), 1);
    ASSERT_TRUE(WaitUntil([&] { return window.alertLines.size() == 2; }, 60000));
    EXPECT_LT(elapsed.elapsed(), 30000) << "the exchange is bounded at 3 s, QUIT included";
    EXPECT_EQ(server.Messages().size(), 1) << "the message reached the server before it went silent";
    EXPECT_TRUE(window.infoPane.startsWith("Exception : Timeout was reached"))
        << window.infoPane.toStdString();
    EXPECT_TRUE(window.alertLines.first().contains(
        " - Mail not sent (attempt 1 of 3, next in 1 min), reason=[Timeout was reached"))
        << window.alertLines.first().toStdString();
}
