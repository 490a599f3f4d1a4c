// The first things a Linux user types: --help, --version, a mistyped switch, and a start without a
// display. Every row runs the real program with no display at all, so a row that tried to open a
// window would end with the no-display line instead; and none may write settings or sockets.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop_tools.h"
#include "kovra_version.h"

namespace {

struct Row {
    QStringList arguments;
    QStringList env; // NAME=VALUE added to a display-less environment
    int exitCode;
    const char* out; // nullptr: the usage
    QString err;
};

TEST(ProgramSwitches, AnswerWithoutADisplayAndWriteNothing) {
    const char* const version = "kovra " KOVRA_VERSION_STRING "\n";
    const QString noDisplay =
        QStringLiteral("kovra: cannot connect to the display (%1); set DISPLAY or WAYLAND_DISPLAY\n");
    const QString none = noDisplay.arg(QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set"));
    const Row rows[] = {
        {{"--help"}, {}, 0, nullptr, ""},
        {{"/start", "app.log", "-h"}, {}, 0, nullptr, ""},
        {{"--version"}, {}, 0, version, ""},
        {{"-V", "--bogus"}, {}, 0, version, ""},
        {{"app.log", "--bogus", "--help"},
         {},
         2,
         "",
         "kovra: unknown option --bogus (a file of that name is ./--bogus); see kovra --help\n"},
        {{"--", "--help"}, {}, 1, "", none}, // a file name, so the window's start
        {{"/start", "./--x"}, {}, 1, "", none},
        {{"/start", "app.log"}, {}, 1, "", none},
        {{"app.log"},
         {"DISPLAY=:59999", "WAYLAND_DISPLAY=kovra-none"},
         1,
         "",
         noDisplay.arg(QStringLiteral("DISPLAY=\":59999\", WAYLAND_DISPLAY=\"kovra-none\""))},
        {{"app.log"},
         {"QT_QPA_PLATFORM=kovra-none"},
         1,
         "",
         noDisplay.arg(QStringLiteral("QT_QPA_PLATFORM=\"kovra-none\""))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(u' ').toStdString());
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkdir(QStringLiteral("config")) &&
                    QDir(dir.path()).mkdir(QStringLiteral("run")));
        QProcessEnvironment env =
            WithoutDisplay(dir.filePath(QStringLiteral("config")), dir.filePath(QStringLiteral("run")));
        for (const QString& variable : row.env)
            env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        const RunResult result = RunProgram(KovraBinary(), row.arguments, env);
        EXPECT_TRUE(!result.crashed && result.exitCode == row.exitCode && result.err == row.err)
            << Show(result);
        if (row.out) {
            EXPECT_EQ(result.out.toStdString(), row.out);
        } else {
            // Every switch on a line of its own, the journal's and SSH names, the settings files,
            // examples.
            EXPECT_EQ(UsageSwitches(result.out),
                      QStringList({"/start", "/minimized", "/recycle", "/f=", "/a=", "--", "-h", "--help",
                                   "-V", "--version"}));
            for (const char* text : {"Usage: kovra ", "journal:", "ssh://", "~/.config/kovra/",
                                     "registry.reg", "kovra.ini", "Examples:\n  kovra "})
                EXPECT_TRUE(result.out.contains(QString::fromLatin1(text))) << text << " missing in\n"
                                                                            << Show(result);
        }
        EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("config"))).isEmpty() &&
                    QDir(dir.filePath(QStringLiteral("run"))).isEmpty())
            << "settings or sockets were written";
    }
}

} // namespace
