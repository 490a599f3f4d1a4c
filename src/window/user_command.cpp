#include "window/user_command.h"

#include <QProcess>

namespace {

// "%s" -> file, "%%" -> "%"; false for any other use of "%" or a second "%s".
bool Substitute(const QString& text, const QString& fileName, int* fileCodes, QString* result) {
    result->clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            *result += text[i];
            continue;
        }
        const QChar code = i + 1 < text.size() ? text[i + 1] : QChar();
        if (code == u'%') {
            *result += u'%';
        } else if (code == u's' && ++*fileCodes == 1) {
            *result += fileName;
        } else {
            return false;
        }
        ++i;
    }
    return true;
}

} // namespace

ExpandedUserCommand ExpandUserCommand(const QString& commandTemplate, const QString& fileName) {
    ExpandedUserCommand expanded;
    expanded.caption = commandTemplate;
    const QString line = commandTemplate.trimmed();
    int fileCodes = 0;
    QString caption;
    if (line.isEmpty() || !Substitute(line, fileName, &fileCodes, &caption))
        return expanded;
    QStringList arguments;
    int wordCodes = 0;
    for (const QString& word : QProcess::splitCommand(line)) {
        QString argument;
        Substitute(word, fileName, &wordCodes, &argument);
        arguments += argument;
    }
    if (arguments.isEmpty())
        return expanded;
    expanded.ok = true;
    expanded.caption = caption;
    expanded.arguments = arguments;
    return expanded;
}
