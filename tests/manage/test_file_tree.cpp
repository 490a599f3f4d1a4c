// The file tree window on its own, driven through the tree: building from levels, rebuilding the
// list in tree order, drag and drop with real drop events, the context menus, deletion, the
// height rule and the launches of other tail windows through a recording launcher.
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include "manage/fTailTree.h"
#include "manage/file_tree_view.h"
#include "manage_fixture.h"

namespace {

class FileTree : public ManagerTest {
protected:
    // current: the manager's current entry when the tree is built.
    TFormFileTree& Open(const QStringList& entries, bool autoExpand = true, const QString& current = {}) {
        FillList(*manager_->List, entries);
        manager_->SetFileName(current);
        FileTreeOptions options;
        options.autoExpand = autoExpand;
        options.programPath = QStringLiteral("/opt/my programs/kovra");
        options.launch = [this](const QString& line) { launched_ += line; };
        tree_ = std::make_unique<TFormFileTree>(*manager_, options);
        tree_->resize(300, tree_->height());
        tree_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(tree_.get()));
        return *tree_;
    }
    FileTreeView& View() { return *tree_->Tree(); }
    // The node whose caption is text.
    QTreeWidgetItem* Node(const QString& text) {
        const auto found = View().findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << text.toStdString();
        return found.value(0);
    }
    // The tree as "caption(children...)" in tree order.
    static QString Shape(const QTreeWidgetItem* node) {
        QString text = node->text(0);
        if (node->childCount() == 0)
            return text;
        QStringList children;
        for (int i = 0; i < node->childCount(); ++i)
            children += Shape(node->child(i));
        return text + u'(' + children.join(u',') + u')';
    }
    QString Shape() {
        QStringList top;
        for (int i = 0; i < View().topLevelItemCount(); ++i)
            top += Shape(View().topLevelItem(i));
        return top.join(u',');
    }
    // Drags the selected node and drops it at the given point of the viewport, as the drag
    // machinery delivers it; answers whether the drop was accepted.
    bool DropAt(QTreeWidgetItem* dragged, const QPoint& at) {
        View().setCurrentItem(dragged);
        std::unique_ptr<QMimeData> data(View().model()->mimeData(View().selectionModel()->selectedIndexes()));
        QWidget* viewport = View().viewport();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }
    // Room below the last node, where a point is beside the nodes.
    void MakeRoomBelow() { tree_->resize(tree_->width(), tree_->height() + 80); }
    QPoint Beside() { return QPoint(5, View().viewport()->height() - 3); }
    bool DropOn(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
        return DropAt(dragged, View().visualItemRect(target).center());
    }
    // A right click on the node (or beside the nodes) opens a menu; clicks its item text.
    void ChooseFromMenu(QTreeWidgetItem* node, const QString& item, QMenu* expectedMenu) {
        const QPoint at = node ? View().visualItemRect(node).center() : Beside();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, View().viewport()->mapToGlobal(at));
        QApplication::sendEvent(View().viewport(), &event);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(expectedMenu)) << item.toStdString();
        for (QAction* action : expectedMenu->actions()) {
            if (action->text() == item) {
                QTest::mouseClick(expectedMenu, Qt::LeftButton, {},
                                  expectedMenu->actionGeometry(action).center());
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << item.toStdString();
    }

    QStringList launched_;
    std::unique_ptr<TFormFileTree> tree_;
};

TEST_F(FileTree, BuildsNestingFromLevelsAndConfirmingWritesTreeDepthsAsLevels) {
    TFormFileTree& tree = Open({"|A|0", "/b.log|B|1", "/c.log||1", "/d.log||0", "/e.log||2"});
    // E (level 2) hangs under the node made last at level 1, C, which lies before D.
    EXPECT_EQ(Shape(), QStringLiteral("A(B - /b.log,/c.log(/e.log)),/d.log"));
    EXPECT_EQ(FileTreeView::StateImage(Node("A")), FileTreeView::ImageGroupOpen);
    EXPECT_EQ(FileTreeView::StateImage(Node("/c.log")), FileTreeView::ImageFile)
        << "a file node with children";
    QTest::mouseClick(tree.findChild<QToolButton*>(QStringLiteral("ButtonCollapse")), Qt::LeftButton);
    EXPECT_EQ(FileTreeView::StateImage(Node("A")), FileTreeView::ImageGroupClosed);
    EXPECT_EQ(tree.SelectedPath(), QString()) << "the manager has no current entry";

    // Selecting a group leaves the selection field; a file node sets it.
    QTest::mouseClick(tree.findChild<QToolButton*>(QStringLiteral("ButtonExpand")), Qt::LeftButton);
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, View().visualItemRect(Node("/d.log")).center());
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, View().visualItemRect(Node("A")).center());
    EXPECT_EQ(tree.SelectedPath(), QStringLiteral("/d.log"));

    QTest::mouseClick(tree.findChild<QToolButton*>(QStringLiteral("ButtonOK")), Qt::LeftButton);
    EXPECT_EQ(tree.TreeResult(), TFormFileTree::Result::OK);
    EXPECT_EQ(Entries(*manager_->List),
              (QStringList{"|A|0", "/b.log|B|1", "/c.log||1", "/e.log||2", "/d.log||0"}));
    EXPECT_EQ(manager_->List->Strings(3), QStringLiteral("/e.log")) << "appended with its path as text";
    EXPECT_TRUE(launched_.isEmpty());
}

