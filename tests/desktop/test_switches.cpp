// The first things a Linux user types: --help, --version, a mistyped switch, and a start without a
// display. Every row runs the real program with no display at all, so a row that tried to open a
// window would end with the no-display line instead; and none may write settings or sockets.
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop_tools.h"
#include "kovra_version.h"

namespace {

struct Row {
    const char* name;
    QStringList arguments;
    QStringList env; // NAME=VALUE added to a display-less environment
    int exitCode;
    const char* out; // nullptr: the usage
    QString err;
};

const QString kNoDisplay = QStringLiteral("kovra: cannot connect to the display (neither DISPLAY nor "
                                          "WAYLAND_DISPLAY is set); set DISPLAY or WAYLAND_DISPLAY\n");

// The usage names every switch on a line of its own, the journal's names, the settings files
// and examples.
void ExpectUsage(const QString& usage) {
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage: kovra "))) << usage.toStdString();
    for (const char* lineStart : {"/start ", "/minimized ", "/recycle ", "/f=PATTERN ", "/a=PATTERN ", "-- ",
                                  "-h, --help ", "-V, --version "}) {
        const QRegularExpression line(QStringLiteral("^  ") +
                                          QRegularExpression::escape(QString::fromLatin1(lineStart)) +
                                          QStringLiteral(" *\\S"),
                                      QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(usage).hasMatch()) << "no line for " << lineStart << " in\n"
                                                  << usage.toStdString();
    }
    for (const char* text :
         {"registry.reg", "kovra.ini", "~/.config/kovra/", "Examples:\n  kovra ", "journal:"})
        EXPECT_TRUE(usage.contains(QString::fromLatin1(text))) << text << " missing in\n"
                                                               << usage.toStdString();
}

TEST(ProgramSwitches, AnswerWithoutADisplayAndWriteNothing) {
    const std::vector<Row> rows = {
        {"--help", {"--help"}, {}, 0, nullptr, ""},
        {"-h after a file name and a switch", {"/start", "app.log", "-h"}, {}, 0, nullptr, ""},
        {"--version", {"--version"}, {}, 0, "kovra " KOVRA_VERSION_STRING "\n", ""},
        {"-V", {"-V", "--bogus"}, {}, 0, "kovra " KOVRA_VERSION_STRING "\n", ""},
        {"an unknown option",
         {"app.log", "--bogus", "--help"},
         {},
         2,
         "",
         "kovra: unknown option --bogus (a file of that name is ./--bogus); see kovra --help\n"},
        {"--help after -- is a file name", {"--", "--help"}, {}, 1, "", kNoDisplay},
        {"./--x is a file name", {"/start", "./--x"}, {}, 1, "", kNoDisplay},
        {"no display", {"/start", "app.log"}, {}, 1, "", kNoDisplay},
        {"a display that is not there",
         {"app.log"},
         {"DISPLAY=:59999", "WAYLAND_DISPLAY=kovra-no-such-compositor"},
         1,
         "",
         "kovra: cannot connect to the display (DISPLAY=\":59999\", WAYLAND_DISPLAY=\"kovra-no-such-"
         "compositor\"); set DISPLAY or WAYLAND_DISPLAY\n"},
        {"a platform that is not there",
         {"app.log"},
         {"QT_QPA_PLATFORM=kovra-none"},
         1,
         "",
         "kovra: cannot connect to the display (QT_QPA_PLATFORM=\"kovra-none\"); set DISPLAY or "
         "WAYLAND_DISPLAY\n"},
    };
    QString usage;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("config")));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("run")));
        QProcessEnvironment env =
            WithoutDisplay(dir.filePath(QStringLiteral("config")), dir.filePath(QStringLiteral("run")));
        for (const QString& variable : row.env)
            env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        const RunResult result = RunProgram(KovraBinary(), row.arguments, env);
        EXPECT_FALSE(result.crashed) << Show(result);
        EXPECT_EQ(result.exitCode, row.exitCode) << Show(result);
        EXPECT_EQ(result.err, row.err) << Show(result);
        if (!row.out) {
            ExpectUsage(result.out);
            EXPECT_TRUE(usage.isEmpty() || usage == result.out) << "-h and --help differ";
            usage = result.out;
        } else {
            EXPECT_EQ(result.out, QString::fromUtf8(row.out)) << Show(result);
        }
        for (const char* folder : {"config", "run"})
            EXPECT_TRUE(QDir(dir.filePath(QString::fromLatin1(folder))).isEmpty())
                << folder << " was written";
    }
}

} // namespace
