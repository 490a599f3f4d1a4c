#include "platform/send_to_entry.h"

#include <QFileInfo>

#include "kovra_version.h"
#include "platform/settings_paths.h"

namespace {

// Inside a quoted Exec argument these four take a backslash; '%' is doubled, as field codes
// start with it.
QString QuoteExecArgument(const QString& argument) {
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return u'"' + quoted + u'"';
}

// The escapes of a string value, applied after the quoting above (so a backslash of the path
// ends up as four).
QString EscapeValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

QString SendToEntryPath() {
    return XdgBaseFolder("XDG_DATA_HOME", QStringLiteral("/.local/share")) +
           QStringLiteral("/applications/KOVRA.desktop");
}

QString SendToEntryText(const QString& programPath, bool addStart) {
    QString exec = QuoteExecArgument(programPath);
    if (addStart)
        exec += QStringLiteral(" /start");
    exec += QStringLiteral(" %f");
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.4\n"
                          "Name=KOVRA\n"
                          "Comment=Follow the file in a Kovra window\n"
                          // The installed program's icon; a desktop without it shows its default.
                          "Icon=" KOVRA_APP_ID "\n") +
           QStringLiteral("Exec=") + EscapeValue(exec) + u'\n' + QStringLiteral("Path=") +
           EscapeValue(QFileInfo(programPath).absolutePath()) + u'\n' +
           QStringLiteral("Terminal=false\n"
                          "MimeType=text/plain;\n"
                          "Categories=Utility;\n");
}

bool CreateSendToEntry(const QString& entryPath, const QString& programPath, bool addStart) {
    if (QFileInfo::exists(entryPath))
        return true;
    return WriteFileAtomically(entryPath, SendToEntryText(programPath, addStart).toUtf8(), FileAccess::Normal,
                               nullptr);
}
