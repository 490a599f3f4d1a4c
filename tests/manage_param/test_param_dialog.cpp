// The parameters dialog opened from the tail window: every parameter through its control into the
// live parameters and the store, Cancel, and the closing question on every way out.
#include <map>
#include <variant>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "manage/param_color_box.h"
#include "param_dialog_fixture.h"
#include "platform/registry_store.h"
#include "platform/settings_paths.h"
#include "settings/store_layout.h"
#include "settings/uParam.h"
#include "util/colors.h"

namespace {

const QString kNoThreadQuestion = QStringLiteral("You choose NOT to use THREAD for tailing. Are you sure ?");

using Stored = std::variant<quint32, QString>;

// What the test puts into the controls, as the store must hold it afterwards.
const std::map<QString, Stored> kEdited = {
    {"minimizetotray", 0u},
    {"removepathontaskbar", 1u},
    {"usealphablend", 1u},
    {"autoexpandtree", 0u},
    {"pathcombofontname", QStringLiteral("DejaVu Serif")},
    {"alphablendvalue", 180u},
    {"usethread", 1u},
    {"threadprio", 6u},
    {"filterBAmode", 3u},
    {"alwaysontop", 1u},
    {"alertbtf", 0u},
    {"playalertsound", 1u},
    {"sendalertemail", 1u},
    {"alertsoundfile", QStringLiteral("/sounds/alert.wav")},
    {"alertemail", QStringLiteral("ops@example.test; night@example.test")},
    {"showremlineinfo", 1u},
    {"alwaysscroll", 1u},
    {"filechangebtf", 0u},
    {"playfilechangesound", 1u},
    {"filechangesoundonlyifsince", 1u},
    {"filechangesoundonlyifsincedelay", 42u},
    {"filechangesoundonlyifminimized", 1u},
    {"filechangesoundfile", QStringLiteral("/sounds/change.mp3")},
    {"smtpserver", QStringLiteral("mail.example.test:2525")},
    {"smtplogin", QStringLiteral("kovra")},
    {"smtpfrom", QStringLiteral("kovra@example.test")},
    {"smtppassword", QStringLiteral("p@ss word!")},
    {"switchdaycolor", 1u},
    {"tailcolor_day", 0x0000FFFFu},     // Yellow
    {"tailcolor_night", 0x00123456u},   // hidden: as loaded
    {"filtercolor_day", 0x00FFFF00u},   // Aqua
    {"filtercolor_night", 0x00ABCDEFu}, // hidden: as loaded
    {"stoppedcolor_day", 0x00563412u},  // custom #123456
    {"stoppedcolor_night", kColorBtnFace},
    {"guifontcolor_day", 0x00800000u},         // Navy
    {"guifontcolor_night", 0x00000080u},       // Maroon
    {"guicolor_day", 0x00C0C0C0u},             // Silver
    {"guicolor_night", kSystemColorFlag | 5u}, // Window
    {"daystartat", 6u},
    {"nightstartat", 22u},
    {"notifyalert", 0u},
    {"notifyfilechange", 1u},
};

void Click(QAbstractButton* button) {
    button->click();
}

void Retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
    ASSERT_EQ(field->text(), text);
}

void EditEveryControl(const TailParamWidgets& w) {
    for (QCheckBox* box :
         {w.CheckBoxUseTHREAD, w.CheckBoxAlwaysOnTop, w.CheckBoxMinimizeToTray, w.CheckBoxRemovePathonTaskbar,
          w.CheckBoxShowRemLineInfo, w.CheckBoxAlwaysScroll, w.CheckBoxExpandTreeview,
          w.CheckBoxPlayAlertSound, w.CheckBoxAlertBTF, w.CheckBoxSendAlertEMAIL, w.CheckBoxNotifyAlert,
          w.CheckBoxFileChangeBTF, w.CheckBoxPlayFileChangeSound, w.CheckBoxPlayFileChangeSoundOnlyIfSince,
          w.CheckBoxPlayFileChangeSoundOnlyIfMinimized, w.CheckBoxNotifyFileChange, w.CheckBoxUseAlphaBlend,
          w.CheckBoxSwitchDayColor}) {
        const bool before = box->isChecked();
        box->click();
        EXPECT_NE(box->isChecked(), before) << box->objectName().toStdString();
    }
    w.ComboBoxThreadPriority->setCurrentIndex(w.ComboBoxThreadPriority->findText("Highest"));
    w.ComboBoxFilterBA->setCurrentIndex(w.ComboBoxFilterBA->findText("show lines before and after"));
    Retype(w.Edit_SMTPServer, "mail.example.test:2525");
    Retype(w.Edit_SMTPLogin, "kovra");
    Retype(w.Edit_SMTPPassword, "p@ss word!");
    Retype(w.Edit_SMTPFrom, "kovra@example.test");
    Retype(w.EditAlerteMAIL, "ops@example.test; night@example.test");
    Click(w.SpeedButtonBrowseAlertSound);
    Click(w.SpeedButtonBrowseFileChangeSound);
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
    Click(w.RzBitBtnFont);
}

} // namespace

