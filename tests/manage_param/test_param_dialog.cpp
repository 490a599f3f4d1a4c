// The parameters dialog opened from the tail window: every parameter through its control into the
// live parameters and the store, Cancel, and the closing question.
#include <map>
#include <variant>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "manage/highlight_rules_editor.h"
#include "manage/param_color_box.h"
#include "param_dialog_fixture.h"
#include "platform/registry_store.h"
#include "platform/settings_paths.h"
#include "settings/highlight_rules.h"
#include "settings/store_layout.h"
#include "settings/uParam.h"
#include "util/colors.h"
#include "window_parts/wait_until.h"

namespace {

using Stored = std::variant<quint32, QString>;

// What EditEveryControl puts into the controls, as the store must hold it afterwards. The hidden
// night colours of tailing, filter and stopped keep what the test set before opening.
// clang-format off
const std::map<QString, Stored> kEdited = {
    {"minimizetotray", 0u}, {"removepathontaskbar", 1u}, {"usealphablend", 1u}, {"autoexpandtree", 0u},
    {"pathcombofontname", QStringLiteral("DejaVu Serif")}, {"alphablendvalue", 180u}, {"usethread", 1u},
    {"threadprio", 6u}, {"filterBAmode", 3u}, {"alwaysontop", 1u}, {"alertbtf", 0u}, {"playalertsound", 1u},
    {"sendalertemail", 1u}, {"alertsoundfile", QStringLiteral("/sounds/alert.wav")},
    {"alertemail", QStringLiteral("ops@example.test")}, {"showremlineinfo", 1u}, {"alwaysscroll", 1u},
    {"filechangebtf", 0u}, {"playfilechangesound", 1u}, {"filechangesoundonlyifsince", 1u},
    {"filechangesoundonlyifsincedelay", 42u}, {"filechangesoundonlyifminimized", 1u},
    {"filechangesoundfile", QStringLiteral("/sounds/change.mp3")},
    {"smtpserver", QStringLiteral("mail.example.test:2525")}, {"smtplogin", QStringLiteral("kovra")},
    {"smtpfrom", QStringLiteral("kovra@example.test")}, {"smtppassword", QStringLiteral("p@ss word!")},
    {"switchdaycolor", 1u}, {"tailcolor_day", 0x0000FFFFu}, {"tailcolor_night", 0x00123456u},
    {"filtercolor_day", 0x00FFFF00u}, {"filtercolor_night", 0x00ABCDEFu}, {"stoppedcolor_day", 0x00563412u},
    {"stoppedcolor_night", kColorBtnFace}, {"guifontcolor_day", 0x00800000u},
    {"guifontcolor_night", 0x00000080u}, {"guicolor_day", 0x00C0C0C0u}, {"guicolor_night", kSystemColorFlag | 5u},
    {"daystartat", 6u}, {"nightstartat", 22u}, {"notifyalert", 0u}, {"notifyfilechange", 1u},
    {"colorlinesbylevel", 0u}};
// clang-format on

void Retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

void EditEveryControl(const TailParamWidgets& w) {
    for (QCheckBox* box :
         {w.CheckBoxUseTHREAD, w.CheckBoxAlwaysOnTop, w.CheckBoxMinimizeToTray, w.CheckBoxRemovePathonTaskbar,
          w.CheckBoxShowRemLineInfo, w.CheckBoxAlwaysScroll, w.CheckBoxExpandTreeview,
          w.CheckBoxPlayAlertSound, w.CheckBoxAlertBTF, w.CheckBoxSendAlertEMAIL, w.CheckBoxNotifyAlert,
          w.CheckBoxFileChangeBTF, w.CheckBoxPlayFileChangeSound, w.CheckBoxPlayFileChangeSoundOnlyIfSince,
          w.CheckBoxPlayFileChangeSoundOnlyIfMinimized, w.CheckBoxNotifyFileChange, w.CheckBoxUseAlphaBlend,
          w.CheckBoxSwitchDayColor, w.CheckBoxColorByLevel})
        box->click();
    w.ComboBoxThreadPriority->setCurrentIndex(w.ComboBoxThreadPriority->findText("Highest"));
    w.ComboBoxFilterBA->setCurrentIndex(w.ComboBoxFilterBA->findText("show lines before and after"));
    Retype(w.Edit_SMTPServer, "mail.example.test:2525");
    Retype(w.Edit_SMTPLogin, "kovra");
    Retype(w.Edit_SMTPPassword, "p@ss word!");
    Retype(w.Edit_SMTPFrom, "kovra@example.test");
    Retype(w.EditAlerteMAIL, "ops@example.test");
    w.SpeedButtonBrowseAlertSound->click();
    w.SpeedButtonBrowseFileChangeSound->click();
    w.RzSpinEditSince->setValue(42);
    w.RzSpinEditAlphaBlendValue->setValue(180);
    w.RzSpinEdit_Day->setValue(6);
    w.RzSpinEdit_Night->setValue(22);
    PickColor(w.RzColorEdit_TailingDay, "Yellow");
    PickColor(w.RzColorEdit_FilterDay, "Aqua");
    PickCustomColor(w.RzColorEdit_StopDay);
    PickColor(w.RzColorEdit_GUIDay, "Silver");
    PickColor(w.RzColorEdit_GUINight, "Window");
    PickColor(w.RzColorEdit_GUIFontDay, "Navy");
    PickColor(w.RzColorEdit_GUIFontNight, "Maroon");
    w.RzBitBtnFont->click();
}

TEST_F(ParamDialogTest, EveryParameterGoesThroughItsControlIntoTheLiveParametersAndTheStore) {
    MakeWindow();
    TTailParam& live = Window().Params();
    live.tailcolor_night = 0x00123456;
    live.filtercolor_night = 0x00ABCDEF;
    live.stoppedcolor_night = kColorBtnFace;
    live.Identity = 0x00A1B2C3;
    live.CommandLine = QStringLiteral("/usr/bin/kovra /start \"/f=(ERROR|WARN)\" ") +
                       QStringLiteral("/srv/app/logs/x").repeated(40);
    dialogs_.QueueFileChoice(QStringLiteral("/sounds/alert.wav"));
    dialogs_.QueueFileChoice(QStringLiteral("/sounds/change.mp3"));
    dialogs_.QueueColorChoice(QColor(0x12, 0x34, 0x56));
    dialogs_.QueueFontChoice(FakeDialogService::FontChoice{QFont(QStringLiteral("DejaVu Serif")), QColor()});
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_EQ(w.LabelCommandLineId->text(), QStringLiteral("$00A1B2C3"));
        w.PageControl->setCurrentIndex(3);
        EXPECT_TRUE(WaitUntil([&] { return w.MemoCommandLine->isVisible(); }));
        EXPECT_EQ(w.MemoCommandLine->verticalScrollBar()->maximum(), 0) << "the command line is shown whole";
        w.PageControl->setCurrentIndex(0);
        EditEveryControl(w);
        w.ButtonOK->click();
    });
    EXPECT_EQ(dialogs_.FileFilters(),
              QStringList(2, QStringLiteral("Sound WAV|*.wav|MP3 File|*.mp3|All|*.*")));
    ASSERT_EQ(dialogs_.FontPresets().size(), 1u);
    EXPECT_EQ(dialogs_.FontPresets().front().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_TRUE(dialogs_.Texts().isEmpty()) << "the thread box is checked: no question";
    EXPECT_NEAR(Window().windowOpacity(), 180 / 255.0, 0.01) << "the setters act on the window at once";
    EXPECT_EQ(live.smtppassword, QStringLiteral("p@ss word!"));
    EXPECT_EQ(live.stoppedcolor_day, 0x00563412u);

    RegistryStore store(RegistryFilePath());
    ASSERT_TRUE(store.Load());
    const RegistryKey* key = store.OpenKeyReadOnly(GlobalKeyPath());
    ASSERT_NE(key, nullptr) << "OK stores the parameters";
    EXPECT_EQ(key->ValueNames().size(), qsizetype(kEdited.size()));
    for (const auto& [name, value] : kEdited) {
        if (const auto* text = std::get_if<QString>(&value)) {
            const QString stored = key->ReadString(name).value_or(QStringLiteral("<missing>"));
            EXPECT_EQ(name == "smtppassword" ? TTailParam::UnscramblePassword(stored) : stored, *text)
                << name.toStdString();
        } else {
            EXPECT_EQ(key->ReadInteger(name), std::optional(std::get<quint32>(value))) << name.toStdString();
        }
    }
    // Opening again shows what was stored.
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_EQ(w.ComboBoxThreadPriority->currentText(), QStringLiteral("Highest"));
        EXPECT_EQ(w.RzColorEdit_GUINight->currentText(), QStringLiteral("Window"));
        EXPECT_EQ(w.LabelFontName->text(), QStringLiteral("DejaVu Serif"));
        EXPECT_FALSE(w.CheckBoxMinimizeToTray->isChecked());
        w.ButtonCancel->click();
    });
}

