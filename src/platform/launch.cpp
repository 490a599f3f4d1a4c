#include "platform/launch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <optional>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_names.h"
#include "platform/text_editor.h"

namespace {

std::atomic<bool> g_closing{false};

bool ProgramClosing() {
    return g_closing.load() || QCoreApplication::closingDown();
}

// The spawn attributes as a scoped object: an empty signal mask and default SIGPIPE / SIGCHLD for
// the child, whatever this process's threads have blocked or ignored.
class SpawnSetup final {
public:
    SpawnSetup(const QString& folder, bool newSession) {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setflags(&m_attributes,
                                 static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                    (newSession ? POSIX_SPAWN_SETSID : 0)));
        if (!folder.isEmpty()) {
            m_folder = EncodeFileName(folder);
            posix_spawn_file_actions_addchdir_np(&m_actions, m_folder.constData());
        }
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&m_attributes);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
    const posix_spawnattr_t* Attributes() const { return &m_attributes; }

private:
    QByteArray m_folder; // addchdir keeps the pointer until the spawn
    posix_spawn_file_actions_t m_actions{};
    posix_spawnattr_t m_attributes{};
};

// Arguments as the bytes the program receives: file names keep the bytes they have on disk.
std::optional<pid_t> Spawn(const QStringList& argv, const QString& folder, bool newSession) {
    std::vector<QByteArray> encoded;
    encoded.reserve(static_cast<size_t>(argv.size()));
    for (const QString& arg : argv)
        encoded.push_back(EncodeFileName(arg));
    std::vector<char*> pointers;
    for (QByteArray& arg : encoded)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const SpawnSetup setup(folder, newSession);
    pid_t child = 0;
    // glibc reports a failed exec (unknown program, missing folder) as the result.
    if (posix_spawnp(&child, pointers[0], setup.Actions(), setup.Attributes(), pointers.data(), environ) != 0)
        return std::nullopt;
    return child;
}

// A detached program runs in a session of its own and is reaped, whenever it ends, by a thread
// that does nothing else.
std::optional<pid_t> SpawnDetached(const QStringList& argv, const QString& folder) {
    const auto child = Spawn(argv, folder, true);
    if (child) {
        std::thread([pid = *child] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    return child;
}

// True when the child was reaped; false when the wait was given up because the program closes.
bool WaitForChild(pid_t child, bool withoutLimit, int pollIntervalMs) {
    int status = 0;
    if (withoutLimit) {
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return true;
        }
        return true;
    }
    for (;;) {
        const pid_t reaped = ::waitpid(child, &status, WNOHANG);
        if (reaped == child || (reaped < 0 && errno != EINTR))
            return true;
        if (ProgramClosing())
            return false;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        if (pollIntervalMs > 0)
            QThread::msleep(static_cast<unsigned long>(pollIntervalMs));
    }
}

bool Start(const QStringList& argv, const QString& folder, bool wait, bool waitWithoutLimit,
           int pollIntervalMs, qint64* pid) {
    if (argv.isEmpty() || argv.first().isEmpty())
        return false;
    const auto child = wait ? Spawn(argv, folder, false) : SpawnDetached(argv, folder);
    if (!child)
        return false;
    if (pid)
        *pid = *child;
    if (wait)
        WaitForChild(*child, waitWithoutLimit, pollIntervalMs);
    return true;
}

// xdg-open, looked up at each call, or else Qt's desktop services, which cannot give a program a
// file name that is not UTF-8.
bool OpenOnDesktop(const QString& argument, const QUrl& url) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return RunArguments({opener, argument});
    return QDesktopServices::openUrl(url);
}

bool OpenLocalFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return OpenOnDesktop(absolute, FileNameToUrl(absolute));
}

bool IsNotepad(const QString& program) {
    return program.compare(u"notepad", Qt::CaseInsensitive) == 0 ||
           program.compare(u"notepad.exe", Qt::CaseInsensitive) == 0;
}

// "notepad " + name: everything after the program's name and one blank is the file name, whole
// (blanks, quotes and leading dashes included); nullopt for other command lines.
std::optional<QString> NotepadFileName(const QString& commandLine) {
    const auto start =
        std::find_if(commandLine.cbegin(), commandLine.cend(), [](QChar c) { return !c.isSpace(); });
    const auto blank = std::find_if(start, commandLine.cend(), [](QChar c) { return c.isSpace(); });
    if (!IsNotepad(QStringView(start, blank).toString()))
        return std::nullopt;
    return blank == commandLine.cend() ? QString() : QStringView(blank + 1, commandLine.cend()).toString();
}

