// The file manager dialog opened from the tail window: the tail is stopped while it is open and
// restored after, OK stores the list and hands the followed name back to the file name field,
// Cancel brings back the stored entries, "Add to File Manager" opens it on the new entry, and a
// settings folder that cannot be written is said once, when OK fails.
#include <csignal>
#include <sys/resource.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "engine/tail_state.h"
#include "manage/fTailManager.h"
#include "manage_fixture.h"

namespace {

class ManagerOpener : public TailWindowTest {
protected:
    // Stores a list (and a default definition whose last tailed file is lastTailed) before the
    // window reads it.
    void StoreList(const QStringList& entries, const QString& lastTailed = QString()) {
        TTailFileList list;
        FillList(list, entries);
        list.DefFile->Path = lastTailed;
        ASSERT_TRUE(list.SaveList());
    }
    // Clicks the manager button; act runs on the open dialog and must close it.
    void OpenManager(std::function<void(TFormFileManager&)> act) {
        OnNextModal<TFormFileManager>(std::move(act));
        QTest::mouseClick(Ui().SpeedButtonManager, Qt::LeftButton);
    }
    static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
};

TEST_F(ManagerOpener, OkStoresTheListAndTheFileNameFieldFollowsARenameOrADeletion) {
    const QString followed = WriteFile(QStringLiteral("a.log"), "one\n");
    StoreList({followed + QStringLiteral("||0"), QStringLiteral("/other.log||0")});
    MakeWindow();
    StartOn(followed);
    const QString renamed = TempPath(QStringLiteral("b.log"));

    int statusInside = -1;
    OpenManager([&](TFormFileManager& dialog) {
        statusInside = Window().TailStatus();
        EXPECT_GE(dialog.width(), TFormFileManager::kMinimumWidth);
        EXPECT_LE(dialog.width(), 800);
        EXPECT_LE(dialog.height(), 768);
        Retype(dialog.Widgets().EditName, renamed);
        Click(dialog.Widgets().ok);
    });
    EXPECT_EQ(statusInside, tsStop) << "no pass runs while the dialog edits the definitions";
    EXPECT_EQ(Window().TailStatus(), tsStart) << "the tail state is restored";
    EXPECT_EQ(Ui().EditComboBox->text(), renamed);
    EXPECT_EQ(StoredEntries(), (QStringList{renamed + QStringLiteral("||0"), "/other.log||0"}));
    ASSERT_NE(Window().Manager().GetCurrentFile(), nullptr);
    EXPECT_EQ(Window().Manager().GetCurrentFile()->Path, renamed);

    ClickStop();
    OpenManager([&](TFormFileManager& dialog) {
        EXPECT_EQ(dialog.Widgets().RzCheckList1->currentRow(), 0) << "the followed entry is selected";
        Click(dialog.Widgets().deleteButton);
        Click(dialog.Widgets().ok);
    });
    EXPECT_EQ(Ui().EditComboBox->text(), QString());
    EXPECT_EQ(StoredEntries(), QStringList{"/other.log||0"});
    EXPECT_EQ(Window().Manager().GetCurrentFile(), nullptr);
    EXPECT_EQ(Window().TailStatus(), tsStop);
}

TEST_F(ManagerOpener, CancelBringsBackTheStoredEntriesAndKeepsDefaultEditsOnlyAfterATailedFile) {
    StoreList({"/a.log||0", "/b.log||1"});
    MakeWindow();
    const QStringList stored = StoredEntries();
    const auto editEverything = [&](TFormFileManager& dialog) {
        const FileManagerWidgets& ui = dialog.Widgets();
        Click(ui.newButton);
        Click(ui.up);
        Retype(ui.EditName, QStringLiteral("/edited.log"));
        dialog.Widgets().RzCheckList1->setCurrentRow(0);
        Click(ui.deleteButton);
        ui.tabs->setCurrentIndex(1);
        Click(ui.def.wordWrap);
        Click(ui.cancel);
    };

    // No last tailed file yet: the reload reads the default definition again.
    ASSERT_TRUE(Window().Manager().List->DefFile->Path.isEmpty());
    OpenManager(editEverything);
    EXPECT_EQ(Entries(*Window().Manager().List), stored);
    EXPECT_FALSE(Window().Manager().List->DefFile->GetWrap());

    // Once a file was tailed, the default definition is not read again: its edit stays in effect.
    StartOn(WriteFile(QStringLiteral("tailed.log"), "x\n"));
    ClickStop();
    OpenManager(editEverything);
    EXPECT_EQ(Entries(*Window().Manager().List), stored);
    EXPECT_TRUE(Window().Manager().List->DefFile->GetWrap());
    EXPECT_EQ(StoredEntries(), stored) << "Cancel stores nothing";
}

TEST_F(ManagerOpener, AddToFileManagerOpensTheDialogOnTheAddedEntry) {
    StoreList({"/a.log||0"});
    MakeWindow();
    const QString added = TempPath(QStringLiteral("new.log"));
    Ui().EditComboBox->setText(QStringLiteral("  ") + added);
    OnNextModal<TFormFileManager>([&](TFormFileManager& dialog) {
        EXPECT_EQ(dialog.Widgets().RzCheckList1->currentRow(), 1);
        EXPECT_EQ(dialog.Widgets().EditName->text(), added);
        EXPECT_EQ(dialog.Widgets().EditAlias->text(), QString());
        Click(dialog.Widgets().ok);
    });
    QTest::mouseClick(Ui().SpeedButtonAddManager, Qt::LeftButton);
    EXPECT_EQ(StoredEntries(), (QStringList{"/a.log||0", added + QStringLiteral("||0")}));

    // An entry that already exists is not added twice.
    Ui().EditComboBox->setText(added);
    OnNextModal<TFormFileManager>([&](TFormFileManager& dialog) { Click(dialog.Widgets().cancel); });
    QTest::mouseClick(Ui().SpeedButtonAddManager, Qt::LeftButton);
    EXPECT_EQ(Window().Manager().List->Count(), 2);
}

// A settings folder that takes no more bytes (files may not grow, as on a full disk): the stop
// before the dialog stores the window size without a word, and OK says the save failed, once.
TEST_F(ManagerOpener, OnlyTheSaveTheUserAskedForSaysItFailed) {
    const QString followed = WriteFile(QStringLiteral("a.log"), "one\n");
    StoreList({followed + QStringLiteral("||0")});
    MakeWindow();
    StartOn(followed);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{0, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    qsizetype boxesWhileOpen = -1;
    OpenManager([&](TFormFileManager& dialog) {
        boxesWhileOpen = dialogs_.Texts().size();
        Click(dialog.Widgets().ok);
    });
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(boxesWhileOpen, 0);
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith(QStringLiteral("TTailFileManager.SaveToRegistry:")));
}

} // namespace
