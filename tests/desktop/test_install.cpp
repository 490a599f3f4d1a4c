// `cmake --install` of this build into a temporary DESTDIR under a prefix of its own, checked as
// the desktop's tools and a user see it: exactly the expected files, all below the prefix; the
// entry, the AppStream data and the icons that agree on one name and pass their validators; a
// manual page that renders without a warning and documents every switch of --help; the bash
// completion.
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop_tools.h"
#include "kovra_version.h"

namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString build = qEnvironmentVariable("KOVRA_BUILD_DIR");
        const QString cmake = qEnvironmentVariable("KOVRA_CMAKE");
        ASSERT_FALSE(build.isEmpty() || cmake.isEmpty())
            << "run the tests through ctest, which names the build";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), Root());
        const RunResult install = RunProgram(
            cmake,
            {QStringLiteral("--install"), build, QStringLiteral("--prefix"), QStringLiteral("/opt/kovra")},
            env);
        ASSERT_TRUE(!install.crashed && install.exitCode == 0) << Show(install);
    }

    QString Root() const { return dir_.filePath(QStringLiteral("root")); }
    // A path below the prefix.
    QString Below(const QString& path) const { return Root() + QStringLiteral("/opt/kovra/") + path; }
    static QString Id() { return QStringLiteral(KOVRA_APP_ID); }

    // The validator's findings: its output when it failed or warned (hints are fine).
    static QString Problems(const QString& tool, const QStringList& arguments) {
        const RunResult result = RunProgram(tool, arguments);
        const QString output = result.out + result.err;
        if (result.crashed || result.exitCode != 0 || output.contains(QStringLiteral("error")) ||
            output.contains(QStringLiteral("warning")))
            return QString::fromStdString(Show(result));
        return {};
    }

    QTemporaryDir dir_;
};

