#pragma once
// An INI file held whole in memory: sections named in square brackets, "name=value" lines.
// Read as UTF-8, CRLF or LF line ends, a leading BOM tolerated; section and value names compare
// without regard to ASCII case (as Windows INI files do) and keep their order and spelling.
// Of a name given twice in a section the first counts, as Windows reads it; a section whose
// header comes twice reads as one. A broken section line ("[name" without "]") hides the values
// under it rather than filing them in the section before; values before any section are hidden.
// Not thread-safe: one thread owns an object.
//
// The file is shared with people and other programs, so a save changes only what was changed:
// every line is kept as the bytes it was read as (comments, unknown lines, damaged lines, bytes
// that are not UTF-8, the line ends), and a value written with the text it already holds keeps
// its bytes. Only values written with a new text, and sections erased and written again, are
// composed anew (UTF-8, the file's own line end). A file that is not UTF-8 text (UTF-16) cannot be
// loaded, so it is never overwritten with what little could be read of it. Saving writes the
// whole file atomically (temporary file + rename), creating the folder.
//
// Values are kept verbatim (paths and patterns hold backslashes), so a line break cannot be
// stored: WriteString turns CR and LF into spaces, which also keeps a value from forging lines.
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class IniFile final {
public:
    explicit IniFile(QString filePath);

    const QString& FilePath() const { return filePath_; }
    bool FileExists() const;
    // Reads the whole file. A missing file gives an empty object and true; false with *error when
    // an existing file cannot be read or is not UTF-8 text.
    bool Load(QString* error = nullptr);
    // Writes the file, unless it would get the very bytes it was loaded with.
    bool Save(QString* error = nullptr) const;

    bool SectionExists(const QString& section) const;
    QStringList Sections() const;
    QStringList ValueNames(const QString& section) const;
    bool ValueExists(const QString& section, const QString& name) const;
    // defaultValue when the section or value is missing.
    QString ReadString(const QString& section, const QString& name, const QString& defaultValue = {}) const;
    // Creates the section (at the end) and the value (at the end of its section) when missing.
    void WriteString(const QString& section, const QString& name, const QString& value);
    // Removes the section's values and unreadable lines; its comments (";", "#") and blank lines
    // stay. Values written into it again with the text they had keep their bytes.
    void EraseSection(const QString& section);

private:
    // One line: its bytes without the LF (a CR of a CRLF end stays in them).
    struct Line {
        QByteArray raw;
        bool isValue = false;
        QString name;  // value lines
        QString value; // value lines, decoded
    };
    // The lines from one section header to the next (the first block has no header).
    struct Block {
        QString name;       // empty for the lines before any section and under a broken header
        bool named = false; // a readable header
        QByteArray header;
        std::vector<Line> lines;
        QHash<QString, qsizetype> index; // ASCII-folded name -> first line of that name
    };
    // A value erased with its section: its text and bytes, in case it is written back unchanged.
    struct ErasedValue {
        QString value;
        QByteArray raw;
    };
    std::vector<Block*> BlocksOf(const QString& section);
    std::vector<const Block*> BlocksOf(const QString& section) const;
    const Line* FindValue(const QString& section, const QString& name) const;
    QByteArray Compose(const QString& text) const;
    void Parse(const QByteArray& bytes);

    QString filePath_;
    std::vector<Block> blocks_;
    QHash<QString, QHash<QString, ErasedValue>> erased_; // folded section -> folded name -> value
    QByteArray loaded_; // the bytes of the file as loaded; null when there was none
    bool crlf_ = false;
    bool finalLineEnd_ = true;
};
