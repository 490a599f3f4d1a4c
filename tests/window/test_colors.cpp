// The tail window's colours by day and by night and on a display of few colours, and the alarm
// picture next to the alert box.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTime>

#include "settings/uList.h"
#include "settings/uParam.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

constexpr quint32 kStopped = 0x00C0C0FF;
constexpr quint32 kFont = 0x00102030; // the definition's font colour
constexpr quint32 kGuiDay = 0x00405060;
constexpr quint32 kGuiNight = 0x00203040;
constexpr quint32 kGuiFontDay = 0x00E0F0F0;
constexpr quint32 kGuiFontNight = 0x0000FFFF;

class TailWindowColors : public TailWindowTest {
protected:
    void SetColors(bool switchDayColor, bool dayHours) {
        TTailParam& p = Window().Params();
        p.switchdaycolor = switchDayColor;
        // [0, 24) holds every hour; an empty range none.
        p.daystartat = 0;
        p.nightstartat = dayHours ? 24 : 0;
        p.stoppedcolor_day = kStopped;
        p.guicolor_day = kGuiDay;
        p.guicolor_night = kGuiNight;
        p.guifontcolor_day = kGuiFontDay;
        p.guifontcolor_night = kGuiFontNight;
        Window().Manager().List->DefFile->FontColor = QString::number(kFont);
    }
};

TEST_F(TailWindowColors, DayAndNightHoursBoundTheDay) {
    MakeWindow();
    TTailParam& p = Window().Params();
    struct Case {
        int dayStart, nightStart;
        bool day;
    };
    const auto mismatches = [&](int h) {
        const Case cases[] = {
            {h, h + 1, true},   // the day starts at its hour
            {0, h, false},      // the night starts at its hour
            {h + 1, 24, false}, // not yet day
            {h, h, false},      // equal: never day
            {h + 1, h, false},  // start after end: never day
            {0, 24, true},
        };
        QStringList wrong;
        for (const Case& c : cases) {
            p.daystartat = c.dayStart;
            p.nightstartat = c.nightStart;
            if (Window().IsDayTime() != c.day)
                wrong << QStringLiteral("%1..%2 at %3").arg(c.dayStart).arg(c.nightStart).arg(h);
        }
        return wrong;
    };
    int hour = QTime::currentTime().hour();
    QStringList wrong = mismatches(hour);
    if (QTime::currentTime().hour() != hour) // the hour turned meanwhile: once more
        wrong = mismatches(hour = QTime::currentTime().hour());
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QStringLiteral(", ")).toStdString();
}

TEST_F(TailWindowColors, ViewFollowsDayColorsAndWindowFollowsTheClockAlone) {
    struct Case {
        const char* name;
        bool switchDayColor;
        bool dayHours;
        bool viewDayArrangement;
        bool windowDayColors;
    };
    const Case cases[] = {
        {"switch on, day", true, true, true, true},
        {"switch on, night", true, false, false, false},
        {"switch off, night", false, false, true, false},
        {"switch off, day", false, true, true, true},
    };
    MakeWindow();
    const QPalette system = QApplication::palette();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetColors(c.switchDayColor, c.dayHours);
        Window().ApplyColors();
        EXPECT_EQ(Window().UseDayColors(), c.viewDayArrangement);

        const QPalette view = Ui().MemoTail->palette();
        EXPECT_EQ(view.color(QPalette::Base), StoredColor(c.viewDayArrangement ? kStopped : kFont));
        EXPECT_EQ(view.color(QPalette::Text), StoredColor(c.viewDayArrangement ? kFont : kStopped));

        const QColor back = StoredColor(c.windowDayColors ? kGuiDay : kGuiNight);
        const QColor fore = StoredColor(c.windowDayColors ? kGuiFontDay : kGuiFontNight);
        EXPECT_EQ(Window().centralWidget()->palette().color(QPalette::Window), back);
        for (QWidget* widget : std::initializer_list<QWidget*>{Ui().LabelFn, Ui().RzLabelFilter,
                                                               Ui().RzLabelAlert, Ui().RzStatusBar1}) {
            EXPECT_EQ(widget->palette().color(QPalette::Window), back) << widget->metaObject()->className();
            EXPECT_EQ(widget->palette().color(QPalette::WindowText), fore)
                << widget->metaObject()->className();
        }
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 Ui().RzComboBoxFilter, Ui().RzComboBoxAlarm, Ui().RzSpinEditBufKo, Ui().RzSpinEditOffset,
                 Ui().RzSpinEditTab, Ui().RzSpinEditFilterHistory}) {
            EXPECT_EQ(widget->palette().color(QPalette::Base), back) << widget->metaObject()->className();
            EXPECT_EQ(widget->palette().color(QPalette::Text), fore) << widget->metaObject()->className();
        }
        EXPECT_EQ(Ui().RzPanel2->palette().color(QPalette::Window), back);
        // The file-name edit keeps the system's colours.
        EXPECT_EQ(Ui().EditComboBox->palette().color(QPalette::Base), system.color(QPalette::Base));
        EXPECT_EQ(Ui().EditComboBox->palette().color(QPalette::Text), system.color(QPalette::Text));
        // Panels are tinted, not the indicators of check boxes nor the faces of buttons: a dark
        // window colour leaves check marks readable.
        for (QWidget* widget : std::initializer_list<QWidget*>{Ui().CheckBoxFilter, Ui().CheckBoxWrap,
                                                               Ui().CheckBox_Top, Ui().RzBitBtnStart}) {
            for (QPalette::ColorRole role :
                 {QPalette::Base, QPalette::Text, QPalette::Button, QPalette::ButtonText})
                EXPECT_EQ(widget->palette().color(role), system.color(role))
                    << widget->metaObject()->className();
        }
        EXPECT_EQ(Ui().RzStatusPaneFile->palette().color(QPalette::WindowText), fore)
            << "navy cannot be read on a dark bar";
        // The tagged top panel shows the window colour lightened by 16 on each channel.
        const QColor tint(back.red() + 16, back.green() + 16, back.blue() + 16);
        EXPECT_EQ(Ui().RzPanel1->palette().color(QPalette::Window), tint);
    }
}

