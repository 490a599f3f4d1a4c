#include "manage/fTailAbout.h"
#include "manage/fTailAlerts.h"

#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "util/colors.h"
#include "util/version_text.h"
#include "widgets/kovra_resources.h"

namespace {

void Click(QWidget& window, const char* buttonName) {
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(buttonName));
    ASSERT_NE(button, nullptr) << buttonName;
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(FormAlerts, KeepsNewestFirstAcrossClearHideAndReopen) {
    TFormAlerts alerts;
    EXPECT_EQ(alerts.windowTitle(), QStringLiteral("Alerts Window"));
    EXPECT_TRUE(alerts.isHidden()) << "created hidden";
    EXPECT_TRUE(alerts.Lines().isEmpty());

    alerts.AddAlertLine(QStringLiteral("12:00:01 - one"));
    alerts.AddAlertLine(QStringLiteral("12:00:02 - two"));
    EXPECT_EQ(alerts.Lines(), (QStringList{"12:00:02 - two", "12:00:01 - one"}));

    Click(alerts, "ButtonClear");
    EXPECT_TRUE(alerts.Lines().isEmpty());
    alerts.AddAlertLine(QStringLiteral("three"));
    EXPECT_EQ(alerts.Lines(), QStringList{"three"}) << "the next alert is the only line";

    alerts.ShowAtTopLeft();
    EXPECT_TRUE(alerts.isVisible());
    EXPECT_EQ(alerts.pos(), QPoint(0, 0));

    alerts.move(140, 90);
    Click(alerts, "ButtonHide");
    EXPECT_TRUE(alerts.isHidden());
    alerts.AddAlertLine(QStringLiteral("four"));
    alerts.ShowAtTopLeft();
    EXPECT_TRUE(alerts.isVisible());
    EXPECT_EQ(alerts.pos(), QPoint(0, 0));
    EXPECT_EQ(alerts.Lines(), (QStringList{"four", "three"})) << "hiding keeps the lines";
}

TEST(FormAlerts, ShowIfHiddenReturnsWhereItWasAndClosingOnlyHides) {
    TFormAlerts alerts;
    alerts.AddAlertLine(QStringLiteral("kept"));
    alerts.move(70, 50);
    alerts.show();
    alerts.close();
    EXPECT_TRUE(alerts.isHidden());

    alerts.ShowIfHidden();
    EXPECT_TRUE(alerts.isVisible());
    EXPECT_EQ(alerts.pos(), QPoint(70, 50));
    EXPECT_EQ(alerts.Lines(), QStringList{"kept"});

    alerts.HideWindow();
    EXPECT_TRUE(alerts.isHidden());
}

QString LinkedPcre2Version() {
    PCRE2_UCHAR buffer[64] = {};
    EXPECT_GT(pcre2_config(PCRE2_CONFIG_VERSION, buffer), 0);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer));
    const auto match = QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)")).match(text);
    EXPECT_TRUE(match.hasMatch()) << text.toStdString();
    return match.captured(1) + u'.' + match.captured(2);
}

TEST(FormAbout, ShowsTheLibraryAndProgramVersions) {
    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About..."));
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "fixed size";

    EXPECT_EQ(about.EngineLine(), QStringLiteral("Kovra is using PCRE2 v") + LinkedPcre2Version());
    EXPECT_EQ(about.VersionLine(), QStringLiteral("version ") + VersionText(QString(), true, false));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^version \\d+\\.\\d+\\.\\d+ \\(build \\d+\\)$"))
                    .match(about.VersionLine())
                    .hasMatch())
        << about.VersionLine().toStdString();

    auto* picture = about.findChild<QLabel*>(QStringLiteral("ImageProgram"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(48, 48));
    EXPECT_FALSE(picture->pixmap().toImage().allGray()) << "the program picture was drawn";

    // The info panel carries the tint: the button face, lightened (offscreen shows millions of colours).
    auto* panel = about.findChild<QWidget*>(QStringLiteral("PanelInfo"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->property("tag").toInt(), 1);
    const quint32 face = QColorToColor(about.palette().color(QPalette::Button));
    EXPECT_EQ(QColorToColor(panel->palette().color(QPalette::Window)), LightenColor(face));

    about.open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&about));
    Click(about, "ButtonOK");
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_TRUE(about.isHidden());
}

TEST(FormAbout, BannerRunsUpTheWholeRightEdgeInWhiteOnGreen) {
    TFormAbout about;
    const QImage image = about.grab().toImage();
    const QColor green(0x00, 0x80, 0x00);
    // The rightmost column is banner from top to bottom.
    for (int y = 0; y < image.height(); ++y)
        ASSERT_EQ(QColor(image.pixel(image.width() - 1, y)), green) << "y=" << y;
    // The text inside is white and, turned upright, taller than it is wide.
    QRect text;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = image.width() - 40; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 200)
                text |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(text.isEmpty()) << "no banner text drawn";
    EXPECT_GT(text.height(), 3 * text.width());
}

TEST(Pictures, EveryPictureLoadsAndTheTrayCycleChanges) {
    EnsureKovraResources();
    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("svg"))
        << "Qt's SVG image plugin is missing (Debian: qt6-svg-dev or libqt6svg6)";
    const char* const all[] = {kImageProgram, kImageTray[0], kImageTray[1], kImageTray[2], kImageTray[3],
                               kImageAlarm,   kImageBottom,  kImageMiddle,  kImageBrowse,  kImageAddManager,
                               kImageTree,    kImageNotepad, kImagePrint,   kImageManager, kImageParameters,
                               kImageClear,   kImageStart,   kImageStop};
    for (const char* name : all) {
        QImageReader reader{QString::fromLatin1(name)};
        const QImage image = reader.read();
        EXPECT_FALSE(image.isNull()) << name << ": " << reader.errorString().toStdString();
    }
    for (const char* name : {kImageBottom, kImageMiddle})
        EXPECT_EQ(QImage(QString::fromLatin1(name)).size(), QSize(16, 16)) << name;
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(QImage(QString::fromLatin1(kImageTray[i])),
                  QImage(QString::fromLatin1(kImageTray[(i + 1) % 4])))
            << "tray pictures " << i << " and " << (i + 1) % 4 << " look the same";
}

} // namespace
