#pragma once
// The controls of the tail window, created by BuildTailWidgets and owned by their Qt parents
// (the window). Positions inside the top panel are absolute, placed by PlaceTailWidgets
// (tail_layout.cpp) when the window is resized or the state changes: while running the file-name
// row reaches into the option panel's first row, stopped it runs to the top panel's end.
#include <QString>

class QAction;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QSpinBox;
class QToolButton;
class QWidget;
class ClickableLabel;
class FileNamePanel;
class StatusPane;
class TailView;

struct TailWidgets {
    // Top panel and its rows.
    QFrame* RzPanel1 = nullptr;
    ClickableLabel* Label1 = nullptr;
    QToolButton* SpeedButtonBrowse = nullptr;
    QToolButton* SpeedButtonAddManager = nullptr;
    QLineEdit* EditComboBox = nullptr;
    FileNamePanel* RzPanelEditFN = nullptr;
    QPushButton* RzBitBtnOpenTree = nullptr;
    QCheckBox* CheckBoxFilter = nullptr;
    ClickableLabel* RzLabelFilter = nullptr;
    QComboBox* RzComboBoxFilter = nullptr;
    QSpinBox* RzSpinEditFilterHistory = nullptr;
    QLabel* ImageAlarm = nullptr;
    QCheckBox* CheckBoxAlert = nullptr;
    ClickableLabel* RzLabelAlert = nullptr;
    QComboBox* RzComboBoxAlarm = nullptr;

    // Option panel, visible while running.
    QFrame* PanelCB = nullptr;
    QLabel* LabelBufKo = nullptr;
    QSpinBox* RzSpinEditBufKo = nullptr;
    QCheckBox* CheckBoxAutoOffset = nullptr;
    QSpinBox* RzSpinEditOffset = nullptr;
    QCheckBox* CheckBoxReverseDNS = nullptr;
    QCheckBox* CheckBoxCompactSpace = nullptr;
    QCheckBox* CheckBoxWrap = nullptr;
    QCheckBox* CheckBoxTabs = nullptr;
    QSpinBox* RzSpinEditTab = nullptr;

    // Right column.
    QPushButton* RzBitBtnStart = nullptr;
    QPushButton* RzBitBtnStop = nullptr;
    QCheckBox* CheckBox_Top = nullptr;
    QToolButton* SpeedButtonNotePad = nullptr;
    QToolButton* SpeedButtonPrint = nullptr;
    QToolButton* SpeedButtonManager = nullptr;
    QToolButton* SpeedButtonControlPanel = nullptr;

    // View area.
    QFrame* RzPanel2 = nullptr;
    ClickableLabel* LabelFn = nullptr;
    QToolButton* SpeedButtonClear = nullptr;
    TailView* MemoTail = nullptr;
    // Holds MemoTail and, under it, the find bar (hidden until Ctrl+F).
    QWidget* ViewBox = nullptr;
    QBoxLayout* ViewBoxLayout = nullptr;
    QLabel* ImageIndicator = nullptr; // shows ImageBottom or ImageMiddle

    // Status bar.
    QFrame* RzStatusBar1 = nullptr;
    StatusPane* RzStatusPanesSTATE = nullptr;
    StatusPane* RzStatusPaneTime = nullptr;
    StatusPane* RzStatusPaneFile = nullptr;
    StatusPane* RzStatusPaneINFO = nullptr;
    StatusPane* RzStatusPaneRDNS = nullptr;

    // Menus.
    QMenu* PopupMenuTAILMemo = nullptr;
    QAction* ItemCompactLine = nullptr;
    QAction* TraceRT1 = nullptr;
    QAction* Ping1 = nullptr;
    QAction* OpenURL1 = nullptr;
    QAction* Sendamail1 = nullptr;
    QAction* Addtofilter1 = nullptr;
    QAction* Addtoalert1 = nullptr;
    QAction* CopyView = nullptr;
    QAction* SelectAllView = nullptr;
    QMenu* PopupMenuAction = nullptr;
    QAction* ActionOpenwithNotePad = nullptr;
    QAction* ActionOpenwithShell = nullptr;
    QAction* ActionOpenwithUser = nullptr;
};

// Creates every control with its caption, hint, range and initial value.
TailWidgets BuildTailWidgets(QMainWindow* window);

// Geometry of the window's parts for its current size; running chooses the started layout.
void PlaceTailWidgets(const TailWidgets& w, QWidget* central, bool running);
// The bottom indicator over the view's corner; again whenever the view's size changes.
void PlaceBottomIndicator(const TailWidgets& w);