// A relative name that starts with "-" would be read as an option by any program.
QString NotOption(const QString& name) {
    return name.startsWith(u'-') ? QStringLiteral("./") + name : name;
}

bool IsConsoleInterpreter(const QString& file) {
    const QString name = QFileInfo(file).fileName();
    return name.compare(u"cmd.exe", Qt::CaseInsensitive) == 0 ||
           name.compare(u"command.exe", Qt::CaseInsensitive) == 0;
}

// "/K ping.exe X" -> a terminal running ping -c 4 X and then an interactive shell, so the console
// stays open as "/K" asks. X reaches the script as "$1", never as script text.
std::optional<QStringList> ConsoleCommand(const QString& parameters) {
    struct Translation {
        QString prefix;
        QString script;
    };
    static const Translation kTranslations[] = {
        {QStringLiteral("/K ping.exe "), QStringLiteral("ping -c 4 \"$@\"; exec \"${SHELL:-sh}\"")},
        {QStringLiteral("/K tracert.exe "), QStringLiteral("traceroute \"$@\"; exec \"${SHELL:-sh}\"")},
    };
    const QString text = parameters.trimmed() + u' ';
    for (const Translation& translation : kTranslations) {
        if (!text.startsWith(translation.prefix, Qt::CaseInsensitive))
            continue;
        const QString target = text.mid(translation.prefix.size()).trimmed();
        if (target.startsWith(u'-'))
            return std::nullopt;
        QStringList terminal = QProcess::splitCommand(qEnvironmentVariable("TERMINAL"));
        if (terminal.isEmpty())
            terminal = QStringList{QStringLiteral("x-terminal-emulator")};
        terminal << QStringLiteral("-e") << QStringLiteral("sh") << QStringLiteral("-c") << translation.script
                 << QStringLiteral("sh");
        if (!target.isEmpty())
            terminal << target;
        return terminal;
    }
    return std::nullopt;
}

// A scheme of two characters or more, then ":" ("C:" is no scheme).
bool HasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

// A text with a scheme (http:, mailto:) is a URL unless a file of that name exists.
bool OpenWithDesktop(const QString& target, const QString& folder) {
    const QString local = folder.isEmpty() ? target : QDir(folder).filePath(target);
    if (!HasScheme(target) || StatFile(local).exists)
        return OpenLocalFile(local);
    return OpenUrl(target);
}

} // namespace

bool RunCommand(const QString& commandLine, bool wait, bool waitWithoutLimit, int pollIntervalMs, qint64* pid,
                int /*showMode*/) {
    const QString line = commandLine.trimmed();
    if (line.isEmpty())
        return false;
    if (const auto name = NotepadFileName(commandLine)) {
        // The bound is on the name itself, so every name the file system takes opens.
        if (name->isEmpty() || EncodeFileName(*name).size() > kMaxCommandLineLength)
            return false;
        const QString program = QStringLiteral("notepad");
        if (!QStandardPaths::findExecutable(program).isEmpty())
            return Start({program, NotOption(*name)}, QString(), wait, waitWithoutLimit, pollIntervalMs, pid);
        if (pid)
            *pid = 0;
        return OpenInTextEditor(QFileInfo(*name).absoluteFilePath());
    }
    if (line.size() > kMaxCommandLineLength)
        return false;
    return Start(QProcess::splitCommand(line), QString(), wait, waitWithoutLimit, pollIntervalMs, pid);
}

// What a strict parse refuses (blanks, "<", "|", "%zz") is percent-encoded by the tolerant one.
bool OpenUrl(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!HasScheme(trimmed))
        return false;
    const QUrl url(trimmed, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return OpenOnDesktop(QString::fromLatin1(url.toEncoded()), url);
}

bool RunArguments(const QStringList& arguments, qint64* pid) {
    return Start(arguments, QString(), false, false, 0, pid);
}

bool ShellRun(const QString& file, const QString& parameters, const QString& folder, int pollIntervalMs,
              int /*showMode*/, bool wait) {
    const QString target = file.trimmed();
    if (target.isEmpty())
        return false;
    if (parameters.trimmed().isEmpty())
        return OpenWithDesktop(target, folder);
    if (IsConsoleInterpreter(target)) {
        const auto console = ConsoleCommand(parameters);
        return console && Start(*console, QString(), wait, false, pollIntervalMs, nullptr);
    }
    QStringList argv = QProcess::splitCommand(parameters);
    argv.prepend(target);
    return Start(argv, folder, wait, false, pollIntervalMs, nullptr);
}

void SetProgramClosing(bool closing) {
    g_closing.store(closing);
}
