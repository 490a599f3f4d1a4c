// The filter and alert fields at start-up: their histories come from the settings, their edit
// texts from the command line only.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

#include "engine/tail_state.h"
#include "settings/histories.h"
#include "window_fixture.h"

namespace {

class TailWindowPatterns : public TailWindowTest {
protected:
    void WriteIni(const QByteArray& content) {
        const QString folder = ConfigFolder() + QStringLiteral("/kovra");
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/kovra.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
};

TEST_F(TailWindowPatterns, FieldsStartEmptyWhateverTheHistoriesHold) {
    WriteIni("[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=zeta\nFilter1=alpha\n"
             "[\\Software\\Velmora\\Quorvel\\alarm]\nAlarm0=omega\n");
    MakeWindow();
    EXPECT_EQ(Window().FilterHistory().Items(), QStringList({"alpha", "zeta"}));
    EXPECT_EQ(Window().AlarmHistory().Items(), QStringList({"omega"}));
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QString());
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QString());

    // Checking the boxes uses the empty fields: every line is kept, nothing joins the histories.
    const QString log = WriteFile(QStringLiteral("app.log"), "alpha one\nzeta two\nplain three\n");
    StartOn(log);
    ClickOn(Ui().CheckBoxFilter);
    ClickOn(Ui().CheckBoxAlert);
    ASSERT_TRUE(Ui().CheckBoxFilter->isChecked());
    Window().Engine().Tick();
    EXPECT_EQ(ViewPlain(), QStringLiteral("alpha one\nzeta two\nplain three"));
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QString());
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QString());
    EXPECT_EQ(Window().FilterHistory().Items(), QStringList({"alpha", "zeta"}));
    EXPECT_EQ(Window().AlarmHistory().Items(), QStringList({"omega"}));
}

TEST_F(TailWindowPatterns, CommandLinePatternsJoinTheHistoryAsTheFirstSwitchLeftThem) {
    MakeWindow(kTrueColor, {"kovra", "/f=abc", "/f=def", "/a=disk"});
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("abcdef"));
    EXPECT_EQ(Window().FilterHistory().Items(), QStringList({"abc"}));
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QStringLiteral("disk"));
    EXPECT_EQ(Window().AlarmHistory().Items(), QStringList({"disk"}));
}

} // namespace