TEST_F(FileTree, LevelsWithoutAParentAndTheHeightRule) {
    QStringList twelve{"/a.log||0", "/b.log||2", "/c.log||-1", "/d.log||999"};
    for (int i = 4; i < 12; ++i)
        twelve += QStringLiteral("/g%1.log||1").arg(i);
    TFormFileTree& tree = Open(twelve, false);
    // b finds no level-1 node before it; c and d are outside 0..998. The level-1 entries hang
    // under a, the node made last at level 0, though b, c and d lie between.
    EXPECT_EQ(View().topLevelItemCount(), 4);
    EXPECT_EQ(View().topLevelItem(0)->childCount(), 8);
    EXPECT_FALSE(View().topLevelItem(0)->isExpanded()) << "auto-expand is off";
    EXPECT_EQ(tree.height(), 12 * View().NodeLineHeight() + TFormFileTree::kExtraHeight)
        << "collapsed nodes count too";
    QTest::mouseClick(tree.findChild<QToolButton*>(QStringLiteral("ButtonTail")), Qt::LeftButton);
    EXPECT_EQ(tree.TreeResult(), TFormFileTree::Result::Yes);
    const QStringList rebuilt = Entries(*manager_->List);
    EXPECT_EQ(rebuilt.mid(0, 2), (QStringList{"/a.log||0", "/g4.log||1"}));
    EXPECT_EQ(rebuilt.mid(9), (QStringList{"/b.log||0", "/c.log||0", "/d.log||0"}));
}

