#include "manage/fTailTree.h"

#include <array>
#include <unordered_map>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "manage/file_tree_view.h"
#include "platform/launch.h"
#include "settings/uList.h"

namespace {

// Slot L of the parent table holds the parent for level L.
constexpr int kLevelSlots = 1000;

// A path the new window's command line would read as a switch ("/start", "/f=x", "#", or one
// starting with "-") names the same file through "/./" or "./"; any other path goes as it is, so
// the new window finds its definition by the same name.
QString FileArgument(const QString& path) {
    static const QRegularExpression kSwitch(QStringLiteral("^(/(start|minimized|recycle)$|/[fa]=|#$|-)"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (!kSwitch.match(path).hasMatch())
        return path;
    return path.startsWith(u'/') ? QStringLiteral("/.") + path : QStringLiteral("./") + path;
}

// Tool buttons: push buttons have a minimum width in some styles that five of them would exceed,
// and the window is only as wide as the file name field and the tree button.
QToolButton* MakeButton(const QString& caption, const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setObjectName(QStringLiteral("Button") + caption);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

QAction* AddItem(QMenu* menu, const QString& text, int image) {
    return menu->addAction(FileTreeImage(image), text);
}

} // namespace

TailWindowLauncher RunCommandLauncher() {
    return [](const QString& commandLine) {
        // The line holds existing names, which may be as long as the file system allows: it goes
        // without RunCommand's bound. A failed launch is not reported.
        RunArguments(QProcess::splitCommand(commandLine));
    };
}

QString TFormFileTree::LaunchCommandLine(const QString& programPath, const QString& path, bool start) {
    // Every word quoted (an installation folder may hold a blank); inside quotes, three double
    // quotes stand for one. The file is given so that the new window reads no switch in it.
    const auto quoted = [](QString word) {
        return u'"' + word.replace(u'"', QStringLiteral("\"\"\"")) + u'"';
    };
    QString line = quoted(programPath) + u' ' + quoted(FileArgument(path)) + QStringLiteral(" /minimized");
    if (start)
        line += QStringLiteral(" /start");
    return line;
}

TFormFileTree::TFormFileTree(TTailFileManager& manager, FileTreeOptions options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), manager_(manager), options_(std::move(options)) {
    setObjectName(QStringLiteral("FormFileTree"));
    setWindowTitle(QStringLiteral("File tree")); // never shown: the window has no caption
    setModal(true);
    if (options_.programPath.isEmpty())
        options_.programPath = QCoreApplication::applicationFilePath();
    if (!options_.launch)
        options_.launch = RunCommandLauncher();
    BuildControls();
    BuildMenus();
    BuildTree();
    tree_->setFocus(); // the arrow keys move in the tree at once
}

void TFormFileTree::BuildControls() {
    selection_ = new QLineEdit(this);
    selection_->setObjectName(QStringLiteral("EditSelection"));
    selection_->setReadOnly(true);
    selection_->setFocusPolicy(Qt::NoFocus);
    QToolButton* up = MakeButton(
        QStringLiteral("Up"), QStringLiteral("Close the file manager tree without selected the file"), this);
    connect(up, &QToolButton::clicked, this, &TFormFileTree::reject);
    tree_ = new FileTreeView(this);
    if (!options_.fontName.isEmpty()) {
        QFont font = tree_->font();
        font.setFamily(options_.fontName);
        tree_->setFont(font);
        selection_->setFont(font);
    }
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &TFormFileTree::OnSelectionChanged);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (FileTreeView::IsFileNode(tree_->currentItem()))
            Finish(Result::OK);
    });

    auto* top = new QHBoxLayout;
    top->addWidget(selection_, 1);
    top->addWidget(up);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    column->addLayout(top);
    column->addWidget(tree_, 1);
    column->addLayout(BuildButtonRow());
}

