// The window in a hostile environment: a stored window size no screen can hold, and a file list
// that cannot be read behind the buttons that open the file manager.
#include <QCheckBox>
#include <QDir>
#include <QScreen>
#include <QSpinBox>
#include <QToolButton>

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

// A folder named kovra.ini: reported once at start-up; tailing keeps the built-in defaults; the
// file-manager button and "Add to File Manager" report the list again in a box and go on.
TEST_F(TailWindowRobustness, UnreadableFileListKeepsTheDefaultsAndTheManagerButtonsGoOn) {
    ASSERT_TRUE(QDir().mkpath(ConfigFolder() + QStringLiteral("/kovra/kovra.ini")));
    MakeWindow();
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith("TTailFileManager.LoadFromRegistry:Cannot read"))
        << dialogs_.Texts()[0].toStdString();
    const QString log = WriteFile(QStringLiteral("app.log"), "line\n");
    StartOn(log);
    EXPECT_EQ(Ui().RzSpinEditBufKo->value(), 50);
    EXPECT_EQ(Ui().RzSpinEditTab->value(), 75);
    EXPECT_EQ(Window().Engine().RefreshRate(), 1);
    EXPECT_TRUE(Ui().CheckBoxCompactSpace->isChecked());

    for (QToolButton* button : {Ui().SpeedButtonManager, Ui().SpeedButtonAddManager}) {
        const qsizetype before = dialogs_.Texts().size();
        ClickOn(button);
        const QStringList texts = dialogs_.Texts().mid(before);
        EXPECT_TRUE(texts.filter("TTailFileManager.LoadFromRegistry:Cannot read").size() == 1)
            << texts.join('\n').toStdString();
        EXPECT_EQ(Window().TailStatus(), tsStart) << "the tail was restored after the button's work";
    }
    EXPECT_TRUE(QFileInfo(ConfigFolder() + QStringLiteral("/kovra/kovra.ini")).isDir());
}

} // namespace