TEST_F(TailWindowColors, FilePaneWritesInNavyOnALightBar) {
    MakeWindow();
    SetColors(false, true);
    Window().Params().guicolor_day = 0x00F0F0F0;
    Window().ApplyColors();
    EXPECT_EQ(Ui().RzStatusPaneFile->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(Ui().RzStatusPaneFile->palette().color(QPalette::Window), QColor(0xF0, 0xF0, 0xF0));
}

TEST_F(TailWindowColors, FewColoursWhitenTheViewAndLeaveTheRestAlone) {
    MakeWindow(256);
    SetColors(true, false);
    const auto snapshot = [&] {
        QList<QPalette> palettes;
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 Window().centralWidget(), Ui().LabelFn, Ui().RzPanel1, Ui().RzLabelFilter,
                 Ui().RzComboBoxFilter, Ui().RzStatusBar1, Ui().RzPanel2})
            palettes << widget->palette();
        return palettes;
    };
    const QList<QPalette> before = snapshot();
    const QColor textBefore = Ui().MemoTail->palette().color(QPalette::Text);

    Window().ApplyColors();
    // The "Filter:" label would turn to the highlight colour on a richer display.
    ReleaseOn(Ui().RzLabelFilter, Qt::LeftButton);
    ASSERT_TRUE(Window().FilterInverted());

    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Text), textBefore);
    EXPECT_TRUE(snapshot() == before) << "a control other than the view changed its colours";

    StartOn(WriteFile(QStringLiteral("app.log"), "one\n"));
    EXPECT_EQ(Ui().MemoTail->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_TRUE(snapshot() == before);
}

// A short valid WAV file: 16-bit mono PCM at 8 kHz, silent.
QByteArray SilentWav() {
    const quint32 samples = 800, dataBytes = samples * 2;
    QByteArray wav;
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xFF));
    };
    const auto u16 = [&](quint16 v) {
        wav.append(char(v & 0xFF));
        wav.append(char(v >> 8));
    };
    wav += "RIFF";
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    wav += "data";
    u32(dataBytes);
    wav.append(QByteArray(int(dataBytes), '\0'));
    return wav;
}

TEST_F(TailWindowColors, AlarmPictureShowsWhenAnAlertCanSoundOrMail) {
    struct Case {
        const char* name;
        bool alertSound;
        bool alertSoundExists;
        bool mail;
        const char* server;
        const char* address;
        bool changeSound;
        bool changeSoundExists;
        bool checked;
        const char* pattern;
        bool visible;
    };
    const Case cases[] = {
        {"(a) sound, file, pattern", true, true, false, "", "", false, false, true, "ERROR", true},
        {"(a) sound file missing", true, false, false, "", "", false, false, true, "ERROR", false},
        {"(a) empty pattern", true, true, false, "", "", false, false, true, "", false},
        {"(a) box unchecked", true, true, false, "", "", false, false, false, "ERROR", false},
        {"(b) mail, server, address, pattern", false, false, true, "smtp.local", "ops@local", false, false,
         true, "ERROR", true},
        {"(b) no server", false, false, true, "", "ops@local", false, false, true, "ERROR", false},
        {"(b) no address", false, false, true, "smtp.local", "", false, false, true, "ERROR", false},
        {"(b) empty pattern", false, false, true, "smtp.local", "ops@local", false, false, true, "", false},
        {"(c) change sound, file, empty pattern", false, false, false, "", "", true, true, true, "", true},
        {"(c) with a pattern", false, false, false, "", "", true, true, true, "ERROR", false},
        {"(c) change sound file missing", false, false, false, "", "", true, false, true, "", false},
        {"(c) box unchecked", false, false, false, "", "", true, true, false, "", false},
        {"nothing on", false, true, false, "smtp.local", "ops@local", false, true, true, "ERROR", false},
    };
    MakeWindow();
    const QString wav = WriteFile(QStringLiteral("alert.wav"), SilentWav());
    const QString missing = TempPath(QStringLiteral("missing.wav"));
    QCheckBox* box = Ui().CheckBoxAlert;
    QComboBox* combo = Ui().RzComboBoxAlarm;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTailParam& p = Window().Params();
        p.playalertsound = c.alertSound;
        p.alertsoundfile = c.alertSoundExists ? wav : missing;
        p.sendalertemail = c.mail;
        p.smtpserver = QString::fromLatin1(c.server);
        p.alertemail = QString::fromLatin1(c.address);
        p.playfilechangesound = c.changeSound;
        p.filechangesoundfile = c.changeSoundExists ? wav : missing;
        // The box's click and the pattern's change both update the picture.
        if (box->isChecked() != c.checked)
            ClickOn(box);
        ASSERT_EQ(box->isChecked(), c.checked);
        combo->setEditText(QStringLiteral("placeholder"));
        combo->setEditText(QString::fromLatin1(c.pattern));
        EXPECT_EQ(!Ui().ImageAlarm->isHidden(), c.visible) << "after the pattern changed";
        ClickOn(box);
        ClickOn(box);
        EXPECT_EQ(!Ui().ImageAlarm->isHidden(), c.visible) << "after the box was clicked";
    }
}

} // namespace
