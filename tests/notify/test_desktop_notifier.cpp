// Desktop notifications of alerts on a real private session bus: what a pass sends, how a burst is
// folded, the click that restores the window, and passes that never wait for the desktop.
#include <QCheckBox>
#include <QComboBox>
#include <QDBusArgument>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include "engine_fixture.h"
#include "platform/dbus_alert_notifier.h"
#include "private_bus.h"
#include "window_fixture.h"

namespace {

QImage Icon() {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(QColor(0x20, 0x80, 0x40));
    return icon;
}

class DesktopNotifierTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        QString error;
        ASSERT_TRUE(bus_.Start(&error)) << error.toStdString();
        window.alertOn = true;
        window.alertPattern = QStringLiteral("ERROR");
    }
    void TearDown() override {
        EngineTest::TearDown();
        DropNotifier();
    }

    // A notifier on its own connection to address, and an engine that uses it.
    void UseNotifier(const QString& address) {
        DropNotifier();
        connectionName_ = QStringLiteral("kovra-%1").arg(++connections_);
        notifier_ = std::make_unique<DbusAlertNotifier>(
            QDBusConnection::connectToBus(address, connectionName_), Icon());
        notifier = notifier_.get();
        RebuildEngine(&mail);
    }
    void DropNotifier() {
        if (engine)
            engine->SetTailStatus(tsStop);
        notifier = nullptr;
        notifier_.reset();
        if (!connectionName_.isEmpty())
            QDBusConnection::disconnectFromBus(connectionName_);
        connectionName_.clear();
    }
    bool WaitForCalls(const RecordingNotifications& recorder, int count) {
        return WaitUntil([&] { return recorder.calls.size() >= count; }, 20000);
    }

    PrivateSessionBus bus_;
    std::unique_ptr<DbusAlertNotifier> notifier_;
    QString connectionName_;
    int connections_ = 0;
};

// The notification's image: (width, height, row stride, alpha, bits, channels, bytes).
QString ImageShape(const QVariant& hint) {
    const QDBusArgument image = qvariant_cast<QDBusArgument>(hint);
    qint32 width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray data;
    image.beginStructure();
    image >> width >> height >> stride >> alpha >> bits >> channels >> data;
    image.endStructure();
    return QStringLiteral("%1x%2 %3 channels, %4")
        .arg(width)
        .arg(height)
        .arg(channels)
        .arg(data.size() == stride * height ? "whole" : "cut");
}

TEST_F(DesktopNotifierTest, BurstGivesTwoNotificationsTheLastCountingTheRestThenAFileChangeReplacesThem) {
    RecordingNotifications recorder;
    QString error;
    ASSERT_TRUE(recorder.Register(bus_, &error)) << error.toStdString();
    UseNotifier(bus_.Address());
    const QString longLine = QStringLiteral("ERROR <b>disk</b> & ") + QString(300, u'x');
    Write("a.log", ("start\n" + longLine + "\n").toUtf8());
    Start("a.log");
    for (int i = 2; i <= 20; ++i) {
        Append("a.log", QByteArray("ERROR ") + QByteArray::number(i) + "\n");
        Ticks(1);
    }
    ASSERT_EQ(window.alertLines.size(), 20) << "the alerts window as before";
    ASSERT_TRUE(WaitForCalls(recorder, 2));
    const RecordingNotifications::Call first = recorder.calls.at(0);
    EXPECT_EQ(first.appName, QStringLiteral("Kovra"));
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.summary, QStringLiteral("Kovra alert"));
    // Markup escaped, the line cut to 200 characters with an ellipsis.
    EXPECT_EQ(first.body, Path("a.log") + "\nERROR &lt;b&gt;disk&lt;/b&gt; &amp; " + QString(199 - 20, u'x') +
                              QChar(0x2026));
    EXPECT_EQ(first.actions.value(0), QStringLiteral("default"));
    EXPECT_EQ(ImageShape(first.hints.value(QStringLiteral("image-data"))),
              QStringLiteral("32x32 4 channels, whole"));
    EXPECT_EQ(recorder.calls.at(1).body, Path("a.log") + "\nERROR 20\n18 more alerts");
    EXPECT_EQ(recorder.calls.at(1).replacesId, first.id);

    // The count starts again with a file change, when asked for.
    params->notifyfilechange = true;
    window.alertPattern.clear();
    Append("a.log", "quiet line\n");
    Ticks(1);
    ASSERT_TRUE(WaitForCalls(recorder, 3));
    EXPECT_EQ(recorder.calls.size(), 3) << "nothing else was sent";
    EXPECT_EQ(recorder.calls.at(2).summary, QStringLiteral("Kovra: file changed"));
    EXPECT_EQ(recorder.calls.at(2).body, Path("a.log"));
    EXPECT_EQ(recorder.calls.at(2).replacesId, first.id);
}

