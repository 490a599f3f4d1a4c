#pragma once
// An INI file held whole in memory: sections named in square brackets, "name=value" lines.
// Read as UTF-8, CRLF or LF line ends, a leading BOM tolerated; section and value names compare
// without regard to ASCII case (as Windows INI files do) and keep their order and spelling.
// Lines that are neither a section, a value nor blank are skipped; values before any section are
// dropped. Saving writes the whole file atomically (temporary file + rename), creating the folder,
// so readers in other processes see either the old or the new file, never a torn one.
// Not thread-safe: one thread owns an object.
//
// Values are kept verbatim (paths and patterns hold backslashes), so a line break cannot be
// stored: WriteString turns CR and LF into spaces, which also keeps a value from forging lines.
// Of a name given twice in a section the first counts, as Windows reads it. A broken section line
// ("[name" without "]") drops the values under it rather than filing them in the section before.
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

class IniFile final {
public:
    explicit IniFile(QString filePath);

    const QString& FilePath() const { return filePath_; }
    bool FileExists() const;
    // Reads the whole file. A missing file gives an empty object and true; false with *error only
    // when an existing file cannot be read.
    bool Load(QString* error = nullptr);
    bool Save(QString* error = nullptr) const;

    bool SectionExists(const QString& section) const;
    QStringList Sections() const;
    QStringList ValueNames(const QString& section) const;
    bool ValueExists(const QString& section, const QString& name) const;
    // defaultValue when the section or value is missing.
    QString ReadString(const QString& section, const QString& name, const QString& defaultValue = {}) const;
    // Creates the section (at the end) and the value (at the end of its section) when missing.
    void WriteString(const QString& section, const QString& name, const QString& value);
    void EraseSection(const QString& section);

private:
    struct Entry {
        QString name;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        // Entry positions by ASCII-folded name: a file list of a thousand entries holds tens of
        // thousands of values, looked up one by one.
        QHash<QString, qsizetype> index;

        // -1 when missing.
        qsizetype IndexOf(const QString& entryName) const;
        const Entry* Find(const QString& entryName) const;
        Entry& Add(const QString& entryName, const QString& value);
    };
    const Section* FindSection(const QString& section) const;
    Section* FindSection(const QString& section);
    void Parse(const QString& text);

    QString filePath_;
    std::vector<Section> sections_;
};