QLayout* TFormFileTree::BuildButtonRow() {
    QToolButton* expand = MakeButton(QStringLiteral("Expand"), QString(), this);
    QToolButton* collapse = MakeButton(QStringLiteral("Collapse"), QString(), this);
    QToolButton* tail =
        MakeButton(QStringLiteral("Tail"), QStringLiteral("Select the file and start tailing"), this);
    QToolButton* ok = MakeButton(QStringLiteral("OK"), QStringLiteral("Select the file"), this);
    QToolButton* cancel = MakeButton(QStringLiteral("Cancel"), QStringLiteral("Cancel the selection"), this);
    connect(expand, &QToolButton::clicked, tree_, &QTreeWidget::expandAll);
    connect(collapse, &QToolButton::clicked, tree_, &QTreeWidget::collapseAll);
    connect(tail, &QToolButton::clicked, this, [this] { Finish(Result::Yes); });
    connect(ok, &QToolButton::clicked, this, [this] { Finish(Result::OK); });
    connect(cancel, &QToolButton::clicked, this, &TFormFileTree::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(expand);
    buttons->addWidget(collapse);
    buttons->addStretch(1);
    buttons->addWidget(tail);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    return buttons;
}

void TFormFileTree::BuildMenus() {
    fileMenu_ = new QMenu(this);
    fileMenu_->setObjectName(QStringLiteral("PopupMenuFile"));
    connect(AddItem(fileMenu_, QStringLiteral("Tail the item"), FileTreeView::ImageTail), &QAction::triggered,
            this, [this] { Finish(Result::OK); });
    connect(AddItem(fileMenu_, QStringLiteral("Tail the item in a new window"), FileTreeView::ImageTail),
            &QAction::triggered, this, [this] {
                RebuildList();
                if (const TTailFile* entry = FileTreeView::EntryOf(tree_->currentItem());
                    entry && !entry->Path.isEmpty())
                    Launch(*entry, true);
                result_ = Result::Cancel;
                QDialog::reject();
            });
    connect(AddItem(fileMenu_, QStringLiteral("Delete"), FileTreeView::ImageDelete), &QAction::triggered,
            this, &TFormFileTree::DeleteSelected);

    groupMenu_ = new QMenu(this);
    groupMenu_->setObjectName(QStringLiteral("PopupMenuGroup"));
    connect(AddItem(groupMenu_, QStringLiteral("Tail (started) all the subitems"), FileTreeView::ImageTail),
            &QAction::triggered, this, [this] { LaunchChildren(true); });
    connect(AddItem(groupMenu_, QStringLiteral("Tail (stopped) all the subitems"), FileTreeView::ImageTail),
            &QAction::triggered, this, [this] { LaunchChildren(false); });
    connect(AddItem(groupMenu_, QStringLiteral("Delete"), FileTreeView::ImageDelete), &QAction::triggered,
            this, &TFormFileTree::DeleteSelected);

    connect(tree_, &FileTreeView::MenuRequested, this, [this](QTreeWidgetItem* node, const QPoint& at) {
        (FileTreeView::IsFileNode(node) ? fileMenu_ : groupMenu_)->popup(at);
    });
}

void TFormFileTree::BuildTree() {
    const QScopedValueRollback building(building_, true);
    std::array<QTreeWidgetItem*, kLevelSlots> parents{};
    const TTailFileList& list = *manager_.List;
    const TTailFile* current = manager_.GetCurrentFile();
    for (int i = 0; i < list.Count(); ++i) {
        TTailFile* entry = list.RItems(i);
        const int level = entry->GetLevel();
        const bool nests = level >= 0 && level < kLevelSlots - 1;
        QTreeWidgetItem* node = tree_->AddNode(nests ? parents[size_t(level)] : nullptr, entry);
        if (entry == current)
            tree_->setCurrentItem(node);
        if (nests)
            parents[size_t(level) + 1] = node;
    }
    tree_->RefreshImages();
    // Measured with the images in place: they make a node line what it is on the screen.
    const int nodes = static_cast<int>(tree_->NodesInTreeOrder().size());
    if (nodes > 0)
        resize(width(), qMin(nodes * tree_->NodeLineHeight() + kExtraHeight, AvailableRoom(pos()).height()));
    if (options_.autoExpand)
        tree_->expandAll();
}

QRect TFormFileTree::AvailableRoom(QPoint at) const {
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = this->screen();
    return screen ? screen->availableGeometry() : QRect(at, QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void TFormFileTree::PlaceOver(const QWidget& field, const QWidget& treeButton) {
    QPoint corner = field.mapToGlobal(QPoint(0, 0)) - QPoint(2, 2);
    const QRect room = AvailableRoom(corner);
    const int height = qMin(this->height(), room.height());
    // Drops down where it fits; otherwise rises just enough for its buttons to stay on the screen.
    corner.setY(qMax(room.top(), qMin(corner.y(), room.bottom() + 1 - height)));
    setGeometry(corner.x(), corner.y(), field.width() + treeButton.width() - 1, height);
}

void TFormFileTree::OnSelectionChanged() {
    const QTreeWidgetItem* node = tree_->selectedItems().value(0);
    const TTailFile* entry = FileTreeView::EntryOf(node);
    if (!entry || entry->Path.isEmpty())
        return;
    selection_->setText(entry->Path);
    selection_->setToolTip(entry->Path);
    picked_ = picked_ || !building_;
}

QString TFormFileTree::SelectedPath() const {
    return selection_->text();
}

void TFormFileTree::RebuildList() {
    manager_.MarkUnsavedEdits();
    TTailFileList& list = *manager_.List;
    std::unordered_map<const TTailFile*, std::unique_ptr<TTailFile>> held;
    for (auto& pair : list.StringListClear())
        held[pair.object.get()] = std::move(pair.object);
    for (const auto& [node, depth] : tree_->NodesInTreeOrder()) {
        auto it = held.find(FileTreeView::EntryOf(node));
        if (it == held.end() || !it->second)
            continue;
        it->second->SetLevel(depth);
        const QString path = it->second->Path;
        list.Add(path, std::move(it->second));
    }
    // The entries of deleted nodes: the manager keeps them until no pass can read them.
    for (auto& [entry, owned] : held) {
        if (owned)
            manager_.RetireEntry(std::move(owned));
    }
}

void TFormFileTree::Finish(Result result) {
    RebuildList();
    result_ = result;
    accept();
}

void TFormFileTree::reject() {
    result_ = Result::Cancel;
    QDialog::reject();
}

void TFormFileTree::Launch(const TTailFile& entry, bool start) {
    options_.launch(LaunchCommandLine(options_.programPath, entry.Path, start));
}

void TFormFileTree::LaunchChildren(bool start) {
    RebuildList();
    if (QTreeWidgetItem* group = tree_->currentItem()) {
        for (int i = 0; i < group->childCount(); ++i) {
            if (FileTreeView::IsFileNode(group->child(i)))
                Launch(*FileTreeView::EntryOf(group->child(i)), start);
        }
    }
    result_ = Result::OK;
    accept();
}

void TFormFileTree::DeleteSelected() {
    QTreeWidgetItem* node = tree_->currentItem();
    if (!node)
        return;
    tree_->DeleteNode(node);
    RebuildList();
    tree_->RefreshImages();
}
