#pragma once
// FindBar: the bar under a tail view that searches it: a text field, "Match case", "Regular
// expression", previous and next buttons, the "k of n" count and a close button. Enter and F3 go
// to the next match, Shift+Enter and Shift+F3 to the previous one, Escape closes the bar. The
// search itself is a ViewFind the bar owns; the tail goes on while the bar is open.
//
// InstallFindBar puts a hidden bar into the window's layout under the view and gives the window
// the Find action (Ctrl+F) and the F3 and Shift+F3 shortcuts. Qt parent ownership throughout.
#include <QWidget>

#include "widgets/find_count.h"

class QAction;
class QBoxLayout;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class TailView;
class ViewFind;

class FindBar final : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(TailView& view, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(FindBar)

    // Shows the bar with the view's selection (one line of it) or the last text, selected.
    void Open();
    // Hides the bar, drops the marks and gives the focus back to the view.
    void Close();
    void FindNext();
    void FindPrevious();

    ViewFind& Find() { return *find_; }
    QLineEdit& Field() { return *field_; }
    QCheckBox& MatchCase() { return *matchCase_; }
    QCheckBox& RegularExpression() { return *regex_; }
    QString CountText() const;
    // The field shows that the regular expression does not compile.
    bool ShowsInvalid() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override; // Escape from the check boxes and buttons

private:
    void QueryChanged();
    void ShowState();

    TailView& view_;
    ViewFind* find_;
    QLineEdit* field_;
    QCheckBox* matchCase_;
    QCheckBox* regex_;
    QToolButton* previous_;
    QToolButton* next_;
    QLabel* count_;
    QTimer* progress_;       // shows how far a long count is
    FindQuery countedQuery_; // the query the count shown was made for
};

// Adds a hidden find bar under `view` in `layout` (whose widget becomes the bar's parent) and the
// actions Find (Ctrl+F, returned for a menu), find next (F3) and previous (Shift+F3) to that
// widget, working while the focus is anywhere inside it.
struct InstalledFind {
    FindBar* bar = nullptr;
    QAction* findAction = nullptr;
};
InstalledFind InstallFindBar(TailView& view, QBoxLayout& layout);
