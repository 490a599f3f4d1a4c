#include "source/ssh_name.h"

namespace {

constexpr QLatin1StringView kSchemes[] = {QLatin1StringView("ssh://"), QLatin1StringView("sftp://")};

qsizetype SchemeLength(const QString& name) {
    for (const QLatin1StringView scheme : kSchemes)
        if (name.startsWith(scheme, Qt::CaseInsensitive))
            return scheme.size();
    return -1;
}

std::optional<SshName> Malformed(const QString& name, const char* why, QString* error) {
    if (error)
        *error = QLatin1String(why) + QLatin1String(": ") + name;
    return std::nullopt;
}

} // namespace

QString SshName::Target() const {
    QString target = user.isEmpty() ? QString() : user + u'@';
    target += host.contains(u':') ? u'[' + host + u']' : host;
    if (port != 0)
        target += u':' + QString::number(port);
    return target;
}

bool IsSshName(const QString& name) {
    return SchemeLength(name) > 0;
}

std::optional<SshName> ParseSshName(const QString& name, QString* error) {
    const qsizetype from = SchemeLength(name);
    if (from < 0)
        return Malformed(name, "Not an ssh:// name", error);
    const qsizetype slash = name.indexOf(u'/', from);
    if (slash < 0)
        return Malformed(name, "No path on the server in", error);
    SshName parsed;
    parsed.path = name.mid(slash);
    QStringView authority = QStringView(name).sliced(from, slash - from);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
        parsed.user = authority.first(at).toString();
        authority = authority.sliced(at + 1);
    }
    QStringView port;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return Malformed(name, "Unclosed [ in the host of", error);
        parsed.host = authority.sliced(1, close - 1).toString();
        authority = authority.sliced(close + 1);
        if (!authority.isEmpty() && !authority.startsWith(u':'))
            return Malformed(name, "Unexpected text after the host of", error);
        port = authority.isEmpty() ? QStringView() : authority.sliced(1);
    } else {
        const qsizetype colon = authority.indexOf(u':');
        parsed.host = authority.first(colon < 0 ? authority.size() : colon).toString();
        port = colon < 0 ? QStringView() : authority.sliced(colon + 1);
    }
    if (parsed.host.isEmpty())
        return Malformed(name, "No host in", error);
    if (!port.isEmpty()) {
        bool ok = false;
        parsed.port = port.toInt(&ok);
        if (!ok || parsed.port < 1 || parsed.port > 65535)
            return Malformed(name, "Bad port in", error);
    }
    return parsed;
}