TEST_F(FileTree, DropsMakeTheDraggedNodeTheLastChildAndRefuseItsOwnDescendants) {
    Open({"|A|0", "/b.log|B|1", "/c.log|C|1", "/d.log|D|0"});
    MakeRoomBelow();
    EXPECT_TRUE(DropOn(Node("D - /d.log"), Node("B - /b.log")));
    EXPECT_EQ(Shape(), QStringLiteral("A(B - /b.log(D - /d.log),C - /c.log)"));
    EXPECT_EQ(FileTreeView::StateImage(Node("A")), FileTreeView::ImageGroupOpen);

    EXPECT_TRUE(DropOn(Node("C - /c.log"), Node("C - /c.log"))) << "on itself: the drag just ends";
    EXPECT_FALSE(DropOn(Node("A"), Node("D - /d.log"))) << "A's own descendant";
    QMimeData foreign; // a file name dragged in from elsewhere moves nothing
    foreign.setText(QStringLiteral("/etc/hosts"));
    QDropEvent drop(View().visualItemRect(Node("A")).center(), Qt::CopyAction, &foreign, Qt::LeftButton, {});
    QApplication::sendEvent(View().viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(Shape(), QStringLiteral("A(B - /b.log(D - /d.log),C - /c.log)"));

    // Beside the nodes: the last top-level node, with its descendants.
    EXPECT_TRUE(DropAt(Node("B - /b.log"), Beside()));
    EXPECT_EQ(Shape(), QStringLiteral("A(C - /c.log),B - /b.log(D - /d.log)"));
    EXPECT_EQ(View().currentItem(), Node("B - /b.log")) << "the dragged node stays selected";

    QTest::keyClick(tree_.get(), Qt::Key_Escape);
    EXPECT_EQ(tree_->TreeResult(), TFormFileTree::Result::Cancel);
    EXPECT_EQ(Entries(*manager_->List), (QStringList{"|A|0", "/b.log|B|1", "/c.log|C|1", "/d.log|D|0"}))
        << "a drop changes only the tree";
}

TEST_F(FileTree, DropOnAChildThenConfirmGivesTheNewOrderAndLevels) {
    TFormFileTree& tree = Open({"|A|0", "/b.log|B|1", "/c.log|C|1", "/d.log|D|0"});
    ASSERT_TRUE(DropOn(Node("D - /d.log"), Node("B - /b.log")));
    QTest::mouseClick(tree.findChild<QToolButton*>(QStringLiteral("ButtonOK")), Qt::LeftButton);
    EXPECT_EQ(Entries(*manager_->List), (QStringList{"|A|0", "/b.log|B|1", "/d.log|D|2", "/c.log|C|1"}));
}

TEST_F(FileTree, GroupLaunchesStartOneMinimisedWindowPerDirectFileChild) {
    TFormFileTree& tree = Open({"|G|0", "/x/one.log||1", "|Sub|1", "/x/deep.log||2", "/x/two.log|Two|1"});
    ChooseFromMenu(Node("G"), QStringLiteral("Tail (stopped) all the subitems"), tree.GroupMenu());
    EXPECT_EQ(launched_, (QStringList{"\"/opt/my programs/kovra\" \"/x/one.log\" /minimized",
                                      "\"/opt/my programs/kovra\" \"/x/two.log\" /minimized"}));
    EXPECT_EQ(tree.TreeResult(), TFormFileTree::Result::OK);
    EXPECT_FALSE(tree.isVisible());
}

TEST_F(FileTree, TailInANewWindowLaunchesOneStartedWindowAndCancels) {
    TFormFileTree& tree =
        Open({"|G|0", "/x/one.log||1", "/x/two.log||1"}, true, QStringLiteral("/x/one.log"));
    EXPECT_EQ(tree.SelectedPath(), QStringLiteral("/x/one.log")) << "the current entry is selected";
    ChooseFromMenu(Node("/x/two.log"), QStringLiteral("Tail the item in a new window"), tree.FileMenu());
    EXPECT_EQ(launched_, QStringList{"\"/opt/my programs/kovra\" \"/x/two.log\" /minimized /start"});
    EXPECT_EQ(tree.TreeResult(), TFormFileTree::Result::Cancel);
    EXPECT_EQ(tree.SelectedPath(), QStringLiteral("/x/two.log"));
}

TEST_F(FileTree, DeleteRemovesTheNodeWithItsDescendantsAndTheManagerKeepsTheCurrentEntry) {
    TFormFileTree& tree = Open({"|G|0", "/x/one.log||1", "/x/two.log||1", "/x/three.log||0"}, true,
                               QStringLiteral("/x/one.log"));
    MakeRoomBelow();
    TTailFile* current = manager_->GetCurrentFile();
    ASSERT_NE(current, nullptr);
    // Beside the nodes the group menu opens; it acts on the selected node (the group here).
    View().setCurrentItem(Node("G"));
    ChooseFromMenu(nullptr, QStringLiteral("Delete"), tree.GroupMenu());
    EXPECT_TRUE(tree.isVisible()) << "the window stays open";
    EXPECT_EQ(Shape(), QStringLiteral("/x/three.log"));
    EXPECT_EQ(Entries(*manager_->List), QStringList{"/x/three.log||0"});
    EXPECT_EQ(manager_->RetiredCount(), 3);

    // The current entry may still be read by a running pass: it outlives the release.
    manager_->ReleaseRetiredEntries();
    EXPECT_EQ(manager_->RetiredCount(), 1);
    EXPECT_EQ(manager_->GetCurrentFile(), current);
    EXPECT_EQ(current->Path, QStringLiteral("/x/one.log"));
    manager_->SetFileName(QStringLiteral("/x/three.log"));
    manager_->ReleaseRetiredEntries();
    EXPECT_EQ(manager_->RetiredCount(), 0);
}

TEST_F(FileTree, ALongPathIsReadWholeInItsToolTipAndByScrollingSideways) {
    const QString path =
        QStringLiteral("/var/log/") + QString(40, u'd') + QStringLiteral("/application-server.log");
    TFormFileTree& tree = Open({"|A|0", path + QStringLiteral("|App|1")});
    tree.resize(295, tree.height());
    QTreeWidgetItem* node = Node(QStringLiteral("App - ") + path);
    QHelpEvent help(QEvent::ToolTip, View().visualItemRect(node).center(),
                    View().viewport()->mapToGlobal(View().visualItemRect(node).center()));
    QApplication::sendEvent(View().viewport(), &help);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("App - ") + path);
    EXPECT_GE(View().visualItemRect(node).width(), View().fontMetrics().horizontalAdvance(node->text(0)))
        << "the caption is not cut";
    EXPECT_TRUE(View().horizontalScrollBar()->isVisible());
}

} // namespace
