// The real program under the X server of xvfb-run, used with the mouse (xdotool, installed by
// scripts/setup): R. DNS on a log whose only address is 127.0.0.1, resolved by the system's own
// resolver, and the print button printing a selection to PDF (the program's print dialog answered
// through its KOVRA_PRINT_TO_PDF hook), read back with pdftotext.
#include <optional>

#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>

#include "kovra_process.h"
#include "window_parts/wait_until.h"

namespace {

constexpr int kSettleMs = 30000;

// Runs a tool; its standard output, or nullopt (with the reason in *failure) when it failed.
std::optional<QString> RunTool(const QString& tool, const QStringList& arguments,
                               std::string* failure = nullptr) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (failure)
            *failure = tool.toStdString() + " failed: " + process.errorString().toStdString() + " " +
                       process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

class ProgramActions : public ProgramTest {
protected:
    // The mouse, as a user would use it; xdotool is installed by scripts/setup.
    void Mouse(const QStringList& arguments) {
        std::string failure;
        ASSERT_TRUE(RunTool(QStringLiteral("xdotool"), arguments, &failure)) << failure;
    }
    static QPoint Place(const WindowDescription& description, const QString& control, int* step = nullptr) {
        const QStringList numbers = description.value(QStringLiteral("place.") + control).split(u' ');
        EXPECT_GE(numbers.size(), 2) << control.toStdString() << " has no place: " << Show(description);
        if (numbers.size() < 2)
            return {};
        if (step && numbers.size() > 2)
            *step = numbers[2].toInt();
        return {numbers[0].toInt(), numbers[1].toInt()};
    }
    static QStringList At(const QPoint& point) {
        return {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())};
    }
};

TEST_F(ProgramActions, ReverseDnsShowsTheNameTheSystemGivesForTheLoopbackAddress) {
    std::string failure;
    const auto hosts =
        RunTool(QStringLiteral("getent"), {QStringLiteral("hosts"), QStringLiteral("127.0.0.1")}, &failure);
    ASSERT_TRUE(hosts) << failure;
    const QStringList fields = hosts->simplified().split(u' ');
    ASSERT_GE(fields.size(), 2) << "the system has no name for 127.0.0.1";
    const QString log = WriteFile(QStringLiteral("sshd.log"), "connect from 127.0.0.1 port 22\n");
    KovraProcess& kovra = Start({QStringLiteral("/start"), log});
    ASSERT_TRUE(kovra.WaitUp());
    ASSERT_TRUE(kovra.WaitDescribed({{"status", "started"}, {"view", "connect from 127.0.0.1 port 22"}}))
        << kovra.LastDescription();

    Mouse(At(Place(kovra.Describe(), QStringLiteral("CheckBoxReverseDNS")))
          << QStringLiteral("click") << QStringLiteral("1"));
    WindowDescription seen;
    const bool shown = WaitUntil(
        [&] {
            seen = kovra.Describe();
            return seen.value(QStringLiteral("view")) ==
                       QStringLiteral("connect from [%1] port 22").arg(fields[1]) &&
                   seen.value(QStringLiteral("rdnspane")) == QStringLiteral("SUSP (Nb=1; ?=0)");
        },
        kSettleMs);
    EXPECT_TRUE(shown) << Show(seen) << "\n" << kovra.Output();
    EXPECT_EQ(seen.value(QStringLiteral("reversedns")), QStringLiteral("1"));
}

TEST_F(ProgramActions, PrintButtonPrintsTheSelectedLinesToPdf) {
    const QString pdf = Path(QStringLiteral("printout.pdf"));
    const ScopedEnv hook("KOVRA_PRINT_TO_PDF", QFile::encodeName(pdf));
    const QString log =
        WriteFile(QStringLiteral("app.log"), "alpha one\nbravo two\ncharlie three\ndelta four\n");
    KovraProcess& kovra = Start({QStringLiteral("/start"), log});
    ASSERT_TRUE(kovra.WaitUp());
    ASSERT_TRUE(kovra.WaitDescribed({{"status", "started"}})) << kovra.LastDescription();
    ASSERT_TRUE(
        WaitUntil([&] { return kovra.Describe().value(QStringLiteral("view")).contains(u"delta four"); }));

    // Click at the start of the second line, shift-click at the start of the fourth.
    const WindowDescription described = kovra.Describe();
    int step = 0;
    const QPoint first = Place(described, QStringLiteral("viewlines"), &step);
    ASSERT_GT(step, 0) << Show(described);
    Mouse(At(first + QPoint(0, step)) << QStringLiteral("click") << QStringLiteral("1"));
    Mouse(At(first + QPoint(0, 3 * step))
          << QStringLiteral("keydown") << QStringLiteral("shift") << QStringLiteral("click")
          << QStringLiteral("1") << QStringLiteral("keyup") << QStringLiteral("shift"));
    ASSERT_TRUE(WaitUntil([&] {
        return kovra.Describe().value(QStringLiteral("selection")).simplified() ==
               QStringLiteral("bravo two charlie three");
    })) << Show(kovra.Describe());

    Mouse(At(Place(described, QStringLiteral("SpeedButtonPrint")))
          << QStringLiteral("click") << QStringLiteral("1"));
    QString text;
    const bool printed = WaitUntil(
        [&] {
            const auto read = RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            text = read.value_or(QString());
            return text.contains(u"charlie three");
        },
        kSettleMs);
    ASSERT_TRUE(printed) << "no printout (pdftotext is installed by scripts/setup)\n" << kovra.Output();
    const QRegularExpression expected(
        QStringLiteral("^KOVRA printout \\(filename=") + QRegularExpression::escape(log) +
        QStringLiteral(", date=[^)]+, selection=Oui\\) bravo two charlie three$"));
    EXPECT_TRUE(expected.match(text.simplified()).hasMatch()) << text.toStdString();
}

} // namespace
