#pragma once
// The controls of the file manager dialog, created by BuildFileManagerWidgets and owned by their
// Qt parents (the dialog). Each control's object name is its name in the dialog's description
// (CheckBoxCompactLine, RzSpinEditBufDef, ...), so tests find it by that name.
class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

// The settings both kinds of definition have, as one tab shows them.
struct DefinitionControls {
    QCheckBox* killLine = nullptr;
    QCheckBox* killSpace = nullptr;
    QCheckBox* wordWrap = nullptr;
    QCheckBox* newLineOnly = nullptr;
    QCheckBox* keepWindowSize = nullptr;
    QCheckBox* useTabs = nullptr;
    QSpinBox* tabs = nullptr;
    QPushButton* font = nullptr;
    QLabel* fontName = nullptr;
    QCheckBox* autoOffset = nullptr;
    QSpinBox* buffer = nullptr;
    QSpinBox* refreshRate = nullptr;
    QCheckBox* autoTimer = nullptr;
    QComboBox* readMethod = nullptr;
    QLineEdit* userCmd = nullptr;
};

struct FileManagerWidgets {
    QTabWidget* tabs = nullptr;

    // Tab "File Manager".
    QLabel* listHeader = nullptr;
    QListWidget* RzCheckList1 = nullptr;
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;
    QPushButton* newButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QLabel* selectedHeader = nullptr;
    QFrame* selectedPanel = nullptr;
    DefinitionControls entry;
    QLabel* LabelWindowSize = nullptr;
    QSpinBox* RzSpinEditLevel = nullptr;
    QLineEdit* EditAlias = nullptr;
    QLineEdit* EditName = nullptr;
    QToolButton* SpeedButtonBrowse = nullptr;
    QToolButton* SpeedButtonBrowseCmd = nullptr;

    // Tab "Default Manager parameters".
    QFrame* defaultPanel = nullptr;
    DefinitionControls def;
    QLineEdit* EditNameDef = nullptr;
    QLabel* iniFileName = nullptr;
    QToolButton* openIniFolder = nullptr;

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

FileManagerWidgets BuildFileManagerWidgets(QDialog* dialog);

// The ranges the number boxes offer. A hand-edited value outside one is shown as it is: the box
// then widens its range to hold it.
struct SpinRange {
    int minimum;
    int maximum;
};
inline constexpr SpinRange kTabsRange{5, 200};
inline constexpr SpinRange kBufferRange{1, 1000000};
inline constexpr SpinRange kRefreshRange{1, 120};

// Index i of the "File sorting :" boxes stands for ReadMethod i + 1.
inline constexpr const char* kReadMethodNames[3] = {"asc. alpha", "asc. fileage", "asc. creation"};
