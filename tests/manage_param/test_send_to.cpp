// The "Open with" entry: its text as desktop-file-validate checks it, and the dialog's box that
// creates it only when absent and deletes it at once, whatever the dialog's result.
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "param_dialog_fixture.h"
#include "platform/send_to_entry.h"
#include "settings/uParam.h"

namespace {

// desktop-file-validate's verdict on the file: empty when it found neither error nor warning.
QString ValidationProblems(const QString& path) {
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validate.waitForStarted(10000))
        return QStringLiteral("desktop-file-validate cannot be started: install desktop-file-utils "
                              "(scripts/setup does)");
    validate.waitForFinished(30000);
    const QString output = QString::fromLocal8Bit(validate.readAll());
    if (validate.exitStatus() != QProcess::NormalExit || validate.exitCode() != 0 ||
        output.contains(QStringLiteral("error:")) || output.contains(QStringLiteral("warning:")))
        return output.isEmpty() ? QStringLiteral("exit code %1").arg(validate.exitCode()) : output;
    return {};
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(SendToEntry, ExecQuotesAnyProgramPathAndPassesValidation) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        QString program;
        bool addStart;
        QString exec;
        QString path;
    } cases[] = {
        {"/opt/kovra/kovra", true, R"(Exec="/opt/kovra/kovra" /start %f)", "Path=/opt/kovra"},
        {"/opt/kovra/kovra", false, R"(Exec="/opt/kovra/kovra" %f)", "Path=/opt/kovra"},
        // Blanks, the four characters a quoted argument escapes (a backslash twice over) and a
        // field-code percent sign.
        {R"(/home/a b/$x`y`/q"t\z%d/kovra)", true,
         R"(Exec="/home/a b/\\$x\\`y\\`/q\\"t\\\\z%%d/kovra" /start %f)", R"(Path=/home/a b/$x`y`/q"t\\z%d)"},
    };
    for (const auto& c : cases) {
        const QString text = SendToEntryText(c.program, c.addStart);
        EXPECT_EQ(LinesStartingWith(text, QStringLiteral("Exec=")), QStringList{c.exec})
            << text.toStdString();
        EXPECT_EQ(LinesStartingWith(text, QStringLiteral("Path=")), QStringList{c.path});
        const QString path = dir.filePath(QStringLiteral("KOVRA.desktop"));
        QFile::remove(path);
        ASSERT_TRUE(CreateSendToEntry(path, c.program, c.addStart));
        EXPECT_EQ(ReadAll(path), text);
        EXPECT_EQ(ValidationProblems(path), QString()) << text.toStdString();
    }
}

TEST_F(ParamDialogTest, SendToBoxCreatesOnlyAbsentEntriesAndDeletesAtOnceWhateverTheResult) {
    MakeWindow();
    Window().Params().usethread = true;
    const QString entry = DataHome() + QStringLiteral("/applications/KOVRA.desktop");
    ASSERT_EQ(SendToEntryPath(), entry);
    const QString program = QCoreApplication::applicationFilePath();

    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_FALSE(w.CheckBox_ShellSendTo->isChecked()) << "no entry yet";
        w.CheckBox_ShellAddStart->click();
        w.CheckBox_ShellSendTo->click();
        EXPECT_EQ(ReadAll(entry), SendToEntryText(program, true));
        EXPECT_EQ(ValidationProblems(entry), QString());
        EXPECT_EQ(w.LabelPathShortCut->toolTip(), entry);
        EXPECT_LE(w.LabelPathShortCut->fontMetrics().horizontalAdvance(w.LabelPathShortCut->text()),
                  w.LabelPathShortCut->width())
            << "elided to fit";
        // The entry exists: its arguments stay until it is made again.
        w.CheckBox_ShellAddStart->click();
        EXPECT_EQ(ReadAll(entry), SendToEntryText(program, true));
        w.CheckBox_ShellSendTo->click();
        EXPECT_FALSE(QFileInfo::exists(entry));
        EXPECT_TRUE(w.LabelPathShortCut->toolTip().isEmpty());
        w.CheckBox_ShellSendTo->click();
        w.ButtonCancel->click();
    });
    EXPECT_EQ(ReadAll(entry), SendToEntryText(program, false)) << "made at once, kept after Cancel";

    // An entry of the user's own is shown when the dialog opens and never rewritten; unchecking
    // deletes it even when the dialog is then cancelled.
    const QByteArray own = "[Desktop Entry]\nType=Application\nName=KOVRA\nExec=/usr/local/bin/kovra %f\n";
    {
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(own);
    }
    OpenParameters([&](TFormTailParam& dialog) {
        const TailParamWidgets& w = dialog.Widgets();
        EXPECT_TRUE(w.CheckBox_ShellSendTo->isChecked());
        EXPECT_EQ(w.LabelPathShortCut->toolTip(), entry);
        EXPECT_EQ(ReadAll(entry).toUtf8(), own);
        w.CheckBox_ShellSendTo->click();
        w.ButtonCancel->click();
    });
    EXPECT_FALSE(QFileInfo::exists(entry));
}

} // namespace
