// The window in a hostile environment: a stored window size no screen can hold, a file list that
// cannot be read.
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>

#include "engine/tail_state.h"
#include "settings/uList.h"
#include "window_fixture.h"

namespace {

class TailWindowRobustness : public TailWindowTest {};

TEST_F(TailWindowRobustness, StoredWindowSizeIsBoundedByTheScreen) {
    const QString log = WriteFile(QStringLiteral("app.log"), "line\n");
    for (const QSize stored : {QSize(2147483647, 2147483647), QSize(20000, 20000), QSize(-5, 0)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(stored.width()).arg(stored.height()).toStdString());
        MakeWindow();
        TTailFile* file = Window().Manager().List->AddFile(log, QString());
        file->SetKeepWindowSize(true);
        file->WindowWidth = QString::number(stored.width());
        file->WindowHeight = QString::number(stored.height());
        ASSERT_TRUE(Window().Manager().SaveToRegistry());
        StartOn(log);
        const QSize available = Window().screen()->availableGeometry().size();
        const QSize size = Window().frameGeometry().size();
        EXPECT_LE(size.width(), available.width());
        EXPECT_LE(size.height(), available.height());
        EXPECT_GE(size.width(), Window().minimumWidth());
        EXPECT_GE(size.height(), Window().minimumHeight());
    }
}

// A folder named kovra.ini: reported once at start-up, and tailing keeps the built-in defaults
// instead of a read window of 0, a refresh of 0 s and a tab width of nothing.
TEST_F(TailWindowRobustness, UnreadableFileListKeepsTheDefaults) {
    ASSERT_TRUE(QDir().mkpath(ConfigFolder() + QStringLiteral("/kovra/kovra.ini")));
    MakeWindow();
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith("TTailFileManager.LoadFromRegistry:Cannot read"))
        << dialogs_.Texts()[0].toStdString();
    StartOn(WriteFile(QStringLiteral("app.log"), "line\n"));
    EXPECT_EQ(Ui().RzSpinEditBufKo->value(), 50);
    EXPECT_EQ(Ui().RzSpinEditTab->value(), 75);
    EXPECT_EQ(Window().Engine().RefreshRate(), 1);
    EXPECT_TRUE(Ui().CheckBoxCompactSpace->isChecked());
    EXPECT_EQ(ViewPlain(), "line");
}

} // namespace
