// The file tree window opened from the tail window's tree button: where it opens, what each
// result does to the list and to the file the window follows, and when the entries it removed
// are freed.
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "engine/tail_state.h"
#include "manage/fTailManager.h"
#include "manage/fTailTree.h"
#include "manage/file_tree_view.h"
#include "manage_fixture.h"
#include "settings/uParam.h"
#include "window/tail_controls.h"

namespace {

class TreeOpener : public TailWindowTest {
protected:
    void SetUp() override {
        TailWindowTest::SetUp();
        first_ = WriteFile(QStringLiteral("first.log"), "first\n");
        second_ = WriteFile(QStringLiteral("second.log"), "second\n");
        TTailFileList list;
        FillList(list, {QStringLiteral("|logs|0"), first_ + QStringLiteral("||1"),
                        second_ + QStringLiteral("||1")});
        ASSERT_TRUE(list.SaveList());
        MakeWindow();
    }
    // Clicks the tree button; act runs on the open tree and must close it.
    void OpenTree(std::function<void(TFormFileTree&)> act) {
        OnNextModal<TFormFileTree>(std::move(act));
        QTest::mouseClick(Ui().RzBitBtnOpenTree, Qt::LeftButton);
    }
    static void SelectAndClick(TFormFileTree& tree, const QString& path, const char* button) {
        FileTreeView& view = *tree.Tree();
        QTreeWidgetItem* node = view.findItems(path, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        ASSERT_NE(node, nullptr) << path.toStdString();
        view.expandAll();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualItemRect(node).center());
        QTest::mouseClick(tree.findChild<QToolButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    QString first_;
    QString second_;
};

TEST_F(TreeOpener, OpensOverTheFileNameFieldAndOkWhileStoppedOnlyPutsTheChoiceThere) {
    Ui().EditComboBox->setText(first_);
    Window().Manager().SetFileName(first_);
    OpenTree([&](TFormFileTree& tree) {
        const QPoint field = Ui().EditComboBox->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(tree.pos(), field - QPoint(2, 2));
        EXPECT_EQ(tree.width(), Ui().EditComboBox->width() + Ui().RzBitBtnOpenTree->width() - 1);
        EXPECT_EQ(tree.SelectedPath(), first_);
        SelectAndClick(tree, second_, "ButtonOK");
    });
    EXPECT_EQ(Ui().EditComboBox->text(), second_);
    EXPECT_EQ(Window().TailStatus(), tsStop);
    EXPECT_EQ(StoredEntries(),
              (QStringList{"|logs|0", first_ + QStringLiteral("||1"), second_ + QStringLiteral("||1")}));
}

TEST_F(TreeOpener, TailStartsOnTheChoiceAndOkWhileRunningFollowsTheNewFile) {
    OpenTree([&](TFormFileTree& tree) { SelectAndClick(tree, first_, "ButtonTail"); });
    EXPECT_EQ(Window().TailStatus(), tsStart);
    EXPECT_EQ(Window().Manager().FileName, first_);

    OpenTree([&](TFormFileTree& tree) { SelectAndClick(tree, second_, "ButtonOK"); });
    EXPECT_EQ(Window().TailStatus(), tsStart);
    EXPECT_EQ(Window().Manager().FileName, second_);
    EXPECT_EQ(Ui().LabelFn->text(), second_) << "the tail restarted on the new file";

    // "Tail" on the file already followed: nothing changes, the list is still stored.
    QFile::remove(TTailParam::GetIniFileName());
    OpenTree([&](TFormFileTree& tree) { SelectAndClick(tree, second_, "ButtonTail"); });
    EXPECT_EQ(Window().Manager().FileName, second_);
    EXPECT_EQ(StoredEntries().size(), 3);
}

TEST_F(TreeOpener, CancelStoresNothingAndTheDeletedCurrentEntryLivesUntilAnotherIsChosen) {
    StartOn(first_);
    const TTailFile* followed = Window().Manager().GetCurrentFile();
    ASSERT_NE(followed, nullptr);
    OpenTree([&](TFormFileTree& tree) {
        EXPECT_EQ(tree.SelectedPath(), first_);
        tree.Tree()->setCurrentItem(tree.Tree()->topLevelItem(0));
        // The group menu's Delete acts on the selected node, the group with both files.
        for (QAction* action : tree.GroupMenu()->actions()) {
            if (action->text() == QStringLiteral("Delete"))
                action->trigger();
        }
        QTest::keyClick(&tree, Qt::Key_Escape);
    });
    EXPECT_EQ(Window().Manager().List->Count(), 0) << "the rebuild stays in the running window's list";
    EXPECT_EQ(StoredEntries().size(), 3) << "Cancel stores nothing";
    EXPECT_EQ(Window().Manager().GetCurrentFile(), followed) << "still the current entry of the running tail";
    EXPECT_EQ(Window().Manager().RetiredCount(), 1) << "the other entries were freed when the tree closed";
    Window().Engine().Tick();
    EXPECT_EQ(Ui().LabelFn->text(), first_) << "a pass still reads the removed current entry";

    ClickStop();
    StartOn(second_);
    OpenTree([&](TFormFileTree& tree) { QTest::keyClick(&tree, Qt::Key_Escape); });
    EXPECT_EQ(Window().Manager().RetiredCount(), 0);
}

TEST_F(TreeOpener, AnUntouchedTreeNeverChangesTheFollowedFile) {
    const QString unlisted = WriteFile(QStringLiteral("unlisted.log"), "x\n");
    StartOn(unlisted);
    // The tree takes the focus, which makes its first node current: a group, then a file.
    for (const char* button : {"ButtonOK", "ButtonTail", "ButtonOK"}) {
        OpenTree([&](TFormFileTree& tree) {
            QTest::mouseClick(tree.findChild<QToolButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
        EXPECT_EQ(Window().Manager().FileName, unlisted) << button;
        EXPECT_EQ(Window().TailStatus(), tsStart) << button;
        Window().Manager().List->Exchange(0, 1);
    }
}

TEST_F(TreeOpener, ADeletionBeforeCancelSurvivesACancelledManagerAndIsStoredByTheStop) {
    OpenTree([&](TFormFileTree& tree) {
        tree.Tree()->setCurrentItem(tree.Tree()->findItems(second_, Qt::MatchRecursive).value(0));
        tree.FileMenu()->actions().value(2)->trigger(); // Delete
        QTest::keyClick(&tree, Qt::Key_Escape);
    });
    OnNextModal<TFormFileManager>([](TFormFileManager& dialog) { dialog.reject(); });
    QTest::mouseClick(Ui().SpeedButtonManager, Qt::LeftButton);
    const QStringList kept{"|logs|0", first_ + QStringLiteral("||1")};
    EXPECT_EQ(Entries(*Window().Manager().List), kept) << "a cancelled manager returns to it";
    StartOn(first_);
    ClickStop(); // stores the window size
    EXPECT_EQ(StoredEntries(), kept);
}

TEST_F(TreeOpener, ALongListStaysOnTheScreenAndScrollsInside) {
    for (int i = 0; i < 200; ++i)
        Window().Manager().List->AddFile(QStringLiteral("/logs/%1.log").arg(i), QString());
    OpenTree([&](TFormFileTree& tree) {
        auto* ok = tree.findChild<QToolButton*>(QStringLiteral("ButtonOK"));
        EXPECT_TRUE(
            tree.screen()->availableGeometry().contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
        EXPECT_TRUE(tree.Tree()->verticalScrollBar()->isVisible());
        QTest::keyClick(&tree, Qt::Key_Escape);
    });
}

} // namespace