TEST_F(InstalledTree, EveryFileBelowThePrefixAndNothingElse) {
    QStringList expected{QStringLiteral("bin/kovra"),
                         QStringLiteral("share/applications/%1.desktop").arg(Id()),
                         QStringLiteral("share/metainfo/%1.metainfo.xml").arg(Id()),
                         QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(Id()),
                         QStringLiteral("share/man/man1/kovra.1"),
                         QStringLiteral("share/bash-completion/completions/kovra"),
                         QStringLiteral("share/doc/kovra/copyright"),
                         QStringLiteral("share/doc/kovra/changelog")};
    for (const int size : kIconSizes)
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(Id());
    QStringList found;
    for (QDirIterator it(Root(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        found << QDir(Root()).relativeFilePath(it.next());
    for (QString& path : expected)
        path.prepend(QStringLiteral("opt/kovra/"));
    expected.sort();
    found.sort();
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(QFileInfo(Below(QStringLiteral("bin/kovra"))).isExecutable());

    // Each PNG is the picture at its folder's size.
    for (const int size : kIconSizes) {
        const QImage icon(Below(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(Id())));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
}

TEST_F(InstalledTree, DesktopEntryAndAppStreamDataPassTheirValidatorsAndNameTheInstalledIcon) {
    const QString entry = Below(QStringLiteral("share/applications/%1.desktop").arg(Id()));
    EXPECT_EQ(Problems(QStringLiteral("desktop-file-validate"), {entry}), QString());
    const QString metainfo = Below(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(Id()));
    EXPECT_EQ(Problems(QStringLiteral("appstreamcli"),
                       {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}),
              QString());
    // The tree as a whole: the metadata's launchable is the installed entry.
    EXPECT_EQ(Problems(QStringLiteral("appstreamcli"),
                       {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), Below(QString())}),
              QString());
    const QString text = QString::fromUtf8(ReadFile(entry));
    for (const QString& line : {QStringLiteral("Exec=kovra %F"), QStringLiteral("Icon=") + Id(),
                                QStringLiteral("MimeType=text/plain;text/x-log;")})
        EXPECT_TRUE(text.split(u'\n').contains(line)) << line.toStdString() << " missing in\n"
                                                      << text.toStdString();
}

// The switches the program's --help lists, as they are typed ("/f=", "--help").
QStringList SwitchesOfTheUsage() {
    const RunResult help = RunProgram(KovraBinary(), {QStringLiteral("--help")});
    static const QRegularExpression switchLine(QStringLiteral("^  ([-/]\\S*?)(PATTERN)?,? "),
                                               QRegularExpression::MultilineOption);
    QStringList switches;
    for (auto it = switchLine.globalMatch(help.out); it.hasNext();)
        switches << it.next().captured(1);
    static const QRegularExpression secondName(QStringLiteral("^  -\\S, (--\\S+)"),
                                               QRegularExpression::MultilineOption);
    for (auto it = secondName.globalMatch(help.out); it.hasNext();)
        switches << it.next().captured(1);
    return switches;
}

TEST_F(InstalledTree, ManualPageRendersWithoutWarningsAndDocumentsEverySwitch) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const RunResult man =
        RunProgram(QStringLiteral("man"),
                   {QStringLiteral("--warnings"), QStringLiteral("-P"), QStringLiteral("cat"),
                    QStringLiteral("-l"), Below(QStringLiteral("share/man/man1/kovra.1"))},
                   env);
    ASSERT_TRUE(!man.crashed && man.exitCode == 0)
        << Show(man) << "\n(man-db brings man; scripts/setup installs it)";
    EXPECT_EQ(man.err, QString()) << "groff warnings";
    const QStringList switches = SwitchesOfTheUsage();
    EXPECT_EQ(switches.size(), 10) << switches.join(u' ').toStdString();
    // The page's option list: each switch starts a tagged paragraph of the OPTIONS section.
    const QString options =
        man.out.section(QStringLiteral("\nOPTIONS\n"), 1).section(QStringLiteral("\nEXIT STATUS\n"), 0, 0);
    for (const QString& name : switches) {
        const QRegularExpression tag(QStringLiteral("^       (.*, )?") + QRegularExpression::escape(name) +
                                         QStringLiteral("(PATTERN)?([ ,]|$)"),
                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(tag.match(options).hasMatch())
            << name.toStdString() << " is not in the OPTIONS section:\n"
            << options.toStdString();
    }
    const QString version = QStringLiteral("Kovra %1.%2.%3")
                                .arg(KOVRA_VERSION_MAJOR)
                                .arg(KOVRA_VERSION_MINOR)
                                .arg(KOVRA_VERSION_PATCH);
    for (const QString& text :
         {QStringLiteral("registry.reg"), QStringLiteral("kovra.ini"), QStringLiteral("XDG_CONFIG_HOME"),
          QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("SIGTERM"), QStringLiteral("EXAMPLES"), version})
        EXPECT_TRUE(man.out.contains(text)) << text.toStdString();
}

TEST_F(InstalledTree, BashCompletionOffersTheSwitchesThenFileNames) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("logs")));
    QFile log(dir_.filePath(QStringLiteral("logs/app.log")));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    // The completion function itself, as bash calls it for "kovra WORDS...<Tab>" (compopt only
    // works inside a real completion, so it is a no-op here).
    const QString script = QStringLiteral(
        "compopt() { :; }; source \"$1\" && complete -p kovra && cd \"$2\" && shift 2 &&"
        " COMP_WORDS=(kovra \"$@\") && COMP_CWORD=$# && _kovra && printf '%s\\n' \"${COMPREPLY[*]}\"");
    const struct {
        QStringList words;
        QString replies;
    } cases[] = {
        {{"/st"}, "/start"}, {{"--v"}, "--version"},   {{"app.log", "/a"}, "/a="}, {{"ap"}, "app.log"},
        {{"--", "/st"}, ""}, {{"--", "a"}, "app.log"}, {{"/f", "=", "ap"}, ""}, // a pattern
    };
    for (const auto& c : cases) {
        const RunResult result =
            RunProgram(QStringLiteral("bash"),
                       QStringList{QStringLiteral("-c"), script, QStringLiteral("bash"),
                                   Below(QStringLiteral("share/bash-completion/completions/kovra")),
                                   dir_.filePath(QStringLiteral("logs"))} +
                           c.words);
        EXPECT_EQ(result.exitCode, 0) << Show(result);
        EXPECT_EQ(result.out.toStdString(), "complete -F _kovra kovra\n" + c.replies.toStdString() + "\n")
            << c.words.join(u' ').toStdString();
    }
}

} // namespace
