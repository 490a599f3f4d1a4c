#include "platform/text_editor.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/file_names.h"
#include "platform/launch.h"

namespace {

constexpr int kXdgMimeTimeoutMs = 5000;

// Words of an Exec value: blanks separate, double quotes group, and inside quotes a backslash
// takes the next character literally.
QStringList SplitExecValue(const QString& value) {
    QStringList words;
    QString word;
    bool inWord = false, quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < value.size())
                word += value[++i];
            else if (c == u'"')
                quoted = false;
            else
                word += c;
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                words += word;
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == u'"')
                quoted = true;
            else
                word += c;
        }
    }
    if (inWord)
        words += word;
    return words;
}

bool IsFileCode(QChar code) {
    return code == u'f' || code == u'F' || code == u'u' || code == u'U';
}

// Decodes the general escapes of a desktop entry value (\s \n \t \r \\).
QString Unescape(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar c = value[++i];
        text += c == u's'   ? QChar(u' ')
                : c == u'n' ? QChar(u'\n')
                : c == u't' ? QChar(u'\t')
                : c == u'r' ? QChar(u'\r')
                            : c;
    }
    return text;
}

QString ExecValueOf(const QString& desktopFile) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return Unescape(line.mid(5));
    }
    return {};
}

QString DefaultTextEditorEntry() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(kXdgMimeTimeoutMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    const QString id = QString::fromUtf8(query.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
    return id.isEmpty() ? QString() : QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
}

} // namespace

QStringList DesktopExecArguments(const QString& execValue, const QString& file) {
    QStringList arguments;
    bool fileGiven = false;
    for (const QString& word : SplitExecValue(execValue)) {
        if (word.size() == 2 && word[0] == u'%' && word[1] != u'%') {
            if (IsFileCode(word[1])) {
                arguments += file;
                fileGiven = true;
            }
            continue; // %i %c %k and the deprecated codes: nothing to give
        }
        QString argument;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%' || i + 1 == word.size()) {
                argument += word[i];
                continue;
            }
            const QChar code = word[++i];
            if (code == u'%') {
                argument += u'%';
            } else if (IsFileCode(code)) {
                argument += file;
                fileGiven = true;
            }
        }
        arguments += argument;
    }
    if (arguments.isEmpty())
        return {};
    if (!fileGiven)
        arguments += file;
    return arguments;
}

bool OpenInTextEditor(const QString& absoluteFile) {
    const QString entry = DefaultTextEditorEntry();
    if (!entry.isEmpty()) {
        const QStringList arguments = DesktopExecArguments(ExecValueOf(entry), absoluteFile);
        if (!arguments.isEmpty() && RunArguments(arguments))
            return true;
    }
    if (RunArguments({QStringLiteral("xdg-open"), absoluteFile}))
        return true;
    return QDesktopServices::openUrl(FileNameToUrl(absoluteFile));
}
