#include "widgets/find_bar.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "widgets/tail_view.h"
#include "widgets/view_find.h"

namespace {

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(TailView& view, QWidget* parent)
    : QWidget(parent), view_(view), find_(new ViewFind(this)), field_(new QLineEdit(this)),
      matchCase_(new QCheckBox(QStringLiteral("Match case"), this)),
      regex_(new QCheckBox(QStringLiteral("Regular expression"), this)),
      previous_(Button(QStringLiteral("\u25B2"), QStringLiteral("Previous match (Shift+F3)"), this)),
      next_(Button(QStringLiteral("\u25BC"), QStringLiteral("Next match (F3)"), this)),
      count_(new QLabel(this)), progress_(new QTimer(this)) {
    find_->Attach(view);
    field_->setPlaceholderText(QStringLiteral("Find"));
    field_->setClearButtonEnabled(true);
    field_->installEventFilter(this);
    auto* close = Button(QStringLiteral("\u2715"), QStringLiteral("Close (Escape)"), this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->addWidget(field_, 1);
    for (QWidget* widget :
         {static_cast<QWidget*>(previous_), static_cast<QWidget*>(next_), static_cast<QWidget*>(count_),
          static_cast<QWidget*>(matchCase_), static_cast<QWidget*>(regex_), static_cast<QWidget*>(close)})
        row->addWidget(widget);
    connect(field_, &QLineEdit::textChanged, this, &FindBar::QueryChanged);
    connect(matchCase_, &QCheckBox::toggled, this, &FindBar::QueryChanged);
    connect(regex_, &QCheckBox::toggled, this, &FindBar::QueryChanged);
    connect(previous_, &QToolButton::clicked, this, &FindBar::FindPrevious);
    connect(next_, &QToolButton::clicked, this, &FindBar::FindNext);
    connect(close, &QToolButton::clicked, this, &FindBar::Close);
    connect(find_, &ViewFind::changed, this, &FindBar::ShowState);
    progress_->setInterval(250);
    connect(progress_, &QTimer::timeout, this, &FindBar::ShowState);
    ShowState();
}

void FindBar::Open() {
    const ViewRange selection = view_.Selection();
    if (view_.HasSelection() && selection.from.line == selection.to.line)
        field_->setText(view_.SelectedText());
    show();
    if (find_->Query().text != field_->text() || field_->text().isEmpty())
        QueryChanged();
    else if (!find_->Current())
        find_->Next();
    field_->selectAll();
    field_->setFocus();
}

void FindBar::Close() {
    hide();
    find_->Close();
    view_.setFocus();
}

void FindBar::FindNext() {
    if (isHidden())
        Open();
    else
        find_->Next();
}

void FindBar::FindPrevious() {
    if (isHidden())
        Open();
    else
        find_->Previous();
}

void FindBar::QueryChanged() {
    find_->SetQuery({field_->text(), matchCase_->isChecked(), regex_->isChecked()});
}

bool FindBar::ShowsInvalid() const {
    return field_->property("invalid").toBool();
}

QString FindBar::CountText() const {
    if (find_->Query().text.isEmpty())
        return {};
    if (!find_->QueryValid())
        return QStringLiteral("Invalid expression");
    const std::optional<qint64> count = find_->Count();
    const std::optional<qint64> rank = find_->CurrentRank();
    const QString k = rank                         ? QString::number(*rank)
                      : find_->Current() || !count ? QStringLiteral("?")
                                                   : QStringLiteral("0");
    const std::optional<int> percent = find_->CountPercent();
    const QString total = count     ? QString::number(*count)
                          : percent ? QStringLiteral("\u2026 (%1%)").arg(*percent)
                                    : QStringLiteral("\u2026");
    return k + QStringLiteral(" of ") + total;
}

void FindBar::ShowState() {
    const bool invalid = !find_->QueryValid();
    if (invalid != ShowsInvalid()) {
        field_->setProperty("invalid", invalid);
        // A red field, in any palette: the text keeps its colour, the frame and tint say why.
        field_->setStyleSheet(invalid ? QStringLiteral("QLineEdit { background: #ffd0d0; color: black; "
                                                       "border: 1px solid #d00000; }")
                                      : QString());
        field_->setToolTip(invalid ? QStringLiteral("Invalid regular expression") : QString());
    }
    // While a republished view is counted again, the last count stands (no flicker at each pass).
    const FindQuery& query = find_->Query();
    if (find_->Count() || !(query == countedQuery_) || !find_->Current())
        count_->setText(CountText());
    if (find_->CountPercent() && !progress_->isActive())
        progress_->start();
    else if (!find_->CountPercent())
        progress_->stop();
    if (find_->Count())
        countedQuery_ = query;
    const bool any = find_->Count().value_or(1) > 0 && find_->QueryValid() && !find_->Query().text.isEmpty();
    previous_->setEnabled(any);
    next_->setEnabled(any);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            shift ? FindPrevious() : FindNext();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        Close();
    else
        QWidget::keyPressEvent(event);
}

InstalledFind InstallFindBar(TailView& view, QBoxLayout& layout) {
    QWidget* host = layout.parentWidget();
    auto* bar = new FindBar(view, host);
    bar->hide();
    const int at = layout.indexOf(&view);
    layout.insertWidget(at < 0 ? layout.count() : at + 1, bar);
    const auto action = [host](const QString& text, const QKeySequence& keys) {
        auto* created = new QAction(text, host);
        created->setShortcut(keys);
        created->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        host->addAction(created);
        return created;
    };
    QAction* find = action(QStringLiteral("Find..."), QKeySequence::Find);
    QObject::connect(find, &QAction::triggered, bar, &FindBar::Open);
    QObject::connect(action(QStringLiteral("Find next"), QKeySequence(Qt::Key_F3)), &QAction::triggered, bar,
                     &FindBar::FindNext);
    QObject::connect(action(QStringLiteral("Find previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3)),
                     &QAction::triggered, bar, &FindBar::FindPrevious);
    return {bar, find};
}
