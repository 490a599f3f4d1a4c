#pragma once
// The tree of the file tree window: one node per entry of the file list, holding the entry itself
// (not owned: the list owns it). A node is dragged within the tree and dropped on another node,
// becoming its last child, or beside the nodes, becoming the last top-level node. A drop on the
// node itself changes nothing and a drop on one of its own descendants is refused. Window thread.
#include <QTreeWidget>

class TTailFile;

class FileTreeView final : public QTreeWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileTreeView)

public:
    // State images of the nodes, and the images of the menu items.
    enum Image { ImageTail = 0, ImageGroupClosed = 1, ImageGroupOpen = 2, ImageFile = 3, ImageDelete = 4 };

    explicit FileTreeView(QWidget* parent = nullptr);

    static TTailFile* EntryOf(const QTreeWidgetItem* node);
    // A node whose entry has a path; the others are group headings.
    static bool IsFileNode(const QTreeWidgetItem* node);
    static int StateImage(const QTreeWidgetItem* node);
    // The caption: alias - path, or the one of them that is not empty.
    static QString Caption(const TTailFile& entry);

    // Appends a node for entry under parent (top level when null).
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, TTailFile* entry);
    // Moves dragged with its descendants, in their order, to the last child of target (the last
    // top-level node when target is null). false, and nothing changes, when target is dragged
    // itself or one of its descendants.
    bool MoveNode(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // Deletes the node with its descendants (their entries stay with the list).
    void DeleteNode(QTreeWidgetItem* node);
    void RefreshImages();
    // Every node in tree order (a node, then its children, then its next sibling) with its depth.
    std::vector<std::pair<QTreeWidgetItem*, int>> NodesInTreeOrder() const;
    // The height of one node line.
    int NodeLineHeight() const;

signals:
    // A right click (which selects the node under it) or the menu key: the node (null beside the
    // nodes) and where the menu goes, in global coordinates.
    void MenuRequested(QTreeWidgetItem* node, const QPoint& globalPosition);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool FromThisTree(const QDropEvent& event) const;
    bool AcceptsDrop(const QPoint& position) const;
    void SetStateImage(QTreeWidgetItem* node, int image);
};

// The pictures of the state images and menu items, by Image.
QIcon FileTreeImage(int image);
