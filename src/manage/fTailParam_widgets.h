#pragma once
// The controls of the parameters dialog, named as the program's description names them, and the
// function that builds its four tabs. Qt parent ownership throughout. Window thread only.
#include <QString>

class DialogService;
class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TColorBox;
class HighlightRulesEditor;

struct TailParamWidgets {
    QTabWidget* PageControl = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // "General"
    QCheckBox* CheckBoxUseTHREAD = nullptr;
    QComboBox* ComboBoxThreadPriority = nullptr;
    QCheckBox* CheckBoxAlwaysOnTop = nullptr;
    QCheckBox* CheckBoxMinimizeToTray = nullptr;
    QCheckBox* CheckBoxRemovePathonTaskbar = nullptr;
    QCheckBox* CheckBoxShowRemLineInfo = nullptr;
    QComboBox* ComboBoxFilterBA = nullptr;
    QCheckBox* CheckBoxAlwaysScroll = nullptr;
    QCheckBox* CheckBoxExpandTreeview = nullptr;
    QFrame* PanelSMTP = nullptr;
    QLineEdit* Edit_SMTPServer = nullptr;
    QLineEdit* Edit_SMTPLogin = nullptr;
    QLineEdit* Edit_SMTPPassword = nullptr;
    QLineEdit* Edit_SMTPFrom = nullptr;
    QCheckBox* CheckBox_ShellSendTo = nullptr;
    QCheckBox* CheckBox_ShellAddStart = nullptr;
    QLabel* LabelPathShortCut = nullptr;

    // "Alerts"
    QFrame* PanelStandardAlerts = nullptr;
    QCheckBox* CheckBoxPlayAlertSound = nullptr;
    QLineEdit* EditAlertSoundFile = nullptr;
    QToolButton* SpeedButtonBrowseAlertSound = nullptr;
    QCheckBox* CheckBoxAlertBTF = nullptr;
    QCheckBox* CheckBoxSendAlertEMAIL = nullptr;
    QLineEdit* EditAlerteMAIL = nullptr;
    QToolButton* SpeedButtonTestMail = nullptr;
    QCheckBox* CheckBoxNotifyAlert = nullptr;
    QFrame* PanelFileChangeAlerts = nullptr;
    QCheckBox* CheckBoxFileChangeBTF = nullptr;
    QCheckBox* CheckBoxPlayFileChangeSound = nullptr;
    QCheckBox* CheckBoxPlayFileChangeSoundOnlyIfSince = nullptr;
    QSpinBox* RzSpinEditSince = nullptr;
    QCheckBox* CheckBoxPlayFileChangeSoundOnlyIfMinimized = nullptr;
    QLineEdit* EditFileChangeSoundFile = nullptr;
    QToolButton* SpeedButtonBrowseFileChangeSound = nullptr;
    QCheckBox* CheckBoxNotifyFileChange = nullptr;

    // "Colors"
    QCheckBox* CheckBoxUseAlphaBlend = nullptr;
    QSpinBox* RzSpinEditAlphaBlendValue = nullptr;
    TColorBox* RzColorEdit_TailingDay = nullptr;
    TColorBox* RzColorEdit_TailingNight = nullptr; // hidden, loaded and written
    TColorBox* RzColorEdit_FilterDay = nullptr;
    TColorBox* RzColorEdit_FilterNight = nullptr; // hidden, loaded and written
    TColorBox* RzColorEdit_StopDay = nullptr;
    TColorBox* RzColorEdit_StopNight = nullptr; // hidden, loaded and written
    QCheckBox* CheckBoxSwitchDayColor = nullptr;
    QSpinBox* RzSpinEdit_Day = nullptr;
    QSpinBox* RzSpinEdit_Night = nullptr;
    TColorBox* RzColorEdit_GUIDay = nullptr;
    TColorBox* RzColorEdit_GUINight = nullptr;
    TColorBox* RzColorEdit_GUIFontDay = nullptr;
    TColorBox* RzColorEdit_GUIFontNight = nullptr;
    QPushButton* RzBitBtnFont = nullptr;
    QLabel* LabelFontName = nullptr;
    QCheckBox* CheckBoxColorByLevel = nullptr; // colorlinesbylevel
    HighlightRulesEditor* HighlightRules = nullptr;

    // "About and infos"
    QLabel* ImageProgram = nullptr;
    QPlainTextEdit* MemoCommandLine = nullptr;
    QLabel* LabelCommandLineId = nullptr;
    QFrame* PanelInfo = nullptr;
    QLabel* LabelEngine = nullptr;
    QLabel* LabelVersion = nullptr;
};

// Builds the tabs and the two buttons into dialog; the colour boxes ask dialogs for custom colours.
TailParamWidgets BuildTailParamWidgets(QDialog& dialog, DialogService& dialogs);
