#include "source/journal_name.h"

#include <QStringList>

namespace {

// Field names as the journal accepts them: upper-case letters, digits and "_", not starting with
// a digit, at most 64 characters.
bool IsFieldName(QStringView field) {
    if (field.isEmpty() || field.size() > 64 || field.front().isDigit())
        return false;
    for (const QChar c : field) {
        if (!(c == u'_' || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

bool IsUnitName(QStringView token) {
    static const char16_t* const kSuffixes[] = {u".service",   u".socket", u".device", u".mount",
                                                u".automount", u".swap",   u".target", u".path",
                                                u".timer",     u".slice",  u".scope"};
    if (token.contains(u'='))
        return false;
    for (const char16_t* suffix : kSuffixes) {
        const QStringView s(suffix);
        if (token.size() > s.size() && token.endsWith(s))
            return true;
    }
    return false;
}

std::optional<QByteArray> MatchOf(QStringView token) {
    if (IsUnitName(token))
        return QByteArray("_SYSTEMD_UNIT=") + token.toUtf8();
    const qsizetype equals = token.indexOf(u'=');
    if (equals < 0 || !IsFieldName(token.first(equals)))
        return std::nullopt;
    return token.toUtf8();
}

// "A=1+B=2" is two matches joined by "or" when every part is a match; otherwise the "+" belongs
// to the value ("MESSAGE=a+b").
QStringList SplitOnPlus(const QString& token) {
    const QStringList parts = token.split(u'+');
    if (parts.size() < 2)
        return {token};
    for (const QString& part : parts) {
        if (!MatchOf(part))
            return {token};
    }
    QStringList pieces;
    for (const QString& part : parts) {
        if (!pieces.isEmpty())
            pieces.push_back(QStringLiteral("+"));
        pieces.push_back(part);
    }
    return pieces;
}

} // namespace

bool IsJournalName(const QString& name) {
    return name.startsWith(QStringView(kJournalPrefix));
}

std::optional<JournalName> ParseJournalName(const QString& name, QString* error) {
    if (!IsJournalName(name))
        return std::nullopt;
    JournalName parsed;
    QString rest = name.mid(QStringView(kJournalPrefix).size());
    if (rest.startsWith(u'/')) {
        const qsizetype colon = rest.indexOf(u':');
        parsed.folder = colon < 0 ? rest : rest.left(colon);
        rest = colon < 0 ? QString() : rest.mid(colon + 1);
    }
    parsed.matchText = rest.trimmed();
    parsed.groups.emplace_back();
    for (const QString& token : rest.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        for (const QString& piece : SplitOnPlus(token)) {
            if (piece == QLatin1String("+")) {
                parsed.groups.emplace_back();
                continue;
            }
            const std::optional<QByteArray> match = MatchOf(piece);
            if (!match) {
                if (error)
                    *error = QStringLiteral("Not a journal match: ") + piece;
                return std::nullopt;
            }
            parsed.groups.back().push_back(*match);
        }
    }
    std::erase_if(parsed.groups, [](const std::vector<QByteArray>& group) { return group.empty(); });
    return parsed;
}
