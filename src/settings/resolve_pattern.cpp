// Wildcard resolution: the newest (or greatest-named) file that matches a pattern.
#include "settings/uList.h"

#include <algorithm>
#include <memory>

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

// The last key of the ranking list: sorted without regard to case in the user's locale, a key
// equal to one already present dropped, so of two such files the first one listed stays. Only the
// last key is ever used, so one pass over the candidates finds it.
class Newest {
public:
    Newest() {
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
        collator_.setNumericMode(false);
    }

    void Add(Candidate candidate) {
        if (!best_.name.isEmpty() && collator_.compare(candidate.key, best_.key) <= 0)
            return;
        best_ = std::move(candidate);
    }

    bool Empty() const { return best_.name.isEmpty(); }
    const QString& Name() const { return best_.name; }

private:
    QCollator collator_; // the user's locale
    Candidate best_;
};

QString Resolve(const QString& pattern, int order, FolderListing& listing, const std::atomic<bool>* cancel) {
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folderPart = pattern.left(slash + 1);
    const QRegularExpression matcher = NameMatcher(pattern.mid(slash + 1));

    // The name's kind lists the folder's files (a kind without folders leaves the name as it is).
    // Ranked by name, the listing is kept while the folder does not change; write and creation
    // times change without the folder changing, so ranked by them the files are listed each time.
    const std::shared_ptr<const FolderListing::Listing> listed =
        listing.Files(SourceKindOf(pattern), folderPart, order != 1 && order != 2, cancel);
    if (!listed)
        return pattern;

    Newest newest;
    for (const FolderEntry& file : listed->files) {
        const QString& name = file.name;
        if (!matcher.match(name).hasMatch())
            continue;
        if (order == 1)
            newest.Add({TimeKey(file.modified) + name, name});
        else if (order == 2)
            newest.Add({TimeKey(file.created) + name, name});
        else
            newest.Add({name, name});
    }
    return newest.Empty() ? pattern : folderPart + newest.Name();
}

} // namespace

QString TTailFileManager::ResolvePattern(const QString& pattern, int order, FolderListing* listing,
                                         const std::atomic<bool>* cancel) {
    if (!pattern.contains(QLatin1Char('?')) && !pattern.contains(QLatin1Char('*')))
        return pattern;
    FolderListing once;
    return Resolve(pattern, order, listing ? *listing : once, cancel);
}
