// The real program under Xvfb, started twice on a kovra.ini written by hand: the window shows the
// rule's colour on its match and the error colour on an ERROR line both times, and the file keeps
// the lines it was given.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

#include "kovra_process.h"

namespace {

QByteArray RunTool(const QString& program, const QStringList& arguments, bool* ok) {
    QProcess tool;
    tool.start(program, arguments);
    *ok = tool.waitForFinished(20000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return tool.readAllStandardOutput();
}

int CountPixels(const QImage& image, const std::function<bool(QColor)>& wanted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += wanted(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

class ProgramLineColors : public ProgramTest {
protected:
    // Until the window shows both colours; the last picture taken otherwise.
    bool ShowsRuleAndErrorColours(KovraProcess& kovra, QImage* picture) {
        bool ok = false;
        const QByteArray found = RunTool(QStringLiteral("xdotool"),
                                         {"search", "--sync", "--onlyvisible", "--pid",
                                          QString::number(kovra.Handle()), "--name", "KOVRA"},
                                         &ok);
        EXPECT_TRUE(ok) << "xdotool could not find the window";
        const QString id = QString::fromLatin1(found.split('\n').first());
        QDeadlineTimer deadline(120000);
        while (!deadline.hasExpired()) {
            const QByteArray png = RunTool(QStringLiteral("import"), {"-window", id, "png:-"}, &ok);
            EXPECT_TRUE(ok) << "import (ImageMagick) could not take the window";
            *picture = QImage::fromData(png, "PNG");
            const int yellow = CountPixels(*picture, [](QColor c) { return c == QColor(255, 255, 0); });
            const int red = CountPixels(
                *picture, [](QColor c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; });
            if (yellow > 200 && red > 20)
                return true;
            QThread::msleep(300);
        }
        return false;
    }
};

TEST_F(ProgramLineColors, RulesAndLevelsShowAfterEachStartAndTheHandEditedFileKeepsItsLines) {
    const QByteArray mine = "; my own notes\r\n[other tool]\r\nwidth=12\r\n\r\n";
    const QByteArray rules = "[\\Software\\Velmora\\Quorvel\\highlight]\r\n"
                             "Pattern0=req-\\d+\r\n"
                             "Color0=65535\r\n"
                             "WholeLine0=N\r\n";
    ASSERT_TRUE(QDir().mkpath(ConfigHome() + QStringLiteral("/kovra")));
    WriteFile(QStringLiteral("config/kovra/kovra.ini"), mine + rules);
    const QString log = WriteFile(QStringLiteral("app.log"),
                                  "12:00 ERROR disk failed on /dev/sda1\n12:00 INFO GET /a req-42 200\n");
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "first start" : "after a restart");
        KovraProcess& kovra = Start({QStringLiteral("/start"), log});
        ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
        ASSERT_TRUE(kovra.WaitDescribed({{"status", "started"}})) << kovra.LastDescription();
        QImage picture;
        EXPECT_TRUE(ShowsRuleAndErrorColours(kovra, &picture));
        kovra.Process().terminate();
        ASSERT_TRUE(kovra.WaitExited()) << kovra.Output();
    }
    QFile ini(ConfigHome() + QStringLiteral("/kovra/kovra.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray kept = ini.readAll();
    EXPECT_TRUE(kept.startsWith(mine)) << kept.toStdString();
    EXPECT_TRUE(kept.contains(rules)) << kept.toStdString();
}

} // namespace
