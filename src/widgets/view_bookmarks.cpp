#include "widgets/view_bookmarks.h"

#include <algorithm>
#include <numeric>

#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>

#include "widgets/tail_view.h"

ViewBookmarks::ViewBookmarks(TailView& view)
    : QObject(&view), view_(view), viewObject_(&view), viewport_(view.viewport()),
      gutter_(new QWidget(&view)) {
    gutter_->setObjectName(QStringLiteral("BookmarkGutter"));
    gutter_->setAttribute(Qt::WA_TransparentForMouseEvents);
    gutter_->installEventFilter(this);
    view.SetLeftGutter(kGutterWidth);
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
    connect(&view, &TailView::snapshotChanged, this, &ViewBookmarks::Follow);
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, gutter_, qOverload<>(&QWidget::update));
    Place();
    gutter_->show();
}

bool ViewBookmarks::IsBookmarked(qint64 line) const {
    return std::binary_search(lines_.begin(), lines_.end(), line);
}

// The snapshot changed: each bookmark is found again by its identity, or goes with its line.
void ViewBookmarks::Follow() {
    if (ids_.empty())
        return;
    const std::vector<qint64> found = view_.Snapshot().LinesOf(ids_);
    std::vector<ViewLineId> ids;
    std::vector<qint64> lines;
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] >= 0) {
            ids.push_back(ids_[i]);
            lines.push_back(found[i]);
        }
    }
    ids_ = std::move(ids);
    lines_ = std::move(lines);
    gutter_->update();
}

void ViewBookmarks::Toggle() {
    const qint64 count = view_.LineCount();
    if (count == 0)
        return;
    qint64 first = view_.CursorPosition().line;
    qint64 last = first;
    if (view_.HasSelection()) {
        const ViewRange selection = view_.Selection();
        first = selection.from.line;
        // A selection that ends at the start of a line does not take that line.
        last =
            selection.to.column == 0 && selection.to.line > first ? selection.to.line - 1 : selection.to.line;
    }
    last = std::min(last, count - 1);
    const auto from = std::lower_bound(lines_.begin(), lines_.end(), first);
    const auto to = std::upper_bound(lines_.begin(), lines_.end(), last);
    const bool allMarked = to - from == last - first + 1;
    std::vector<std::pair<qint64, ViewLineId>> kept;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i] < first || lines_[i] > last)
            kept.emplace_back(lines_[i], ids_[i]);
    }
    if (!allMarked) {
        for (qint64 line = first; line <= last && qsizetype(kept.size()) < kMaxBookmarks; ++line)
            kept.emplace_back(line, view_.Snapshot().LineId(line));
    }
    std::sort(kept.begin(), kept.end());
    lines_.clear();
    ids_.clear();
    for (const auto& [line, id] : kept) {
        lines_.push_back(line);
        ids_.push_back(id);
    }
    gutter_->update();
}

void ViewBookmarks::GoTo(qint64 line) {
    view_.Select({{line, 0}, {line, 0}});
    view_.EnsureVisible({line, 0}, TailView::Place::Center);
}

void ViewBookmarks::Next() {
    if (lines_.empty())
        return;
    const auto after = std::upper_bound(lines_.begin(), lines_.end(), view_.CursorPosition().line);
    GoTo(after == lines_.end() ? lines_.front() : *after);
}

void ViewBookmarks::Previous() {
    if (lines_.empty())
        return;
    const auto at = std::lower_bound(lines_.begin(), lines_.end(), view_.CursorPosition().line);
    GoTo(at == lines_.begin() ? lines_.back() : *std::prev(at));
}

// The gutter lies in the room the view keeps left of its viewport.
void ViewBookmarks::Place() {
    const QRect viewport = view_.viewport()->geometry();
    gutter_->setGeometry(viewport.x() - kGutterWidth, viewport.y(), kGutterWidth, viewport.height());
}

void ViewBookmarks::Paint() {
    QPainter painter(gutter_);
    painter.fillRect(gutter_->rect(), view_.palette().color(QPalette::Base));
    const qint64 first = view_.FirstVisibleLine();
    const qint64 end = first + view_.LinesThatFit() + 1;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(view_.palette().color(QPalette::Highlight));
    for (auto line = std::lower_bound(lines_.begin(), lines_.end(), first);
         line != lines_.end() && *line < end; ++line) {
        const QRect rows = view_.LineRect(*line);
        if (rows.isNull())
            continue;
        const int height = std::min(rows.height(), gutter_->width() + 4);
        painter.drawRoundedRect(QRectF(2, rows.y() + 1, gutter_->width() - 4, height - 2), 2, 2);
    }
}

bool ViewBookmarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == gutter_ && event->type() == QEvent::Paint) {
        Paint();
        return true;
    }
    if (watched == viewport_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        Place();
    if (watched == viewObject_ && event->type() == QEvent::PaletteChange)
        gutter_->update();
    return QObject::eventFilter(watched, event);
}

InstalledBookmarks InstallBookmarks(TailView& view, QWidget& host) {
    auto* bookmarks = new ViewBookmarks(view);
    const auto action = [&host](const QString& text, const QKeySequence& keys) {
        auto* created = new QAction(text, &host);
        created->setShortcut(keys);
        created->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        host.addAction(created);
        return created;
    };
    InstalledBookmarks installed{
        bookmarks, action(QStringLiteral("Toggle bookmark"), QKeySequence(Qt::CTRL | Qt::Key_B)),
        action(QStringLiteral("Next bookmark"), QKeySequence(Qt::Key_F2)),
        action(QStringLiteral("Previous bookmark"), QKeySequence(Qt::SHIFT | Qt::Key_F2))};
    QObject::connect(installed.toggle, &QAction::triggered, bookmarks, &ViewBookmarks::Toggle);
    QObject::connect(installed.next, &QAction::triggered, bookmarks, &ViewBookmarks::Next);
    QObject::connect(installed.previous, &QAction::triggered, bookmarks, &ViewBookmarks::Previous);
    return installed;
}
