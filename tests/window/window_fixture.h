#pragma once
// A tail window in this process, with fake dialogs, sound, mail and clock, its settings in a
// temporary folder ($XDG_CONFIG_HOME points there while the test runs) and ticks driven by hand:
// Timer1's interval is an hour and the passes run on the window thread.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include <QColor>
#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "engine/clock.h"
#include "platform/alert_notifier.h"
#include "platform/mail_sender.h"
#include "platform/sound_player.h"
#include "support/fake_dialogs.h"
#include "support/scoped_env.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"

class QWidget;

// Readable failure messages for the Qt values the tests compare.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QColor& color, std::ostream* os) {
    *os << color.name(QColor::HexArgb).toStdString();
}

class FakeSoundPlayer final : public SoundPlayer {
public:
    void Play(const QString& fileName) override { played.push_back(fileName); }
    std::vector<QString> played;
};

class FakeMailSender final : public MailSender {
public:
    bool Send(const MailMessage& message, QString*) override {
        sent.push_back(message);
        return true;
    }
    std::vector<MailMessage> sent;
};

class RecordingNotifier final : public AlertNotifier {
public:
    struct Notice {
        AlertKind kind;
        QString fileName;
        QString line;
    };
    void Notify(AlertKind kind, const QString& fileName, const QString& line) override {
        notices.push_back({kind, fileName, line});
    }
    void SetActivationHandler(std::function<void()> handler) override { onActivated = std::move(handler); }
    std::vector<Notice> notices;
    std::function<void()> onActivated;
};

class FixedClock final : public EngineClock {
public:
    QDateTime Now() const override { return now; }
    QDateTime now{QDate(2024, 3, 5), QTime(10, 20, 30)};
};

// The window's reverse lookups: names from a table the test fills (others fail), never the
// network. Shared with the resolver's worker, which may outlive the test's window briefly.
class FakeNameTable final {
public:
    void Set(const QString& address, const QString& name) {
        std::lock_guard guard(lock_);
        names_[address] = name;
    }
    QString Resolve(const QString& address) {
        std::lock_guard guard(lock_);
        const auto it = names_.find(address);
        return it == names_.end() ? QString() : it->second;
    }

private:
    std::mutex lock_;
    std::map<QString, QString> names_;
};

// A stored colour (red in the low byte) as the colour a widget shows.
QColor StoredColor(quint32 value);

class TailWindowTest : public ::testing::Test {
protected:
    static constexpr qint64 kTrueColor = qint64(1) << 24;

    void SetUp() override;
    void TearDown() override;

    // Makes the window (replacing one made before) and shows it. joinInstances: it opens its
    // channel in $XDG_RUNTIME_DIR, which the test then points into its temporary folder.
    TFormTail& MakeWindow(qint64 displayColorCount = kTrueColor, const QStringList& arguments = {"kovra"},
                          bool joinInstances = false);
    TFormTail& Window() { return *window_; }
    // Destroys the window now: it saves its settings on the way.
    void DestroyWindow() { window_.reset(); }
    const TailWidgets& Ui() { return window_->Widgets(); }
    // The view's lines joined by LF.
    QString ViewPlain() { return window_->PlainViewText(); }
    // Selects the first occurrence of text (line breaks as CR LF) in the view; false when absent.
    bool SelectInView(const QString& text);

    // A file in the temporary folder holding text; its absolute path.
    QString WriteFile(const QString& name, const QByteArray& content);
    QString TempPath(const QString& name) const { return dir_.filePath(name); }
    QString ConfigFolder() const { return dir_.filePath(QStringLiteral("config")); }

    // Puts path into the file-name edit and clicks Start; the first pass runs at once.
    void StartOn(const QString& path);
    void ClickStop();
    // The default definition's refresh rate (the current one when no defined file matches).
    void SetDefaultRefreshRate(qint32 seconds);

    FakeDialogService dialogs_;
    FakeSoundPlayer sound_;
    FakeMailSender mail_;
    FixedClock clock_;
    RecordingNotifier notifier_;
    // The notifier the next MakeWindow hands the window; null: notifier_.
    AlertNotifier* windowNotifier_ = nullptr;
    std::shared_ptr<FakeNameTable> names_ = std::make_shared<FakeNameTable>();

private:
    QTemporaryDir dir_;
    std::unique_ptr<ScopedEnv> configHome_;
    std::unique_ptr<TFormTail> window_;
};

// Mouse helpers on a widget's centre.
void ReleaseOn(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void ClickOn(QWidget* widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
