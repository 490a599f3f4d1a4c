// The test e-mail of the parameters dialog through the real SMTP client to a real SMTP server, with
// the values in the dialog's fields.
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
        // Stored values the test must not use: the fields hold others.
        params_.usethread = true;
        params_.smtpserver = QStringLiteral("stored.example.test");
        params_.smtplogin = QStringLiteral("stored-login");
        params_.smtpfrom = QStringLiteral("stored@example.test");
        params_.alertemail = QStringLiteral("stored-recipient@example.test");
        dialog_ = std::make_unique<TFormTailParam>(params_, TailParamServices{&dialogs_, &smtp_});
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
        W().PageControl->setCurrentIndex(1);
    }

    const TailParamWidgets& W() const { return dialog_->Widgets(); }
    void Fill(const QString& server, const QString& login, const QString& password) {
        W().Edit_SMTPServer->setText(server);
        W().Edit_SMTPLogin->setText(login);
        W().Edit_SMTPPassword->setText(password);
        W().Edit_SMTPFrom->setText(QStringLiteral("kovra@example.test"));
        W().EditAlerteMAIL->setText(QStringLiteral("ops@example.test; Night Shift <night@example.test>"));
    }
    // The one box the test button showed.
    FakeDialogService::Shown ClickTestAndTakeTheBox() {
        const std::size_t before = dialogs_.AllShown().size();
        QTest::mouseClick(W().SpeedButtonTestMail, Qt::LeftButton);
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
    Fill(server.Address(), QStringLiteral("alerts"), QStringLiteral("s3cret"));

    const FakeDialogService::Shown box = ClickTestAndTakeTheBox();
    EXPECT_EQ(box.icon, DialogService::Icon::Information);
    EXPECT_EQ(box.text, QStringLiteral("eMail is sent. Look for it !"));
    const QList<CapturedMail> mails = server.Messages();
    ASSERT_EQ(mails.size(), 1);
    const CapturedMail& mail = mails.front();
    EXPECT_EQ(mail.login, QStringLiteral("alerts"));
    EXPECT_EQ(mail.mailFrom, QStringLiteral("kovra@example.test"));
    EXPECT_EQ(mail.recipients, (QStringList{"ops@example.test", "night@example.test"}));
    EXPECT_EQ(mail.subject, QStringLiteral("[KOVRA] Test mail"));
    // The message as received, after the blank line that ends the headers.
    EXPECT_EQ(mail.raw.mid(mail.raw.indexOf("\r\n\r\n") + 4),
              "This is a test eMAIL.  server=" + server.Address().toUtf8() + " - login=alerts\r\n");
    EXPECT_EQ(params_.smtpserver, QStringLiteral("stored.example.test")) << "nothing else changes";
}

TEST_F(ParamTestMail, FailuresShowTheClientsOwnMessageAndTheDialogPaintsWhileItWaits) {
    Fill(QString(), QString(), QString());
    FakeDialogService::Shown box = ClickTestAndTakeTheBox();
    EXPECT_EQ(box.icon, DialogService::Icon::Error);
    EXPECT_EQ(box.text, QStringLiteral("No SMTP server"));

    Fill(QStringLiteral("127.0.0.1:%1").arg(FreeLocalPort()), QString(), QString());
    box = ClickTestAndTakeTheBox();
    EXPECT_EQ(box.icon, DialogService::Icon::Error);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Couldn't connect to server"))) << box.text.toStdString();

    // A server that accepts and never greets holds the exchange until the client's timeout; the
    // dialog shows the busy cursor and still paints meanwhile.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    Fill(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()), QString(), QString());
    struct PaintCounter final : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && QApplication::overrideCursor())
                ++paintsWhileBusy;
            return false;
        }
        int paintsWhileBusy = 0;
    } counter;
    W().PageControl->installEventFilter(&counter);
    Qt::CursorShape busyShape = Qt::ArrowCursor;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (const QCursor* cursor = QApplication::overrideCursor())
            busyShape = cursor->shape();
        W().PageControl->update();
    });
    poke.start(100);
    box = ClickTestAndTakeTheBox();
    poke.stop();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Timeout was reached"))) << box.text.toStdString();
    EXPECT_EQ(busyShape, Qt::WaitCursor);
    EXPECT_GT(counter.paintsWhileBusy, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is back";
    EXPECT_TRUE(dialog_->isVisible());
}

} // namespace