TEST_F(ParamDialogTest, EveryParameterGoesThroughItsControlIntoTheLiveParametersAndTheStore) {
    MakeWindow();
    TTailParam& live = Window().Params();
    // The user cannot reach the hidden night boxes: what they loaded is what they write.
    live.tailcolor_night = 0x00123456;
    live.filtercolor_night = 0x00ABCDEF;
    live.stoppedcolor_night = kColorBtnFace;
    dialogs_.QueueFileChoice(QStringLiteral("/sounds/alert.wav"));
    dialogs_.QueueFileChoice(QStringLiteral("/sounds/change.mp3"));
    dialogs_.QueueColorChoice(QColor(0x12, 0x34, 0x56));
    dialogs_.QueueFontChoice(FakeDialogService::FontChoice{QFont(QStringLiteral("DejaVu Serif")), QColor()});

    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("KOVRA - Configuration panel"));
        EXPECT_EQ(w.PageControl->tabText(w.PageControl->currentIndex()), QStringLiteral("General"));
        EXPECT_EQ(w.RzColorEdit_TailingNight->Value(), 0x00123456u);
        EXPECT_FALSE(w.RzColorEdit_TailingNight->isVisible());
        EXPECT_EQ(w.ComboBoxThreadPriority->currentText(), QStringLiteral("priority Normal"));
        EXPECT_EQ(w.LabelFontName->text(), QStringLiteral("MS Sans Serif"));
        EditEveryControl(w);
        Click(w.ButtonOK);
    });
    EXPECT_EQ(dialogs_.FileFilters(),
              QStringList(2, QStringLiteral("Sound WAV|*.wav|MP3 File|*.mp3|All|*.*")));
    ASSERT_EQ(dialogs_.FontPresets().size(), 1u);
    EXPECT_EQ(dialogs_.FontPresets().front().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_TRUE(dialogs_.Texts().isEmpty()) << "the thread box is checked: no question";
    // The setters acted on the window at once.
    EXPECT_NEAR(Window().windowOpacity(), 180 / 255.0, 0.01);

    RegistryStore store(RegistryFilePath());
    ASSERT_TRUE(store.Load());
    const RegistryKey* key = store.OpenKeyReadOnly(GlobalKeyPath());
    ASSERT_NE(key, nullptr) << "OK stores the parameters";
    for (const auto& [name, value] : kEdited) {
        if (const auto* text = std::get_if<QString>(&value)) {
            const QString stored = key->ReadString(name).value_or(QStringLiteral("<missing>"));
            EXPECT_EQ(name == "smtppassword" ? TTailParam::UnscramblePassword(stored) : stored, *text)
                << name.toStdString();
            if (name == "smtppassword") {
                EXPECT_NE(stored, *text) << "stored scrambled";
            }
        } else {
            EXPECT_EQ(key->ReadInteger(name), std::optional(std::get<quint32>(value))) << name.toStdString();
        }
    }
    EXPECT_EQ(key->ValueNames().size(), qsizetype(kEdited.size())) << "every value, no other";

    // Opening again shows what was stored.
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_EQ(w.ComboBoxThreadPriority->currentText(), QStringLiteral("Highest"));
        EXPECT_EQ(w.ComboBoxFilterBA->currentText(), QStringLiteral("show lines before and after"));
        EXPECT_EQ(w.Edit_SMTPPassword->text(), QStringLiteral("p@ss word!"));
        EXPECT_EQ(w.RzColorEdit_StopDay->Value(), 0x00563412u);
        EXPECT_EQ(w.RzColorEdit_GUINight->currentText(), QStringLiteral("Window"));
        EXPECT_EQ(w.RzSpinEditSince->value(), 42);
        EXPECT_EQ(w.LabelFontName->text(), QStringLiteral("DejaVu Serif"));
        EXPECT_FALSE(w.CheckBoxMinimizeToTray->isChecked());
        EXPECT_TRUE(w.CheckBoxNotifyFileChange->isChecked());
        Click(w.ButtonCancel);
    });
}

