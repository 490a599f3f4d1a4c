#pragma once
// The highlight rules of the parameters dialog's Colors tab: the ordered list, a pattern field, a
// colour button (the colour chooser of the dialog interface), "Whole line", and Add, Edit, Delete,
// Up and Down. Add and Edit take the fields; a pattern that does not compile as the filter's would
// is refused with "Invalid expression" (a warning box, and the label beside the field while it is
// typed). The list is the dialog's copy: the dialog reads it back on OK. Qt parent ownership;
// window thread only.
#include <vector>

#include <QWidget>

#include "settings/highlight_rules.h"

class DialogService;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class HighlightRulesEditor final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HighlightRulesEditor)

public:
    HighlightRulesEditor(DialogService& dialogs, QWidget* parent = nullptr);

    void SetRules(const std::vector<HighlightRule>& rules);
    const std::vector<HighlightRule>& Rules() const { return rules_; }

    QListWidget* List() const { return list_; }
    QLineEdit* PatternField() const { return pattern_; }
    QPushButton* ColorButton() const { return color_; }
    QCheckBox* WholeLine() const { return wholeLine_; }
    QLabel* InvalidLabel() const { return invalid_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* UpButton() const { return up_; }
    QPushButton* DownButton() const { return down_; }
    quint32 FieldColor() const { return fieldColor_; }

private:
    void ShowRules(int current);
    void LoadFields(int row);
    bool FieldsRule(HighlightRule* rule); // false (and the warning) for a bad pattern
    void ShowFieldColor(quint32 color);
    void ChooseColor();
    void Add();
    void Edit();
    void Delete();
    void Move(int by);

    DialogService& dialogs_;
    std::vector<HighlightRule> rules_;
    quint32 fieldColor_ = 0;
    QListWidget* list_;
    QLineEdit* pattern_;
    QPushButton* color_;
    QCheckBox* wholeLine_;
    QLabel* invalid_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* delete_;
    QPushButton* up_;
    QPushButton* down_;
};
