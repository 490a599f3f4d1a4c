#include "manage/highlight_rules_editor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/regex.h"
#include "platform/dialogs.h"
#include "util/colors.h"

namespace {

const QString kInvalid = QStringLiteral("Invalid expression");

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QIcon Swatch(quint32 color) {
    QPixmap pixmap(14, 14);
    pixmap.fill(ColorToQColor(color));
    return QIcon(pixmap);
}

bool Compiles(const QString& pattern) {
    PatternMatcher matcher;
    return !pattern.isEmpty() && matcher.SetPattern(pattern);
}

} // namespace

HighlightRulesEditor::HighlightRulesEditor(DialogService& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), list_(new QListWidget(this)), pattern_(new QLineEdit(this)),
      color_(Button(this, "ButtonRuleColor", QStringLiteral("Color..."))),
      wholeLine_(new QCheckBox(QStringLiteral("Whole line"), this)), invalid_(new QLabel(kInvalid, this)),
      add_(Button(this, "ButtonRuleAdd", QStringLiteral("Add"))),
      edit_(Button(this, "ButtonRuleEdit", QStringLiteral("Edit"))),
      delete_(Button(this, "ButtonRuleDelete", QStringLiteral("Delete"))),
      up_(Button(this, "ButtonRuleUp", QStringLiteral("Up"))),
      down_(Button(this, "ButtonRuleDown", QStringLiteral("Down"))) {
    setObjectName(QStringLiteral("HighlightRules"));
    list_->setObjectName(QStringLiteral("ListHighlightRules"));
    list_->setMaximumHeight(list_->fontMetrics().lineSpacing() * 5 + 8);
    pattern_->setObjectName(QStringLiteral("EditRulePattern"));
    pattern_->setPlaceholderText(QStringLiteral("Pattern"));
    wholeLine_->setObjectName(QStringLiteral("CheckBoxRuleWholeLine"));
    invalid_->setObjectName(QStringLiteral("LabelRuleInvalid"));
    QPalette red = invalid_->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
    invalid_->setPalette(red);
    invalid_->hide();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Highlight rules (the first that marks wins) :"), this), 0, 0,
                      1, 2);
    layout->addWidget(list_, 1, 0);
    auto* order = new QVBoxLayout;
    for (QPushButton* button : {add_, edit_, delete_, up_, down_})
        order->addWidget(button);
    order->addStretch(1);
    layout->addLayout(order, 1, 1, 2, 1);
    auto* fields = new QHBoxLayout;
    fields->addWidget(pattern_, 1);
    fields->addWidget(color_);
    fields->addWidget(wholeLine_);
    layout->addLayout(fields, 2, 0);
    layout->addWidget(invalid_, 3, 0);

    connect(list_, &QListWidget::currentRowChanged, this, &HighlightRulesEditor::LoadFields);
    connect(pattern_, &QLineEdit::textChanged, this,
            [this](const QString& text) { invalid_->setVisible(!text.isEmpty() && !Compiles(text)); });
    connect(color_, &QPushButton::clicked, this, &HighlightRulesEditor::ChooseColor);
    connect(add_, &QPushButton::clicked, this, &HighlightRulesEditor::Add);
    connect(edit_, &QPushButton::clicked, this, &HighlightRulesEditor::Edit);
    connect(delete_, &QPushButton::clicked, this, &HighlightRulesEditor::Delete);
    connect(up_, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { Move(1); });
    ShowFieldColor(LiteralHighlightRule(QString(), rules_).color);
}

void HighlightRulesEditor::SetRules(const std::vector<HighlightRule>& rules) {
    rules_ = rules;
    ShowRules(rules_.empty() ? -1 : 0);
}

void HighlightRulesEditor::ShowRules(int current) {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const HighlightRule& rule : rules_) {
        auto* item = new QListWidgetItem(Swatch(rule.color), rule.pattern, list_);
        if (rule.wholeLine)
            item->setText(rule.pattern + QStringLiteral("   (whole line)"));
    }
    list_->setCurrentRow(current);
    const bool any = current >= 0;
    for (QPushButton* button : {edit_, delete_, up_, down_})
        button->setEnabled(any);
    if (any)
        LoadFields(current);
}

void HighlightRulesEditor::LoadFields(int row) {
    if (row < 0 || row >= int(rules_.size()))
        return;
    const HighlightRule& rule = rules_[size_t(row)];
    pattern_->setText(rule.pattern);
    wholeLine_->setChecked(rule.wholeLine);
    ShowFieldColor(rule.color);
}

bool HighlightRulesEditor::FieldsRule(HighlightRule* rule) {
    if (!Compiles(pattern_->text())) {
        dialogs_.ShowMessage(DialogService::Icon::Warning, kInvalid);
        return false;
    }
    *rule = {pattern_->text(), fieldColor_, wholeLine_->isChecked()};
    return true;
}

void HighlightRulesEditor::ShowFieldColor(quint32 color) {
    fieldColor_ = color & 0xFFFFFFu;
    color_->setIcon(Swatch(fieldColor_));
}

void HighlightRulesEditor::ChooseColor() {
    QColor color = ColorToQColor(fieldColor_);
    if (dialogs_.ChooseColor(color))
        ShowFieldColor(QColorToColor(color));
}

void HighlightRulesEditor::Add() {
    HighlightRule rule;
    if (!FieldsRule(&rule))
        return;
    rules_.push_back(rule);
    ShowRules(int(rules_.size()) - 1);
}

void HighlightRulesEditor::Edit() {
    const int row = list_->currentRow();
    HighlightRule rule;
    if (row < 0 || !FieldsRule(&rule))
        return;
    rules_[size_t(row)] = rule;
    ShowRules(row);
}

void HighlightRulesEditor::Delete() {
    const int row = list_->currentRow();
    if (row < 0)
        return;
    rules_.erase(rules_.begin() + row);
    ShowRules(std::min(row, int(rules_.size()) - 1));
}

void HighlightRulesEditor::Move(int by) {
    const int row = list_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= int(rules_.size()))
        return;
    std::swap(rules_[size_t(row)], rules_[size_t(to)]);
    ShowRules(to);
}