TEST_F(ParamDialogTest, CancelWritesNothingAndEveryWayOutAsksWithoutTheThread) {
    MakeWindow();
    TTailParam& live = Window().Params();
    live.usethread = true;
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        Retype(w.EditAlerteMAIL, "ops@example.test");
        Click(w.CheckBoxAlertBTF);
        PickColor(w.RzColorEdit_TailingDay, "Red");
        Click(w.ButtonCancel);
    });
    EXPECT_TRUE(live.alertemail.isEmpty());
    EXPECT_TRUE(live.alertbtf);
    EXPECT_EQ(live.tailcolor_day, 0x00F0FFF0u);
    EXPECT_TRUE(dialogs_.Texts().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(RegistryFilePath())) << "Cancel stores nothing";

    // OK writes before it asks: No keeps the dialog open with the values already in the live
    // parameters; the Cancel that follows asks again and stores nothing.
    live.usethread = false;
    dialogs_.QueueAnswer(false);
    dialogs_.QueueAnswer(true);
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        Retype(w.EditAlerteMAIL, "night@example.test");
        Click(w.ButtonOK);
        EXPECT_TRUE(dialog.isVisible()) << "No keeps the dialog open";
        EXPECT_EQ(live.alertemail, QStringLiteral("night@example.test"));
        Click(w.ButtonCancel);
    });
    EXPECT_EQ(live.alertemail, QStringLiteral("night@example.test"));
    EXPECT_FALSE(QFileInfo::exists(RegistryFilePath())) << "ended by Cancel: nothing stored";

    // The window's close button asks too.
    dialogs_.QueueAnswer(false);
    dialogs_.QueueAnswer(true);
    OpenParameters([&](TFormTailParam& dialog) {
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        dialog.close();
    });
    ASSERT_EQ(dialogs_.AllShown().size(), 4u);
    for (const FakeDialogService::Shown& shown : dialogs_.AllShown()) {
        EXPECT_EQ(shown.kind, FakeDialogService::Kind::Question);
        EXPECT_EQ(shown.icon, DialogService::Icon::Warning);
        EXPECT_EQ(shown.text, kNoThreadQuestion);
    }
    EXPECT_FALSE(QFileInfo::exists(RegistryFilePath()));
}

TEST_F(ParamDialogTest, InformationTabShowsTheCommandLineItsIdentityAndTheVersions) {
    MakeWindow(kTrueColor, {QStringLiteral("/opt/kovra/kovra"), QStringLiteral("/start"),
                            QStringLiteral("/var/log/a very long folder name/app.log")});
    Window().Params().usethread = true;
    Window().Params().Identity = 0x00A1B2C3;
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_EQ(w.MemoCommandLine->toPlainText(), Window().Params().CommandLine);
        EXPECT_TRUE(Window().Params().CommandLine.contains(QStringLiteral("a very long folder name")));
        EXPECT_EQ(w.LabelCommandLineId->text(), QStringLiteral("$00A1B2C3"));
        EXPECT_TRUE(w.LabelEngine->text().startsWith(QStringLiteral("Kovra is using PCRE2 v")));
        EXPECT_TRUE(w.LabelVersion->text().startsWith(QStringLiteral("version ")));
        QStringList tabs;
        for (int i = 0; i < w.PageControl->count(); ++i)
            tabs << w.PageControl->tabText(i);
        EXPECT_EQ(tabs, (QStringList{"General", "Alerts", "Colors", "About and infos"}));
        Click(w.ButtonCancel);
    });
}