TEST_F(ParamDialogTest, CancelWritesNothingAndEveryWayOutAsksWithoutTheThread) {
    MakeWindow();
    TTailParam& live = Window().Params();
    live.usethread = true;
    OpenParameters([&](TFormTailParam& dialog) {
        Retype(dialog.Widgets().EditAlerteMAIL, "ops@example.test");
        dialog.Widgets().CheckBoxAlertBTF->click();
        dialog.Widgets().ButtonCancel->click();
    });
    EXPECT_TRUE(live.alertemail.isEmpty());
    EXPECT_TRUE(live.alertbtf);

    // OK writes before it asks: No keeps the dialog open with the values in the live parameters;
    // the Cancel that follows asks again, and nothing is stored.
    live.usethread = false;
    for (const bool answer : {false, true, false, true})
        dialogs_.QueueAnswer(answer);
    OpenParameters([&](TFormTailParam& dialog) {
        Retype(dialog.Widgets().EditAlerteMAIL, "night@example.test");
        dialog.Widgets().ButtonOK->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(live.alertemail, QStringLiteral("night@example.test"));
        dialog.Widgets().ButtonCancel->click();
    });
    OpenParameters([&](TFormTailParam& dialog) { // the window's close button
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        dialog.close();
    });
    EXPECT_EQ(live.alertemail, QStringLiteral("night@example.test"));
    EXPECT_FALSE(QFileInfo::exists(RegistryFilePath())) << "nothing stored";
    EXPECT_EQ(dialogs_.Texts(), QStringList(4, "You choose NOT to use THREAD for tailing. Are you sure ?"));
    EXPECT_EQ(dialogs_.AllShown().front().icon, DialogService::Icon::Warning);
}

} // namespace

