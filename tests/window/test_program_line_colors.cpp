// The real program under Xvfb, started twice on a kovra.ini written by hand: its window shows the
// rule's colour on its match and the error colour on an ERROR line both times, and the file keeps
// the lines it was given.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>

#include "kovra_process.h"

namespace {

// Until the tail window's picture (import, from ImageMagick) holds the rule's yellow and a red.
bool ShowsRuleAndErrorColours(qint64 pid) {
    for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QThread::msleep(300)) {
        for (const XWindow& window : XWindowsOf(pid)) {
            if (!window.title.startsWith(QStringLiteral("KOVRA -")))
                continue;
            QProcess import;
            import.start(QStringLiteral("import"),
                         {QStringLiteral("-window"), window.id, QStringLiteral("png:-")});
            if (!import.waitForFinished(20000) || import.exitCode() != 0) {
                ADD_FAILURE() << "import (ImageMagick) could not take the window";
                return false;
            }
            const QImage picture = QImage::fromData(import.readAllStandardOutput(), "PNG");
            int yellow = 0, red = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor c = picture.pixelColor(x, y);
                    yellow += c == QColor(255, 255, 0) ? 1 : 0;
                    red += c.red() > 150 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
                }
            }
            if (yellow > 200 && red > 20)
                return true;
        }
    }
    return false;
}

TEST_F(ProgramTest, RulesAndLevelsShowAfterEachStartAndTheHandEditedIniKeepsItsLines) {
    const QByteArray mine = "; my own notes\r\n[other tool]\r\nwidth=12\r\n\r\n";
    const QByteArray rules = "[\\Software\\Velmora\\Quorvel\\highlight]\r\n"
                             "Pattern0=req-\\d+\r\nColor0=65535\r\nWholeLine0=N\r\n";
    ASSERT_TRUE(QDir().mkpath(ConfigHome() + QStringLiteral("/kovra")));
    WriteFile(QStringLiteral("config/kovra/kovra.ini"), mine + rules);
    const QString log = WriteFile(QStringLiteral("app.log"),
                                  "12:00 ERROR disk failed on /dev/sda1\n12:00 INFO GET /a req-42 200\n");
    for (const char* start : {"first start", "after a restart"}) {
        SCOPED_TRACE(start);
        KovraProcess& kovra = Start({QStringLiteral("/start"), log});
        ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
        ASSERT_TRUE(kovra.WaitDescribed({{"status", "started"}})) << kovra.LastDescription();
        EXPECT_TRUE(ShowsRuleAndErrorColours(kovra.Handle()));
        kovra.Process().terminate();
        ASSERT_TRUE(kovra.WaitExited()) << kovra.Output();
    }
    QFile ini(ConfigHome() + QStringLiteral("/kovra/kovra.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray kept = ini.readAll();
    EXPECT_TRUE(kept.startsWith(mine) && kept.contains(rules)) << kept.toStdString();
}

} // namespace
