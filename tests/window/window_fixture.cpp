#include "window_fixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "engine/tail_state.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/remove_tree.h"
#include "widgets/tail_view.h"

QColor StoredColor(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void TailWindowTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    configHome_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", QFile::encodeName(ConfigFolder()));
}

void TailWindowTest::TearDown() {
    // The window saves its settings when it goes: into the temporary folder, not the user's.
    window_.reset();
    configHome_.reset();
    RemoveTreeByBytes(dir_.path());
}

TFormTail& TailWindowTest::MakeWindow(qint64 displayColorCount, const QStringList& arguments,
                                      bool joinInstances) {
    window_.reset();
    TailWindowServices services;
    services.dialogs = &dialogs_;
    services.sound = &sound_;
    services.mail = &mail_;
    services.clock = &clock_;
    services.notifier = windowNotifier_ ? windowNotifier_ : &notifier_;
    services.resolveAddress = [names = names_](const QString& address) { return names->Resolve(address); };
    services.arguments = arguments;
    services.displayColorCount = displayColorCount;
    services.joinInstances = joinInstances;
    services.tickIntervalMs = 3600 * 1000;
    services.changeDebounceMs = -1; // the tests tick by hand
    window_ = std::make_unique<TFormTail>(services);
    // Passes on the window thread: each tick has ended when Tick() returns.
    window_->Params().usethread = false;
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    return *window_;
}

QString TailWindowTest::WriteFile(const QString& name, const QByteArray& content) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    EXPECT_EQ(file.write(content), content.size());
    return path;
}

bool TailWindowTest::SelectInView(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString shown = ViewPlain();
    const qsizetype at = shown.indexOf(plain);
    if (at < 0 || plain.isEmpty())
        return false;
    const auto position = [&shown](qsizetype offset) {
        const qsizetype lineStart = offset == 0 ? 0 : shown.lastIndexOf(u'\n', offset - 1) + 1;
        return ViewPosition{shown.left(offset).count(u'\n'), offset - lineStart};
    };
    Ui().MemoTail->Select({position(at), position(at + plain.size())});
    return true;
}

void TailWindowTest::StartOn(const QString& path) {
    Ui().EditComboBox->setText(path);
    QTest::mouseClick(Ui().RzBitBtnStart, Qt::LeftButton);
    ASSERT_EQ(Window().TailStatus(), tsStart) << "the Start button did not start " << path.toStdString();
}

void TailWindowTest::ClickStop() {
    QTest::mouseClick(Ui().RzBitBtnStop, Qt::LeftButton);
    ASSERT_EQ(Window().TailStatus(), tsStop);
}

void TailWindowTest::SetDefaultRefreshRate(qint32 seconds) {
    Window().Manager().List->DefFile->SetRefreshRate(seconds);
}

void ReleaseOn(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    QTest::mouseRelease(widget, button, modifiers, widget->rect().center());
}

void ClickOn(QWidget* widget, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, widget->rect().center());
}
