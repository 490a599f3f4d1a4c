#include "platform/ini_file.h"

#include <algorithm>
#include <utility>

#include <QFileInfo>

#include "platform/settings_paths.h"

namespace {

QString OneLine(QString text) {
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QString FoldAscii(const QString& name) {
    return FoldAsciiCase(name);
}

bool Blank(const QByteArray& raw) {
    return raw.trimmed().isEmpty();
}

} // namespace

IniFile::IniFile(QString filePath) : filePath_(std::move(filePath)) {
    blocks_.emplace_back();
}

bool IniFile::FileExists() const {
    return QFileInfo::exists(filePath_);
}

bool IniFile::Load(QString* error) {
    QByteArray bytes;
    const bool existed = FileExists();
    const bool read = ReadSettingsBytes(filePath_, &bytes, error);
    Parse(bytes);
    if (read && existed)
        loaded_ = bytes;
    return read;
}

void IniFile::Parse(const QByteArray& bytes) {
    blocks_.assign(1, Block{});
    erased_.clear();
    loaded_ = QByteArray();
    // Nothing is no line: a file made from scratch does not start with an empty one.
    QList<QByteArray> raws = bytes.isEmpty() ? QList<QByteArray>() : bytes.split('\n');
    finalLineEnd_ = bytes.isEmpty() || bytes.endsWith('\n');
    if (bytes.endsWith('\n'))
        raws.removeLast();
    crlf_ = !raws.isEmpty() && raws.front().endsWith('\r');
    for (qsizetype i = 0; i < raws.size(); ++i) {
        const QByteArray& raw = raws[i];
        QString text = QString::fromUtf8(i == 0 && raw.startsWith("\xEF\xBB\xBF") ? raw.mid(3) : raw);
        while (text.endsWith(u'\r'))
            text.chop(1);
        const QStringView trimmed = QStringView(text).trimmed();
        if (trimmed.startsWith(u'[')) {
            Block& block = blocks_.emplace_back();
            block.header = raw;
            const qsizetype close = trimmed.lastIndexOf(u']');
            block.named = close > 0;
            if (block.named)
                block.name = trimmed.mid(1, close - 1).toString();
            continue;
        }
        Block& block = blocks_.back();
        Line& line = block.lines.emplace_back(Line{raw, false, {}, {}});
        const qsizetype equals = text.indexOf(u'=');
        if (!block.named || equals < 0)
            continue;
        line.name = text.left(equals).trimmed();
        line.isValue = !line.name.isEmpty();
        if (line.isValue) {
            line.value = text.mid(equals + 1);
            const QString folded = FoldAscii(line.name);
            if (!block.index.contains(folded)) // the first of a name counts
                block.index.insert(folded, qsizetype(block.lines.size()) - 1);
        }
    }
}

// Only what changed was composed anew; every other line goes back as the bytes it was read as.
bool IniFile::Save(QString* error) const {
    QByteArray out;
    bool first = true;
    const auto put = [&](const QByteArray& raw) {
        if (!first)
            out += '\n';
        out += raw;
        first = false;
    };
    for (const Block& block : blocks_) {
        const bool keep = !block.named || !erased_.contains(FoldAscii(block.name)) ||
                          std::any_of(block.lines.begin(), block.lines.end(),
                                      [](const Line& line) { return line.isValue || !Blank(line.raw); });
        if (!keep)
            continue;
        if (!block.header.isNull())
            put(block.header);
        for (const Line& line : block.lines)
            put(line.raw);
    }
    if (!first && finalLineEnd_)
        out += '\n';
    // What is there already is not written again: a start that changes nothing leaves the file be.
    if (!loaded_.isNull() && out == loaded_)
        return true;
    return WriteFileAtomically(filePath_, out, FileAccess::Normal, error);
}

std::vector<IniFile::Block*> IniFile::BlocksOf(const QString& section) {
    std::vector<Block*> found;
    for (Block& block : blocks_) {
        if (block.named && EqualsAsciiCaseInsensitive(block.name, section))
            found.push_back(&block);
    }
    return found;
}

std::vector<const IniFile::Block*> IniFile::BlocksOf(const QString& section) const {
    std::vector<const Block*> found;
    for (const Block& block : blocks_) {
        if (block.named && EqualsAsciiCaseInsensitive(block.name, section))
            found.push_back(&block);
    }
    return found;
}

const IniFile::Line* IniFile::FindValue(const QString& section, const QString& name) const {
    const QString folded = FoldAscii(name);
    for (const Block* block : BlocksOf(section)) {
        if (const qsizetype at = block->index.value(folded, -1); at >= 0)
            return &block->lines[std::size_t(at)];
    }
    return nullptr;
}

QByteArray IniFile::Compose(const QString& text) const {
    return crlf_ ? text.toUtf8() + '\r' : text.toUtf8();
}

bool IniFile::SectionExists(const QString& section) const {
    if (!erased_.contains(FoldAscii(section)))
        return !BlocksOf(section).empty();
    return !ValueNames(section).isEmpty();
}

QStringList IniFile::Sections() const {
    QStringList names;
    for (const Block& block : blocks_) {
        if (!block.named || !SectionExists(block.name))
            continue;
        const bool seen = std::any_of(names.begin(), names.end(), [&](const QString& name) {
            return EqualsAsciiCaseInsensitive(name, block.name);
        });
        if (!seen)
            names += block.name;
    }
    return names;
}

QStringList IniFile::ValueNames(const QString& section) const {
    QStringList names;
    QHash<QString, bool> seen;
    for (const Block* block : BlocksOf(section)) {
        for (const Line& line : block->lines) {
            if (line.isValue && !seen.contains(FoldAscii(line.name))) {
                seen.insert(FoldAscii(line.name), true);
                names += line.name;
            }
        }
    }
    return names;
}

bool IniFile::ValueExists(const QString& section, const QString& name) const {
    return FindValue(section, name) != nullptr;
}

QString IniFile::ReadString(const QString& section, const QString& name, const QString& defaultValue) const {
    const Line* line = FindValue(section, name);
    return line ? line->value : defaultValue;
}

void IniFile::WriteString(const QString& section, const QString& name, const QString& value) {
    // Trimmed as the reader trims it, so the name reads back the same.
    const QString key = OneLine(name).trimmed();
    const QString text = OneLine(value);
    const QString folded = FoldAscii(key);
    finalLineEnd_ = true;
    std::vector<Block*> blocks = BlocksOf(section);
    for (Block* block : blocks) {
        if (const qsizetype at = block->index.value(folded, -1); at >= 0) {
            Line& line = block->lines[std::size_t(at)];
            if (line.value != text) {
                line.value = text;
                line.raw = Compose(line.name + u'=' + text);
            }
            return;
        }
    }
    if (blocks.empty()) {
        // A blank line parts the new section from what the file ends with.
        Block& last = blocks_.back();
        const QByteArray* lastLine = !last.lines.empty()     ? &last.lines.back().raw
                                     : !last.header.isNull() ? &last.header
                                                             : nullptr;
        if (lastLine && !Blank(*lastLine))
            last.lines.push_back(Line{Compose(QString()), false, {}, {}});
        Block& added = blocks_.emplace_back();
        added.name = OneLine(section);
        added.named = true;
        added.header = Compose(u'[' + added.name + u']');
        blocks.push_back(&added);
    }
    Line line{Compose(key + u'=' + text), true, key, text};
    const ErasedValue erased = erased_.value(FoldAscii(section)).value(folded);
    if (!erased.raw.isNull() && erased.value == text)
        line.raw = erased.raw;
    // Into the section's first block, ahead of the blank lines that part it from the next section.
    Block& block = *blocks.front();
    qsizetype at = qsizetype(block.lines.size());
    while (at > 0 && !block.lines[std::size_t(at - 1)].isValue && Blank(block.lines[std::size_t(at - 1)].raw))
        --at;
    block.lines.insert(block.lines.begin() + at, std::move(line));
    block.index.insert(folded, at);
}

void IniFile::EraseSection(const QString& section) {
    const std::vector<Block*> blocks = BlocksOf(section);
    QHash<QString, ErasedValue> values;
    for (Block* block : blocks) {
        for (const Line& line : block->lines) {
            if (line.isValue && !values.contains(FoldAscii(line.name)))
                values.insert(FoldAscii(line.name), ErasedValue{line.value, line.raw});
        }
        // What is left of a rewritten section is what a person wrote there: comments, blank lines.
        std::erase_if(block->lines, [](const Line& line) {
            const QByteArray text = line.raw.trimmed();
            return !text.isEmpty() && !text.startsWith(';') && !text.startsWith('#');
        });
        block->index.clear();
    }
    if (blocks.empty())
        return;
    QHash<QString, ErasedValue>& stash = erased_[FoldAscii(section)];
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        stash.insert(it.key(), it.value());
    finalLineEnd_ = true;
}
