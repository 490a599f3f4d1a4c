// The alert step after a pass: text alerts, file-change notices, sounds, the alert e-mail.
#include <condition_variable>
#include <mutex>

#include "engine/alert_mailer.h"
#include "engine/alerts.h"
#include "engine_fixture.h"
#include "util/date_time_text.h"

class AlertTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        window.alertOn = true;
        sound_ = Path("ding.wav");
        Write("ding.wav", "RIFF");
    }
    QString AlertText(const QString& pattern, const QString& line, const QString& lead = " - Alert text=[") {
        return LongTimeText(clock.Now()) + lead + pattern + "], line=[" + line + "], file=[" + Path("a.log") +
               "]";
    }
    QString sound_;
};

TEST_F(AlertTest, OneAlertForTheLaterOfTwoNewLinesAndNoneForTheSameTextAgain) {
    EXPECT_EQ(engine->LastAlertLine(), "VLMWASHERE");
    window.alertPattern = "ERROR";
    params->playalertsound = true;
    params->alertsoundfile = sound_;
    Write("a.log", "start\n");
    Start("a.log");
    EXPECT_TRUE(window.alertLines.isEmpty());
    Append("a.log", "ERROR one\nERROR two\nok\n");
    Ticks(1);
    EXPECT_EQ(window.alertLines, QStringList{AlertText("ERROR", "ERROR two")});
    EXPECT_TRUE(window.alertsVisible);
    EXPECT_EQ(window.restoreCount, 1);
    EXPECT_EQ(window.sounds, QStringList{sound_});
    EXPECT_EQ(engine->LastAlertLine(), "ERROR two");

    window.alertsVisible = false;
    Append("a.log", "later\nERROR two\n");
    Ticks(1);
    EXPECT_EQ(window.alertLines.size(), 1);
    EXPECT_FALSE(window.alertsVisible);

    Append("a.log", "ERROR three\n");
    Ticks(1);
    ASSERT_EQ(window.alertLines.size(), 2);
    EXPECT_EQ(window.alertLines.first(), AlertText("ERROR", "ERROR three")); // newest on top
}

TEST_F(AlertTest, TheCreationMarkerLineRaisesNothing) {
    window.alertPattern = "VLM";
    Write("a.log", "VLMWASHERE\n");
    Start("a.log");
    EXPECT_TRUE(window.alertLines.isEmpty());
}

TEST_F(AlertTest, FileChangeSoundWaitsForAQuietPeriod) {
    params->playfilechangesound = true;
    params->filechangesoundfile = sound_;
    params->filechangesoundonlyifsince = true;
    params->filechangesoundonlyifsincedelay = 5;
    Write("a.log", "first\n");
    Start("a.log"); // the start itself counts as the last notice
    EXPECT_EQ(window.alertLines.size(), 1);
    EXPECT_TRUE(window.sounds.isEmpty());
    clock.Advance(10000);
    QStringList soundsAt;
    int previous = 0;
    for (int second : {0, 2, 4, 10}) {
        clock.Advance((second - previous) * 1000);
        previous = second;
        const qsizetype before = window.sounds.size();
        Append("a.log", QByteArray::number(second) + "\n");
        Ticks(1);
        if (window.sounds.size() > before)
            soundsAt << QString::number(second);
    }
    EXPECT_EQ(soundsAt, (QStringList{"0", "10"}));
    EXPECT_EQ(window.alertLines.size(), 5);
    EXPECT_EQ(window.alertLines.first(),
              LongTimeText(clock.Now()) + " - File has changed, file=[" + Path("a.log") + "]");
    EXPECT_FALSE(window.alertsVisible); // a notice never shows the alerts window
    EXPECT_EQ(window.restoreCount, 5);  // filechangebtf is on by default
    Ticks(1);                           // no change, no notice
    EXPECT_EQ(window.alertLines.size(), 5);
}