TEST_F(DesktopNotifierTest, WithoutBusServiceOrAnswerAlertsWorkAndWorkerPassesDoNotWait) {
    params->usethread = true;
    RecordingNotifications silent;
    const struct {
        const char* what;
        std::function<QString()> address;
    } cases[] = {
        {"no bus", [&] { return QStringLiteral("unix:path=") + Path("no-bus-here"); }},
        {"no service", [&] { return bus_.Address(); }},
        {"a service that never answers",
         [&] {
             QString error;
             EXPECT_TRUE(silent.Register(bus_, &error)) << error.toStdString();
             silent.HoldReplies();
             return bus_.Address();
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UseNotifier(c.address());
        window.alertLines.clear();
        const QByteArray line = "ERROR case " + QByteArray::number(++n);
        Write("a.log", line + "\n");
        QElapsedTimer pass;
        pass.start();
        Start("a.log");
        // A call that waited for the answer would hold the pass for D-Bus's 25 s.
        EXPECT_LT(pass.elapsed(), 15000);
        ASSERT_EQ(window.alertLines.size(), 1);
        EXPECT_TRUE(window.alertLines.front().contains("line=[" + QString::fromUtf8(line) + "]"));
        EXPECT_FALSE(window.infoPane.startsWith(QStringLiteral("Exception")));
    }
    ASSERT_TRUE(WaitForCalls(silent, 1)) << "the unanswered call reached the service";
}

// A server that answers late: the next alert waits for the answer, which names the notification
// it replaces (sent at once, it went out as a new one each time).
TEST_F(DesktopNotifierTest, ASlowServerStillGetsTheNotificationToReplace) {
    RecordingNotifications slow;
    QString error;
    ASSERT_TRUE(slow.Register(bus_, &error)) << error.toStdString();
    slow.HoldReplies();
    UseNotifier(bus_.Address());
    Write("a.log", "ERROR one\n");
    Start("a.log");
    ASSERT_TRUE(WaitForCalls(slow, 1));
    QElapsedTimer waited;
    waited.start();
    Append("a.log", "ERROR two\n");
    Ticks(1);
    // Past the interval between two notifications the second one is due; it waits for the answer.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return waited.elapsed() > DbusAlertNotifier::kMinIntervalMs + 500; }, 20000));
    EXPECT_EQ(slow.calls.size(), 1);
    slow.ReleaseReplies();
    ASSERT_TRUE(WaitForCalls(slow, 2));
    EXPECT_EQ(slow.calls.at(1).replacesId, slow.calls.at(0).id);
    EXPECT_TRUE(slow.calls.at(1).body.endsWith(QStringLiteral("ERROR two")));
}

class NotifierWindowTest : public TailWindowTest {
protected:
    void SetUp() override {
        TailWindowTest::SetUp();
        QString error;
        ASSERT_TRUE(bus_.Start(&error)) << error.toStdString();
        ASSERT_TRUE(recorder_.Register(bus_, &error)) << error.toStdString();
        dbusNotifier_ = std::make_unique<DbusAlertNotifier>(bus_.Connect(QStringLiteral("window")), Icon());
        windowNotifier_ = dbusNotifier_.get();
    }
    void TearDown() override {
        TailWindowTest::TearDown();
        dbusNotifier_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("window"));
    }

    PrivateSessionBus bus_;
    RecordingNotifications recorder_;
    std::unique_ptr<DbusAlertNotifier> dbusNotifier_;
};

TEST_F(NotifierWindowTest, ClickOnTheNotificationRestoresTheMinimisedWindow) {
    MakeWindow();
    Window().Params().alertbtf = false; // the alert itself leaves the window minimised
    Ui().RzComboBoxAlarm->setEditText(QStringLiteral("ERROR"));
    Ui().CheckBoxAlert->setChecked(true);
    Window().showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Window().isMinimized(); }, 10000));
    StartOn(WriteFile(QStringLiteral("app.log"), "ERROR disk full\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_.calls.size() == 1; }, 20000));
    EXPECT_TRUE(Window().isMinimized());

    recorder_.InvokeAction(recorder_.calls.front().id + 1, QStringLiteral("default"));
    recorder_.InvokeAction(recorder_.calls.front().id, QStringLiteral("other"));
    // A call on the notifier's connection: its answer comes after those two signals.
    QDBusPendingCall ping =
        QDBusConnection(QStringLiteral("window"))
            .asyncCall(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                      QStringLiteral("/org/freedesktop/Notifications"),
                                                      QStringLiteral("org.freedesktop.Notifications"),
                                                      QStringLiteral("GetCapabilities")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ping.isFinished(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Window().isMinimized()) << "another notification or action: nothing";
    recorder_.InvokeAction(recorder_.calls.front().id, QStringLiteral("default"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Window().isMinimized(); }, 10000));
}

} // namespace
