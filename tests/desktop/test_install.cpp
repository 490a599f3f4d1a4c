// `cmake --install` of this build into a temporary DESTDIR under a prefix of its own, as the
// desktop's tools and a user meet it.
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop_tools.h"
#include "kovra_version.h"

namespace {

// A validator's complaints: its whole answer when it failed or warned (hints are fine).
std::string Complaints(const QString& tool, const QStringList& arguments) {
    const RunResult result = RunProgram(tool, arguments);
    const QString output = result.out + result.err;
    const bool fine = !result.crashed && result.exitCode == 0 && !output.contains(QStringLiteral("error")) &&
                      !output.contains(QStringLiteral("warning"));
    return fine ? std::string() : Show(result);
}

TEST(Installed, EveryFileBelowThePrefixValidatedRenderedAndCompleting) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath(QStringLiteral("root")), prefix = root + QStringLiteral("/opt/kovra/");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), root);
    const RunResult install =
        RunProgram(qEnvironmentVariable("KOVRA_CMAKE"),
                   {QStringLiteral("--install"), qEnvironmentVariable("KOVRA_BUILD_DIR"),
                    QStringLiteral("--prefix"), QStringLiteral("/opt/kovra")},
                   env);
    ASSERT_TRUE(!install.crashed && install.exitCode == 0) << Show(install);

    // Exactly these files, all below the prefix; each PNG the picture at its folder's size.
    const QString id = QStringLiteral(KOVRA_APP_ID);
    QStringList expected{"bin/kovra",
                         "share/applications/" + id + ".desktop",
                         "share/metainfo/" + id + ".metainfo.xml",
                         "share/icons/hicolor/scalable/apps/" + id + ".svg",
                         "share/man/man1/kovra.1",
                         "share/bash-completion/completions/kovra",
                         "share/doc/kovra/copyright",
                         "share/doc/kovra/changelog"};
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
        EXPECT_EQ(QImage(prefix + expected.last()).size(), QSize(size, size));
    }
    QStringList found;
    for (QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        found << QDir(prefix).relativeFilePath(it.next());
    expected.sort();
    found.sort();
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("bin/kovra")).isExecutable());

    // The validators; the tree's check ties the AppStream launchable to the installed entry.
    const QString entry = prefix + expected.filter(QStringLiteral(".desktop")).first();
    EXPECT_EQ(Complaints(QStringLiteral("desktop-file-validate"), {entry}), "");
    EXPECT_EQ(
        Complaints(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                    prefix + "share/metainfo/" + id + ".metainfo.xml"}),
        "");
    EXPECT_EQ(Complaints(QStringLiteral("appstreamcli"),
                         {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), prefix}),
              "");
    const QStringList lines = QString::fromUtf8(ReadFile(entry)).split(u'\n');
    for (const QString& line : {QStringLiteral("Exec=kovra %F"), "Icon=" + id})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();

    // The manual page renders without a warning, and its OPTIONS list every switch of --help.
    QProcessEnvironment manEnv = QProcessEnvironment::systemEnvironment();
    manEnv.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    manEnv.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const RunResult man =
        RunProgram(QStringLiteral("man"),
                   {QStringLiteral("--warnings"), QStringLiteral("-P"), QStringLiteral("cat"),
                    QStringLiteral("-l"), prefix + QStringLiteral("share/man/man1/kovra.1")},
                   manEnv);
    EXPECT_TRUE(!man.crashed && man.exitCode == 0 && man.err.isEmpty()) << Show(man);
    const QString options =
        man.out.section(QStringLiteral("\nOPTIONS\n"), 1).section(QStringLiteral("\nEXIT STATUS\n"), 0, 0);
    const QStringList switches = UsageSwitches(RunProgram(KovraBinary(), {QStringLiteral("--help")}).out);
    for (const QString& name : switches) {
        const QRegularExpression tag(QStringLiteral("^       (.*, )?") + QRegularExpression::escape(name) +
                                         QStringLiteral("(PATTERN)?([ ,]|$)"),
                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(tag.match(options).hasMatch()) << name.toStdString() << " missing in\n"
                                                   << options.toStdString();
    }

    // The completion, as bash calls it for "kovra WORDS<Tab>" in a folder holding app.log
    // (compopt works only inside a real completion).
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("logs")));
    QFile log(dir.filePath(QStringLiteral("logs/app.log")));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    const QString script =
        QStringLiteral("compopt() { :; }; source \"$1\" && cd \"$2\" && shift 2 && COMP_WORDS=(kovra "
                       "\"$@\") && COMP_CWORD=$# && _kovra && echo \"${COMPREPLY[*]}\"");
    const std::pair<QStringList, QString> cases[] = {
        {{"/st"}, "/start"}, {{"--v"}, "--version"},   {{"app.log", "/a"}, "/a="}, {{"ap"}, "app.log"},
        {{"--", "/st"}, ""}, {{"--", "a"}, "app.log"}, {{"/f", "=", "ap"}, ""}, // a pattern
    };
    for (const auto& [words, replies] : cases) {
        const RunResult result =
            RunProgram(QStringLiteral("bash"),
                       QStringList{QStringLiteral("-c"), script, QStringLiteral("bash"),
                                   prefix + QStringLiteral("share/bash-completion/completions/kovra"),
                                   dir.filePath(QStringLiteral("logs"))} +
                           words);
        EXPECT_EQ(result.out.toStdString(), replies.toStdString() + '\n') << words.join(u' ').toStdString();
    }
}

} // namespace