namespace {

TEST_F(ParamDialogTest, TheColorsTabEditsTheHighlightRulesInOrderAndOkStoresThemInTheIniFile) {
    MakeWindow();
    dialogs_.QueueColorChoice(QColor(0x10, 0x20, 0x30));
    dialogs_.QueueAnswer(true); // the passes run on the window thread here: each closing asks
    dialogs_.QueueAnswer(true);
    OpenParameters([&](TFormTailParam& dialog) {
        HighlightRulesEditor& rules = *dialog.Widgets().HighlightRules;
        EXPECT_TRUE(dialog.Widgets().CheckBoxColorByLevel->isChecked()) << "on by default";
        Retype(rules.PatternField(), QStringLiteral("req-(\\d+"));
        EXPECT_FALSE(rules.InvalidLabel()->isHidden());
        rules.AddButton()->click();
        EXPECT_EQ(dialogs_.Texts(), QStringList{QStringLiteral("Invalid expression")});
        EXPECT_EQ(dialogs_.AllShown().back().icon, DialogService::Icon::Warning);
        EXPECT_TRUE(rules.Rules().empty());
        Retype(rules.PatternField(), QStringLiteral("req-\\d+"));
        EXPECT_TRUE(rules.InvalidLabel()->isHidden());
        rules.ColorButton()->click(); // the colour chooser answers 10 20 30
        rules.AddButton()->click();
        Retype(rules.PatternField(), QStringLiteral("host=web1"));
        rules.WholeLine()->setChecked(true);
        rules.AddButton()->click();
        rules.UpButton()->click(); // host=web1 first
        ASSERT_EQ(rules.Rules().size(), 2u);
        EXPECT_EQ(rules.Rules()[0].pattern, QStringLiteral("host=web1"));
        EXPECT_EQ(rules.List()->currentRow(), 0);
        // Selecting a rule shows it in the fields; Edit writes them back.
        rules.List()->setCurrentRow(1);
        EXPECT_EQ(rules.PatternField()->text(), QStringLiteral("req-\\d+"));
        EXPECT_FALSE(rules.WholeLine()->isChecked());
        Retype(rules.PatternField(), QStringLiteral("req-\\d{2,}"));
        rules.EditButton()->click();
        rules.DownButton()->click(); // the last stays last
        Retype(rules.PatternField(), QStringLiteral("temporary"));
        rules.AddButton()->click();
        rules.DeleteButton()->click();
        dialog.Widgets().ButtonOK->click();
    });
    const std::vector<HighlightRule> expected{{QStringLiteral("host=web1"), 0x00302010u, true},
                                              {QStringLiteral("req-\\d{2,}"), 0x00302010u, false}};
    EXPECT_EQ(Window().Params().highlightRules, expected);
    EXPECT_EQ(LoadHighlightRules(), expected) << "OK stores them";

    // Cancel keeps the stored rules; opening again shows them.
    OpenParameters([&](TFormTailParam& dialog) {
        HighlightRulesEditor& rules = *dialog.Widgets().HighlightRules;
        EXPECT_EQ(rules.List()->count(), 2);
        EXPECT_EQ(rules.List()->item(0)->text(), QStringLiteral("host=web1   (whole line)"));
        rules.DeleteButton()->click();
        dialog.Widgets().ButtonCancel->click();
    });
    EXPECT_EQ(LoadHighlightRules(), expected);
}

} // namespace