TEST_F(AlertTest, FileChangeSoundOnlyWhileMinimized) {
    params->playfilechangesound = true;
    params->filechangesoundfile = sound_;
    params->filechangesoundonlyifminimized = true;
    params->filechangebtf = false;
    Write("a.log", "x\n");
    Start("a.log");
    EXPECT_EQ(window.alertLines.size(), 1);
    EXPECT_TRUE(window.sounds.isEmpty());
    window.minimized = true;
    Append("a.log", "y\n");
    Ticks(1);
    EXPECT_EQ(window.sounds, QStringList{sound_});
    EXPECT_EQ(window.restoreCount, 0);
}

TEST_F(AlertTest, InvertedAlertTextsAndMail) {
    window.alertPattern = "OK";
    window.alertInverted = true;
    params->sendalertemail = true;
    params->alertemail = "ops@example.org, Night <night@example.org>";
    params->smtpserver = "mail.example.org";
    params->smtplogin = "kovra";
    params->smtppassword = "secret";
    params->smtpfrom = "kovra@example.org";
    Write("a.log", "OK 1\nbad line\nOK 2\n");
    Start("a.log");
    EXPECT_EQ(window.alertLines, QStringList{AlertText("OK", "bad line", " - Invert Alert text=[")});
    ASSERT_TRUE(WaitForMailer());
    ASSERT_EQ(mail.Sent().size(), 1u);
    const MailMessage m = mail.Sent().front();
    EXPECT_EQ(m.subject, "[KOVRA] ALERT - File:" + Path("a.log"));
    EXPECT_EQ(m.recipients, params->alertemail);
    EXPECT_EQ(m.from, "kovra@example.org");
    EXPECT_EQ(m.server, "mail.example.org");
    EXPECT_EQ(m.login, "kovra");
    EXPECT_EQ(m.password, "secret");
    EXPECT_EQ(m.body, "FILE=[" + Path("a.log") + "]\r\n\r\nTIME=[" + LongDateLongTimeText(clock.Now()) +
                          "]\r\nINVERT\r\nTEXT=[OK]\r\n\r\nLINE=[bad line]\r\n");
    window.alertInverted = false;
    Append("a.log", "OK 3\n");
    Ticks(1);
    ASSERT_TRUE(WaitForMailer());
    ASSERT_EQ(mail.Sent().size(), 2u);
    EXPECT_FALSE(mail.Sent().back().body.contains("INVERT"));
}

TEST_F(AlertTest, APatternOfOneBlankIsNotEmpty) {
    window.alertPattern = " ";
    Write("a.log", "ab\n");
    Start("a.log");
    EXPECT_TRUE(window.alertLines.isEmpty()); // no file-change notice
    Append("a.log", "a b\n");
    Ticks(1);
    EXPECT_EQ(window.alertLines, QStringList{AlertText(" ", "a b")});
}

// A mail that cannot be sent stays visible after the fact: a line per failed attempt in the alerts
// window, two more attempts, then a final line. The pass never waits for any of it.
TEST_F(AlertTest, FailedMailIsReportedAndTriedTwiceMoreBeforeItIsGivenUp) {
    using namespace std::chrono_literals;
    engine->Mailer()->SetRetryDelays({50ms, 100ms});
    window.alertPattern = "ERROR";
    params->sendalertemail = true;
    params->smtpserver = "127.0.0.1:1";
    params->alertemail = "ops@example.org";
    const QString failure = "Failed to connect to 127.0.0.1 port 1: Connection refused";
    mail.FailWith(failure);
    Write("a.log", "ERROR x\n");
    Start("a.log");
    EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)"); // the pass ended normally
    EXPECT_EQ(engine->LastAlertLine(), "ERROR x");
    ASSERT_TRUE(WaitUntil([&] { return window.alertLines.size() == 4; }))
        << window.alertLines.join('\n').toStdString();
    ASSERT_TRUE(WaitForMailer());
    EXPECT_EQ(mail.Sent().size(), 3u);
    const QString tail = ", reason=[" + failure + "], subject=[[KOVRA] ALERT - File:" + Path("a.log") + "]";
    const QStringList expected{" - Mail not sent (attempt 3 of 3, given up)" + tail,
                               " - Mail not sent (attempt 2 of 3, next in 100 ms)" + tail,
                               " - Mail not sent (attempt 1 of 3, next in 50 ms)" + tail};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(window.alertLines[i], LongTimeText(clock.Now()) + expected[i]);
    EXPECT_EQ(window.alertLines[3], AlertText("ERROR", "ERROR x")); // the alert itself came first
    EXPECT_EQ(window.infoPane, "Exception : " + failure);

    Ticks(1); // the same line again: no second alert, no other mail
    ASSERT_TRUE(WaitForMailer());
    EXPECT_EQ(mail.Sent().size(), 3u);
    EXPECT_EQ(window.infoPane, "Lines read= 1 - Lines filtered= 0");

    mail.FailWith(failure, 1); // the next mail fails once, then goes out
    Append("a.log", "ERROR y\n");
    Ticks(1);
    ASSERT_TRUE(WaitUntil([&] { return window.alertLines.size() == 7; }));
    ASSERT_TRUE(WaitForMailer());
    EXPECT_EQ(mail.Sent().size(), 5u);
    EXPECT_EQ(window.alertLines.first(),
              LongTimeText(clock.Now()) +
                  " - Mail sent (attempt 2 of 3), subject=[[KOVRA] ALERT - File:" + Path("a.log") + "]");
}

