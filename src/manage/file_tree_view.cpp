#include "manage/file_tree_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QStyle>

#include "settings/uList.h"
#include "widgets/kovra_resources.h"

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;

bool IsSameOrDescendant(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
    for (const QTreeWidgetItem* n = node; n; n = n->parent()) {
        if (n == ancestor)
            return true;
    }
    return false;
}

} // namespace

QIcon FileTreeImage(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
    case FileTreeView::ImageTail:
        return KovraPicture(kImageStart);
    case FileTreeView::ImageGroupClosed:
        return style->standardIcon(QStyle::SP_DirClosedIcon);
    case FileTreeView::ImageGroupOpen:
        return style->standardIcon(QStyle::SP_DirOpenIcon);
    case FileTreeView::ImageFile:
        return style->standardIcon(QStyle::SP_FileIcon);
    default:
        return style->standardIcon(QStyle::SP_TrashIcon);
    }
}

FileTreeView::FileTreeView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    // The drop moves the node itself and answers "copy", so the view does not remove the dragged
    // rows once more after the drag.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // A long path is never cut: the column is as wide as its longest caption and the tree scrolls
    // sideways; each node's tool tip shows its whole caption too.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setTextElideMode(Qt::ElideNone);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        if (StateImage(node) == ImageGroupClosed)
            SetStateImage(node, ImageGroupOpen);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* node) {
        if (StateImage(node) == ImageGroupOpen)
            SetStateImage(node, ImageGroupClosed);
    });
}

TTailFile* FileTreeView::EntryOf(const QTreeWidgetItem* node) {
    return node ? reinterpret_cast<TTailFile*>(node->data(0, kEntryRole).value<quintptr>()) : nullptr;
}

bool FileTreeView::IsFileNode(const QTreeWidgetItem* node) {
    const TTailFile* entry = EntryOf(node);
    return entry && !entry->Path.isEmpty();
}

int FileTreeView::StateImage(const QTreeWidgetItem* node) {
    return node->data(0, kImageRole).toInt();
}

QString FileTreeView::Caption(const TTailFile& entry) {
    if (entry.Alias.isEmpty())
        return entry.Path;
    if (entry.Path.isEmpty())
        return entry.Alias;
    return entry.Alias + QStringLiteral(" - ") + entry.Path;
}

QTreeWidgetItem* FileTreeView::AddNode(QTreeWidgetItem* parent, TTailFile* entry) {
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, Caption(*entry));
    node->setToolTip(0, Caption(*entry));
    // As a number: the drag's data holds the node's roles, and a number can be written there.
    node->setData(0, kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    return node;
}

bool FileTreeView::MoveNode(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
    if (!dragged || IsSameOrDescendant(target, dragged))
        return false;
    const bool wasCurrent = currentItem() == dragged;
    QTreeWidgetItem* parent = dragged->parent();
    QTreeWidgetItem* taken = parent ? parent->takeChild(parent->indexOfChild(dragged))
                                    : takeTopLevelItem(indexOfTopLevelItem(dragged));
    if (target)
        target->addChild(taken);
    else
        addTopLevelItem(taken);
    if (wasCurrent)
        setCurrentItem(taken);
    RefreshImages();
    return true;
}

void FileTreeView::DeleteNode(QTreeWidgetItem* node) {
    delete node; // takes its descendants with it
}

void FileTreeView::SetStateImage(QTreeWidgetItem* node, int image) {
    node->setData(0, kImageRole, image);
    node->setIcon(0, FileTreeImage(image));
}

void FileTreeView::RefreshImages() {
    for (const auto& [node, depth] : NodesInTreeOrder()) {
        if (IsFileNode(node))
            SetStateImage(node, ImageFile);
        else
            SetStateImage(node,
                          node->isExpanded() && node->childCount() > 0 ? ImageGroupOpen : ImageGroupClosed);
    }
}

std::vector<std::pair<QTreeWidgetItem*, int>> FileTreeView::NodesInTreeOrder() const {
    std::vector<std::pair<QTreeWidgetItem*, int>> nodes;
    std::vector<std::pair<QTreeWidgetItem*, int>> pending;
    for (int i = topLevelItemCount() - 1; i >= 0; --i)
        pending.emplace_back(topLevelItem(i), 0);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        nodes.emplace_back(node, depth);
        for (int i = node->childCount() - 1; i >= 0; --i)
            pending.emplace_back(node->child(i), depth + 1);
    }
    return nodes;
}

int FileTreeView::NodeLineHeight() const {
    if (topLevelItemCount() > 0)
        return qMax(1, indexRowSizeHint(indexFromItem(topLevelItem(0))));
    return fontMetrics().height();
}

bool FileTreeView::AcceptsDrop(const QPoint& position) const {
    QTreeWidgetItem* dragged = currentItem();
    QTreeWidgetItem* target = itemAt(position);
    return dragged && (target == dragged || !IsSameOrDescendant(target, dragged));
}

// Only a node of this tree is dropped: the view's own drag data, from no other widget of ours.
bool FileTreeView::FromThisTree(const QDropEvent& event) const {
    const QObject* source = event.source();
    return (source == this || source == nullptr) && event.mimeData() &&
           event.mimeData()->hasFormat(model()->mimeTypes().value(0));
}

void FileTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (!FromThisTree(*event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (FromThisTree(*event) && AcceptsDrop(event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileTreeView::dropEvent(QDropEvent* event) {
    // The user drags the selected node.
    QTreeWidgetItem* dragged = currentItem();
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (!FromThisTree(*event) || !AcceptsDrop(event->position().toPoint())) {
        event->ignore();
        return;
    }
    if (target != dragged)
        MoveNode(dragged, target);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileTreeView::contextMenuEvent(QContextMenuEvent* event) {
    // A mouse menu comes through the viewport, in its coordinates; the menu key to the tree.
    if (event->reason() == QContextMenuEvent::Mouse) {
        QTreeWidgetItem* node = itemAt(event->pos());
        if (node)
            setCurrentItem(node);
        emit MenuRequested(node, event->globalPos());
        return;
    }
    QTreeWidgetItem* node = currentItem();
    const QPoint at = node ? visualItemRect(node).center() : viewport()->rect().center();
    emit MenuRequested(node, viewport()->mapToGlobal(at));
}
