// The real program under Xvfb shows a UTF-8 log decoded: the text is copied out of the view with
// the keyboard, as a user would, and read back from the X clipboard.
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include "kovra_process.h"

namespace {

// Runs an X tool to its end; its standard output, or a failure naming it.
QByteArray RunTool(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess tool;
    tool.start(program, arguments);
    *ok = tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return tool.readAllStandardOutput();
}

class ProgramUtf8 : public ProgramTest {};

TEST_F(ProgramUtf8, MultibyteTextIsShownAndCopiedOutOfTheView) {
    const QByteArray text =
        "caf\xC3\xA9\nna\xC3\xAFve\n\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n\xF0\x9F\x98\x80 smile\n";
    const QString log = WriteFile(QStringLiteral("utf8.log"), text);
    KovraProcess& kovra = Start({QStringLiteral("/start"), log});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    ASSERT_TRUE(kovra.WaitDescribed({{"status", "started"}})) << kovra.LastDescription();
    bool ok = false;
    const QByteArray found = RunTool(
        QStringLiteral("xdotool"),
        {"search", "--sync", "--onlyvisible", "--pid", QString::number(kovra.Handle()), "--name", "KOVRA"},
        &ok);
    ASSERT_TRUE(ok) << "xdotool could not find the window";
    const QString windowId = QString::fromLatin1(found.split('\n').first());
    const QByteArray expected =
        "caf\xC3\xA9\nna\xC3\xAFve\n\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n\xF0\x9F\x98\x80 smile";
    QByteArray copied;
    QDeadlineTimer deadline(120000); // generous: a loaded machine and a sanitized build
    while (!deadline.hasExpired()) {
        // A click in the middle of the window lands in the view; select all and copy.
        RunTool(QStringLiteral("xdotool"), {"windowfocus", "--sync", windowId}, &ok);
        RunTool(QStringLiteral("xdotool"), {"mousemove", "--window", windowId, "300", "220", "click", "1"},
                &ok);
        RunTool(QStringLiteral("xdotool"), {"key", "--window", windowId, "ctrl+a", "ctrl+c"}, &ok);
        copied = RunTool(QStringLiteral("xclip"), {"-selection", "clipboard", "-o"}, &ok);
        if (copied.trimmed() == expected)
            break;
        QThread::msleep(200);
    }
    EXPECT_EQ(copied.trimmed().toStdString(), expected.toStdString());
}

} // namespace