// A mail server that takes its time never holds the pass, and the mails waiting for it are bounded.
TEST_F(AlertTest, SlowMailNeverHoldsThePassAndTheQueueIsBounded) {
    class GatedSender final : public MailSender {
    public:
        bool Send(const MailMessage&, QString*) override {
            std::unique_lock guard(lock);
            ++started;
            opened.wait(guard, [&] { return open; });
            return true;
        }
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        int started = 0;
    } gated;
    RebuildEngine(&gated);
    window.alertPattern = "ERROR";
    params->sendalertemail = true;
    Write("a.log", "ERROR 0\n");
    Start("a.log");
    EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)");
    for (int i = 1; i <= AlertMailer::kMaxWaiting; ++i) {
        Append("a.log", "ERROR " + QByteArray::number(i) + "\n");
        Ticks(1);
        EXPECT_EQ(window.stateTexts.last(), "Waiting (1s)");
    }
    EXPECT_EQ(engine->Mailer()->Pending(), AlertMailer::kMaxWaiting);
    ASSERT_TRUE(WaitUntil([&] { return window.alertLines.size() == AlertMailer::kMaxWaiting + 2; }));
    EXPECT_TRUE(
        window.alertLines.first().endsWith(" - Mail not sent (too many mails waiting, given up), reason=[too "
                                           "many mails waiting], subject=[[KOVRA] ALERT - File:" +
                                           Path("a.log") + "]"))
        << window.alertLines.first().toStdString();
    {
        std::lock_guard guard(gated.lock);
        gated.open = true;
    }
    gated.opened.notify_all();
    ASSERT_TRUE(WaitForMailer());
    EXPECT_EQ(gated.started, AlertMailer::kMaxWaiting);
    engine.reset(); // before the sender goes
}

TEST_F(AlertTest, AlarmImageRule) {
    TTailParam p;
    EXPECT_FALSE(AlarmImageVisible(p, true, "x"));
    p.playalertsound = true;
    p.alertsoundfile = sound_;
    EXPECT_TRUE(AlarmImageVisible(p, true, "x"));
    EXPECT_FALSE(AlarmImageVisible(p, false, "x"));
    EXPECT_FALSE(AlarmImageVisible(p, true, ""));
    p.alertsoundfile = Path("missing.wav");
    EXPECT_FALSE(AlarmImageVisible(p, true, "x"));
    p.sendalertemail = true;
    p.smtpserver = "mail";
    EXPECT_FALSE(AlarmImageVisible(p, true, "x")); // no recipient
    p.alertemail = "a@b";
    EXPECT_TRUE(AlarmImageVisible(p, true, "x"));
    EXPECT_FALSE(AlarmImageVisible(p, true, ""));
    p.playfilechangesound = true;
    p.filechangesoundfile = sound_;
    EXPECT_TRUE(AlarmImageVisible(p, true, ""));
    EXPECT_FALSE(AlarmImageVisible(p, false, ""));
}
