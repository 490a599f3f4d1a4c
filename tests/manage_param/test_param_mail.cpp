// The test e-mail of the parameters dialog through the real SMTP client to a real SMTP server, with
// the values in the dialog's fields rather than the stored ones.
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "manage/fTailParam.h"
#include "platform/curl_mail_sender.h"
#include "settings/uParam.h"
#include "support/fake_dialogs.h"
#include "support/smtp_test_server.h"

using namespace std::chrono_literals;

namespace {

class ParamTestMail : public ::testing::Test {
protected:
    void SetUp() override {
        params_.usethread = true;
        params_.smtpserver = QStringLiteral("stored.example.test");
        params_.alertemail = QStringLiteral("stored@example.test");
        dialog_ = std::make_unique<TFormTailParam>(params_, TailParamServices{&dialogs_, &smtp_});
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    // Fills the fields, clicks the test button and gives the one box it showed.
    FakeDialogService::Shown SendTest(
        const QString& server, const QString& login = {}, const QString& password = {},
        const QString& recipients = QStringLiteral("ops@example.test; Night Shift <night@example.test>")) {
        const TailParamWidgets& w = dialog_->Widgets();
        w.Edit_SMTPServer->setText(server);
        w.Edit_SMTPLogin->setText(login);
        w.Edit_SMTPPassword->setText(password);
        w.Edit_SMTPFrom->setText(QStringLiteral("kovra@example.test"));
        w.EditAlerteMAIL->setText(recipients);
        const std::size_t before = dialogs_.AllShown().size();
        QTest::mouseClick(w.SpeedButtonTestMail, Qt::LeftButton);
        EXPECT_EQ(dialogs_.AllShown().size(), before + 1);
        return dialogs_.AllShown().empty() ? FakeDialogService::Shown{} : dialogs_.AllShown().back();
    }

    FakeDialogService dialogs_;
    TTailParam params_{&dialogs_};
    CurlMailSender smtp_{2000ms, 3000ms};
    std::unique_ptr<TFormTailParam> dialog_;
};

TEST_F(ParamTestMail, ArrivesWithTheFieldsValuesThroughALoginServer) {
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.StartRequiringLogin("alerts", "s3cret", &error)) << error.toStdString();
    const FakeDialogService::Shown box = SendTest(server.Address(), "alerts", "s3cret");
    EXPECT_EQ(box.icon, DialogService::Icon::Information);
    EXPECT_EQ(box.text, QStringLiteral("eMail is sent. Look for it !"));
    const QList<CapturedMail> mails = server.Messages();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails[0].login, QStringLiteral("alerts"));
    EXPECT_EQ(mails[0].mailFrom, QStringLiteral("kovra@example.test"));
    EXPECT_EQ(mails[0].recipients, (QStringList{"ops@example.test", "night@example.test"}));
    EXPECT_EQ(mails[0].subject, QStringLiteral("[KOVRA] Test mail"));
    EXPECT_EQ(mails[0].raw.mid(mails[0].raw.indexOf("\r\n\r\n") + 4),
              "This is a test eMAIL.  server=" + server.Address().toUtf8() + " - login=alerts\r\n");
    EXPECT_EQ(params_.smtpserver, QStringLiteral("stored.example.test")) << "nothing else changes";
}

// What the client does not understand is said, never half sent: addresses written without a
// separator between them, a server field with two ports. The real server gets nothing of it.
TEST_F(ParamTestMail, WhatIsNotUnderstoodIsReportedAndNothingIsSent) {
    SmtpTestServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    struct Case {
        QString server;
        QString recipients;
        QString box;
    };
    const Case cases[] = {
        {server.Address(), "a@b.test <c@d.test> e@f.test",
         "Invalid recipient address: a@b.test <c@d.test> e@f.test"},
        {server.Address(), "ops@x.test, Night <n@x.test> late@x.test",
         "Invalid recipient address: Night <n@x.test> late@x.test"},
        {server.Address(), "a@b.test <c@d.test>", "Invalid recipient address: a@b.test <c@d.test>"},
        {"127.0.0.1:2525:7", "ops@x.test", "Invalid SMTP server: 127.0.0.1:2525:7"},
        {"fe80::1::2", "ops@x.test", "Invalid SMTP server: fe80::1::2"},
    };
    for (const Case& c : cases) {
        const FakeDialogService::Shown box = SendTest(c.server, {}, {}, c.recipients);
        EXPECT_EQ(box.icon, DialogService::Icon::Error) << c.box.toStdString();
        EXPECT_EQ(box.text, c.box);
    }
    EXPECT_TRUE(server.Messages().isEmpty());

    // A quoted name may hold "@": one address.
    const FakeDialogService::Shown box = SendTest(server.Address(), {}, {}, "\"ops@x\" <ops@x.test>");
    EXPECT_EQ(box.text, QStringLiteral("eMail is sent. Look for it !"));
    const QList<CapturedMail> mails = server.Messages();
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails[0].recipients, QStringList{"ops@x.test"});
}

TEST_F(ParamTestMail, FailuresShowTheClientsOwnMessageAndTheDialogPaintsWhileItWaits) {
    FakeDialogService::Shown box = SendTest(QString());
    EXPECT_EQ(box.icon, DialogService::Icon::Error);
    EXPECT_EQ(box.text, QStringLiteral("No SMTP server"));
    box = SendTest(QStringLiteral("127.0.0.1:%1").arg(FreeLocalPort()));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Couldn't connect to server"))) << box.text.toStdString();

    // A server that accepts and never greets holds the exchange until the client's timeout;
    // meanwhile the busy cursor shows and the dialog still paints.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QWidget* tabs = dialog_->Widgets().PageControl;
    struct PaintCounter final : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && QApplication::overrideCursor())
                ++paintsWhileBusy;
            return false;
        }
        int paintsWhileBusy = 0;
    } counter;
    tabs->installEventFilter(&counter);
    Qt::CursorShape busyShape = Qt::ArrowCursor;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (const QCursor* cursor = QApplication::overrideCursor())
            busyShape = cursor->shape();
        tabs->update();
    });
    poke.start(100);
    box = SendTest(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Timeout was reached"))) << box.text.toStdString();
    EXPECT_EQ(busyShape, Qt::WaitCursor);
    EXPECT_GT(counter.paintsWhileBusy, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is back";
}

} // namespace
