#include "platform/ini_file.h"

#include <algorithm>
#include <utility>

#include <QFile>
#include <QFileInfo>

#include "platform/settings_paths.h"

namespace {

QString OneLine(QString text) {
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

template <typename Items> auto FindNamed(Items& items, const QString& name) {
    return std::find_if(items.begin(), items.end(),
                        [&](const auto& item) { return EqualsAsciiCaseInsensitive(item.name, name); });
}

QString FoldAscii(const QString& name) {
    QString folded = name;
    for (QChar& c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

} // namespace

qsizetype IniFile::Section::IndexOf(const QString& entryName) const {
    return index.value(FoldAscii(entryName), -1);
}

const IniFile::Entry* IniFile::Section::Find(const QString& entryName) const {
    const qsizetype at = IndexOf(entryName);
    return at < 0 ? nullptr : &entries[std::size_t(at)];
}

IniFile::Entry& IniFile::Section::Add(const QString& entryName, const QString& value) {
    index.insert(FoldAscii(entryName), qsizetype(entries.size()));
    return entries.emplace_back(Entry{entryName, value});
}

IniFile::IniFile(QString filePath) : filePath_(std::move(filePath)) {}

bool IniFile::FileExists() const {
    return QFileInfo::exists(filePath_);
}

bool IniFile::Load(QString* error) {
    sections_.clear();
    QString text;
    if (!ReadSettingsText(filePath_, &text, error))
        return false;
    Parse(text);
    return true;
}

void IniFile::Parse(const QString& text) {
    Section* section = nullptr; // values before any readable section are dropped
    for (QStringView line : QStringView(text).split(u'\n')) {
        while (line.endsWith(u'\r'))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.startsWith(u'[')) {
            const qsizetype close = trimmed.lastIndexOf(u']');
            section = nullptr;
            if (close > 0) {
                const QString name = trimmed.mid(1, close - 1).toString();
                section = FindSection(name);
                if (!section)
                    section = &sections_.emplace_back(Section{name, {}, {}});
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!section || equals < 0)
            continue;
        const QString name = line.left(equals).trimmed().toString();
        if (!name.isEmpty() && !section->Find(name))
            section->Add(name, line.mid(equals + 1).toString());
    }
}

// LF line ends: the file lives in a Linux user's config folder, where LF is what editors and
// tools expect; our reader takes CRLF as well, so files copied from Windows still load.
bool IniFile::Save(QString* error) const {
    QString out;
    for (const Section& section : sections_) {
        if (!out.isEmpty())
            out += u'\n';
        out += u'[' + section.name + QStringLiteral("]\n");
        for (const Entry& entry : section.entries)
            out += entry.name + u'=' + entry.value + u'\n';
    }
    return WriteFileAtomically(filePath_, out.toUtf8(), FileAccess::Normal, error);
}

const IniFile::Section* IniFile::FindSection(const QString& section) const {
    const auto it = FindNamed(sections_, section);
    return it == sections_.end() ? nullptr : &*it;
}

IniFile::Section* IniFile::FindSection(const QString& section) {
    const auto it = FindNamed(sections_, section);
    return it == sections_.end() ? nullptr : &*it;
}

bool IniFile::SectionExists(const QString& section) const {
    return FindSection(section) != nullptr;
}

QStringList IniFile::Sections() const {
    QStringList names;
    for (const Section& section : sections_)
        names += section.name;
    return names;
}

QStringList IniFile::ValueNames(const QString& section) const {
    QStringList names;
    if (const Section* found = FindSection(section)) {
        for (const Entry& entry : found->entries)
            names += entry.name;
    }
    return names;
}

bool IniFile::ValueExists(const QString& section, const QString& name) const {
    const Section* found = FindSection(section);
    return found && found->Find(name);
}

QString IniFile::ReadString(const QString& section, const QString& name, const QString& defaultValue) const {
    const Section* found = FindSection(section);
    if (!found)
        return defaultValue;
    const Entry* entry = found->Find(name);
    return entry ? entry->value : defaultValue;
}

void IniFile::WriteString(const QString& section, const QString& name, const QString& value) {
    Section* found = FindSection(section);
    if (!found)
        found = &sections_.emplace_back(Section{OneLine(section), {}, {}});
    // Trimmed as the reader trims it, so the name reads back the same.
    const QString key = OneLine(name).trimmed();
    if (const qsizetype at = found->IndexOf(key); at >= 0)
        found->entries[std::size_t(at)].value = OneLine(value);
    else
        found->Add(key, OneLine(value));
}

void IniFile::EraseSection(const QString& section) {
    std::erase_if(sections_, [&](const Section& s) { return EqualsAsciiCaseInsensitive(s.name, section); });
}
