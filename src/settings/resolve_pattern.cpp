// Wildcard resolution: the newest (or greatest-named) file that matches a pattern.
#include "settings/uList.h"

#include <algorithm>
#include <vector>

#include <QCollator>
#include <QDateTime>
#include <QRegularExpression>

#include "source/source.h"

namespace {

// Only "?" and "*" are wildcards: a file name may hold "[" and "]" as plain characters.
QRegularExpression NameMatcher(const QString& namePattern) {
    QString expression;
    for (const QChar c : namePattern) {
        if (c == QLatin1Char('*'))
            expression += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::DotMatchesEverythingOption);
}

// Local time at two-second resolution as 14 digits: yyyyMMddhhmmss with an even second.
QString TimeKey(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    // Years outside four digits would shift the name in the key; no real file time is there.
    const int year = std::clamp(date.year(), 0, 9999);
    return QString::asprintf("%04d%02d%02d%02d%02d%02d", year, date.month(), date.day(), clock.hour(),
                             clock.minute(), clock.second() - clock.second() % 2);
}

struct Candidate {
    QString key;
    QString name;
};

// The ranking list: sorted without regard to case in the user's locale; a key equal to one
// already present is dropped, so the first of two such files listed stays.
class RankedNames {
public:
    RankedNames() {
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
        collator_.setNumericMode(false);
    }

    void Add(Candidate candidate) {
        const auto at = std::lower_bound(items_.begin(), items_.end(), candidate.key,
                                         [this](const Candidate& item, const QString& key) {
                                             return collator_.compare(item.key, key) < 0;
                                         });
        if (at != items_.end() && collator_.compare(at->key, candidate.key) == 0)
            return;
        items_.insert(at, std::move(candidate));
    }

    bool Empty() const { return items_.empty(); }
    const QString& LastName() const { return items_.back().name; }

private:
    QCollator collator_; // the user's locale
    std::vector<Candidate> items_;
};

} // namespace

QString TTailFileManager::ResolvePattern(const QString& pattern, int order) {
    if (!pattern.contains(QLatin1Char('?')) && !pattern.contains(QLatin1Char('*')))
        return pattern;

    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folderPart = pattern.left(slash + 1);
    const QRegularExpression matcher = NameMatcher(pattern.mid(slash + 1));

    // The name's kind lists the folder's files (a kind without folders leaves the name as it is).
    const std::optional<std::vector<FolderEntry>> entries = SourceKindOf(pattern).ListFiles(folderPart);
    if (!entries)
        return pattern;

    RankedNames ranked;
    for (const FolderEntry& file : *entries) {
        const QString& name = file.name;
        if (!matcher.match(name).hasMatch())
            continue;
        if (order == 1)
            ranked.Add({TimeKey(file.modified) + name, name});
        else if (order == 2)
            ranked.Add({TimeKey(file.created) + name, name});
        else
            ranked.Add({name, name});
    }
    return ranked.Empty() ? pattern : folderPart + ranked.LastName();
}
