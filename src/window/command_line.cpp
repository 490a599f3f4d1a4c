#include "window/command_line.h"

#include <algorithm>

namespace {

bool NeedsQuotes(const QString& argument) {
    return argument.isEmpty() || argument.contains(u'"') ||
           std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return c.isSpace(); });
}

// "/f=" and "/a=": the rest of the argument when its first three characters match, ignoring case.
bool TakePattern(const QString& argument, QStringView prefix, QString& pattern, QString& atCheck,
                 bool& checked) {
    if (!argument.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    pattern += RemoveEndQuotes(argument.mid(prefix.size()));
    if (!checked)
        atCheck = pattern;
    checked = true;
    return true;
}

void ApplyArgument(const QString& argument, CommandLineOptions& options) {
    if (argument.compare(u"/start", Qt::CaseInsensitive) == 0) {
        options.start = true;
    } else if (argument.compare(u"/minimized", Qt::CaseInsensitive) == 0) {
        options.minimized = true;
    } else if (argument.compare(u"/recycle", Qt::CaseInsensitive) == 0) {
        options.recycle = true;
    } else if (TakePattern(argument, u"/f=", options.filterPattern, options.filterAtCheck,
                           options.filterChecked)) {
    } else if (TakePattern(argument, u"/a=", options.alertPattern, options.alertAtCheck,
                           options.alertChecked)) {
    } else if (argument == u"#") {
        // A placeholder some launchers put where no file is given.
    } else if (!options.fileNameGiven) {
        options.fileName = argument;
        options.fileNameGiven = true;
    }
}

} // namespace

QString RawCommandLine(const QStringList& arguments) {
    QStringList parts;
    parts.reserve(arguments.size());
    for (const QString& argument : arguments) {
        if (!NeedsQuotes(argument)) {
            parts << argument;
            continue;
        }
        QString quoted = argument;
        quoted.replace(u'"', QStringLiteral("\\\""));
        parts << u'"' + quoted + u'"';
    }
    return parts.join(u' ');
}

QString RemoveEndQuotes(QString text) {
    if (text.size() < 2)
        return text;
    if (text.startsWith(u'"'))
        text.remove(0, 1);
    if (text.endsWith(u'"'))
        text.chop(1);
    return text;
}

CommandLineOptions ParseCommandLine(const QStringList& arguments) {
    CommandLineOptions options;
    options.rawCommandLine = RawCommandLine(arguments);
    qsizetype i = 1;
    for (; i < arguments.size() && arguments[i] != u"--"; ++i)
        ApplyArgument(arguments[i], options);
    // After "--" only names: a file called "--x" or "/start" is reachable there.
    if (++i < arguments.size() && !options.fileNameGiven) {
        options.fileName = arguments[i];
        options.fileNameGiven = true;
    }
    return options;
}
