// Wildcard resolution: the newest (or greatest-named) file that matches a pattern.
#include "settings/uList.h"

#include <algorithm>
#include <memory>

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

// Linux file systems without a birth time (or kernels that do not report it) fall back to the
// time of the last metadata change, the closest thing they keep.
QDateTime CreationTime(const QFileInfo& info) {
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
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

QString Resolve(const QString& pattern, int order, FolderListing& listing) {
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folderPart = pattern.left(slash + 1);
    const QRegularExpression matcher = NameMatcher(pattern.mid(slash + 1));

    // Hidden files count; folders do not. Sockets, FIFOs and devices are left out too: reading a
    // FIFO would block the pass.
    const QString folder = folderPart.isEmpty() ? QStringLiteral(".") : folderPart;
    const std::shared_ptr<const FolderListing::Names> names = listing.Files(folder);

    Newest newest;
    for (const QString& name : names->files) {
        if (!matcher.match(name).hasMatch())
            continue;
        if (order == 1 || order == 2) {
            // Write and creation times change without the folder changing: asked every time.
            const QFileInfo info(folderPart + name);
            if (!info.exists())
                continue;
            newest.Add({TimeKey(order == 1 ? info.lastModified() : CreationTime(info)) + name, name});
        } else {
            newest.Add({name, name});
        }
    }
    return newest.Empty() ? pattern : folderPart + newest.Name();
}

} // namespace

QString TTailFileManager::ResolvePattern(const QString& pattern, int order, FolderListing* listing) {
    if (!pattern.contains(QLatin1Char('?')) && !pattern.contains(QLatin1Char('*')))
        return pattern;
    FolderListing once;
    return Resolve(pattern, order, listing ? *listing : once);
}
