#include "engine_fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

void EngineTest::SetUp() {
    ASSERT_TRUE(config_.isValid());
    ASSERT_TRUE(files_.isValid());
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    params = std::make_unique<TTailParam>(&dialogs);
    params->LoadParams();
    params->usethread = false;
    manager = std::make_unique<TTailFileManager>(&dialogs);
    ASSERT_TRUE(manager->LoadFromRegistry());
    // Plain shaping unless a test asks for more: no kill space, no auto offset.
    Def().SetKillspace(false);
    Def().SetAutooffset(false);
    RebuildEngine(&mail);
}

void EngineTest::RebuildEngine(MailSender* mailSender, AddressResolver* lookups) {
    if (engine)
        engine->SetTailStatus(tsStop);
    engine.reset();
    EngineDeps deps;
    deps.window = &window;
    deps.manager = manager.get();
    deps.params = params.get();
    deps.clock = &clock;
    deps.resolver = lookups ? lookups : &resolver;
    deps.mail = mailSender;
    deps.dialogs = &dialogs;
    deps.notifier = notifier;
    engine = std::make_unique<TailEngine>(deps, 3600 * 1000, changeDebounceMs);
    engine->SetTailStatus(tsStop);
}

void EngineTest::TearDown() {
    if (engine)
        engine->SetTailStatus(tsStop);
    engine.reset();
    EXPECT_FALSE(window.calledOffWindowThread);
}

void EngineTest::Write(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void EngineTest::Append(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void EngineTest::Start(const QString& nameOrPath) {
    window.fileNameText = nameOrPath.contains(QLatin1Char('/')) || nameOrPath.trimmed().isEmpty()
                              ? nameOrPath
                              : Path(nameOrPath);
    engine->SetTailStatus(tsStart);
    if (params->usethread) {
        ASSERT_TRUE(WaitUntil([&] { return !engine->Busy(); }));
    }
}

void EngineTest::Ticks(int n) {
    for (int i = 0; i < n; ++i)
        engine->Tick();
}

void EngineTest::TickAndWait() {
    engine->Tick();
    ASSERT_TRUE(WaitUntil([&] { return !engine->Busy(); }));
}

bool EngineTest::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::yieldCurrentThread();
    }
    return true;
}

bool EngineTest::WaitForMailer(int timeoutMs) {
    const bool idle =
        WaitUntil([&] { return !engine->Mailer() || engine->Mailer()->Pending() == 0; }, timeoutMs);
    QCoreApplication::processEvents(); // the reports posted by the last attempt
    return idle;
}
