#pragma once
// TFormFileTree: the file tree window, a borderless drop-down over the tail window's file name
// field. It shows the file list as a tree built from the entries' levels; from it the user picks
// the file to follow, starts other tail windows for one file or for the files of a group,
// regroups entries by dragging and deletes them. Every result but a plain close first rebuilds
// the list in tree order with the depths as levels.
//
// Threads and ownership: window thread. The tail keeps running while the window is open, so the
// window changes only the order of the list and the levels, and hands the entries it removes to
// the manager (RetireEntry) instead of freeing them: a running pass may still read the current
// one. The manager belongs to the opener; the nodes refer to its entries without owning them.
#include <functional>

#include <QDialog>
#include <QString>

class QAction;
class QLayout;
class QLineEdit;
class QMenu;
class QTreeWidgetItem;
class FileTreeView;
class TTailFile;
class TTailFileManager;

// Starts another tail window from its command line (LaunchCommandLine), without waiting: the
// default one splits it as RunCommand does and starts the program with those arguments.
using TailWindowLauncher = std::function<void(const QString& commandLine)>;
TailWindowLauncher RunCommandLauncher();

struct FileTreeOptions {
    QString fontName;          // pathcombofontname
    bool autoExpand = false;   // autoexpandtree
    QString programPath;       // empty: this program's own path
    TailWindowLauncher launch; // empty: RunCommandLauncher()
};

class TFormFileTree final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormFileTree)

public:
    enum class Result { OK, Yes, Cancel };

    TFormFileTree(TTailFileManager& manager, FileTreeOptions options, QWidget* parent = nullptr);

    // Drops down over the file name field: the top-left corner 2 pixels up and left of the
    // field's, as wide as the field and the tree button beside it, less 1.
    void PlaceOver(const QWidget& field, const QWidget& treeButton);

    Result TreeResult() const { return result_; }
    // The path of the file node selected last: the file the tail window is to follow.
    QString SelectedPath() const;
    // Whether the user selected a file node: only then is SelectedPath an answer. The node of the
    // current entry, selected when the tree is built, and a node that only became current (the
    // tree takes the focus) are no choice of the user's.
    bool FilePicked() const { return picked_; }
    FileTreeView* Tree() const { return tree_; }
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* GroupMenu() const { return groupMenu_; }

    // The command line that starts a tail window on path, minimised, following at once or not:
    // split as RunCommand splits, it gives the program the path exactly, whatever it holds.
    static QString LaunchCommandLine(const QString& programPath, const QString& path, bool start);

    static constexpr int kExtraHeight = 80;

private:
    void BuildControls();
    QLayout* BuildButtonRow();
    void BuildMenus();
    void BuildTree();
    void RebuildList();
    void Finish(Result result);
    void Launch(const TTailFile& entry, bool start);
    void LaunchChildren(bool start);
    void DeleteSelected();
    void OnSelectionChanged();
    // The available part of the screen at that point: the window never grows past its height
    // (the tree scrolls inside).
    QRect AvailableRoom(QPoint at) const;
    void reject() override;

    TTailFileManager& manager_;
    FileTreeOptions options_;
    Result result_ = Result::Cancel;
    bool building_ = false;
    bool picked_ = false;
    QLineEdit* selection_ = nullptr;
    FileTreeView* tree_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* groupMenu_ = nullptr;
};
