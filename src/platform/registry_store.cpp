#include "platform/registry_store.h"

#include <algorithm>

#include <QFile>

#include "platform/settings_paths.h"

namespace {

constexpr QStringView kHive = u"HKEY_CURRENT_USER";
constexpr QStringView kDwordPrefix = u"dword:";

// "\Software\X" from "Software\X", "\Software\X\" or "\Software\X"; the hive itself is "\".
QString NormalKeyPath(QStringView path) {
    while (path.endsWith(u'\\'))
        path.chop(1);
    return path.startsWith(u'\\') ? path.toString() : u'\\' + path.toString();
}

// Key path of a "[HKEY_CURRENT_USER\...]" line; nullopt for another hive or a deletion ("[-...]").
std::optional<QString> KeyPathOfHeader(QStringView line) {
    const QStringView inner = line.mid(1, line.size() - 2);
    if (!EqualsAsciiCaseInsensitive(inner.left(kHive.size()), kHive))
        return std::nullopt;
    const QStringView rest = inner.mid(kHive.size());
    if (!rest.isEmpty() && rest.front() != u'\\')
        return std::nullopt;
    return NormalKeyPath(rest);
}

QString Quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\' + QString(c);
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    out += u'"';
    return out;
}

// Reads the quoted text that starts at line[pos]; pos moves past the closing quote.
std::optional<QString> ReadQuoted(QStringView line, qsizetype& pos) {
    QString out;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        QChar c = line[i];
        if (c == u'"') {
            pos = i + 1;
            return out;
        }
        if (c == u'\\' && i + 1 < line.size()) {
            c = line[++i];
            if (c == u'n')
                c = u'\n';
            else if (c == u'r')
                c = u'\r';
        }
        out += c;
    }
    return std::nullopt;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "dword:" and one to eight hex digits of either case.
std::optional<quint32> ParseDword(QStringView data) {
    if (!EqualsAsciiCaseInsensitive(data.left(kDwordPrefix.size()), kDwordPrefix))
        return std::nullopt;
    const QStringView digits = data.mid(kDwordPrefix.size());
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    quint32 value = 0;
    for (const QChar c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    return value;
}

// Kept verbatim as a value of another type. A broken text, a continued line or control
// characters make the line unreadable instead, so a rewrite never carries garbage on.
bool IsOtherForm(QStringView data) {
    if (data.isEmpty() || data.front() == u'"' || data.endsWith(u'\\'))
        return false;
    return std::none_of(data.begin(), data.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

} // namespace

const RegistryKey::Value* RegistryKey::Find(const QString& name) const {
    const auto it = index_.constFind(FoldAsciiCase(name));
    return it == index_.cend() ? nullptr : &values_[*it];
}

RegistryKey::Value& RegistryKey::FindOrAdd(const QString& name) {
    const QString folded = FoldAsciiCase(name);
    if (const auto it = index_.constFind(folded); it != index_.cend())
        return values_[*it];
    index_.insert(folded, values_.size());
    Value& added = values_.emplace_back();
    added.name = name;
    return added;
}

bool RegistryKey::ValueExists(const QString& name) const {
    return Find(name) != nullptr;
}

RegValueType RegistryKey::ValueType(const QString& name) const {
    const Value* value = Find(name);
    return value ? value->type : RegValueType::None;
}

std::optional<QString> RegistryKey::ReadString(const QString& name) const {
    const Value* value = Find(name);
    if (!value || value->type != RegValueType::String)
        return std::nullopt;
    return value->text;
}

std::optional<quint32> RegistryKey::ReadInteger(const QString& name) const {
    const Value* value = Find(name);
    if (!value || value->type != RegValueType::Dword)
        return std::nullopt;
    return value->dword;
}

void RegistryKey::WriteString(const QString& name, const QString& value) {
    Value& v = FindOrAdd(name);
    v.type = RegValueType::String;
    v.text = value;
}

void RegistryKey::WriteInteger(const QString& name, quint32 value) {
    Value& v = FindOrAdd(name);
    v.type = RegValueType::Dword;
    v.dword = value;
}

void RegistryKey::WriteRaw(const QString& name, const QString& exportedForm) {
    Value& v = FindOrAdd(name);
    v.type = RegValueType::Other;
    v.text = exportedForm;
}

bool RegistryKey::DeleteValue(const QString& name) {
    const auto it = index_.constFind(FoldAsciiCase(name));
    if (it == index_.cend())
        return false;
    values_.erase(values_.begin() + std::ptrdiff_t(*it));
    index_.clear();
    for (std::size_t i = 0; i < values_.size(); ++i)
        index_.insert(FoldAsciiCase(values_[i].name), i);
    return true;
}

QStringList RegistryKey::ValueNames() const {
    QStringList names;
    for (const Value& v : values_)
        names += v.name;
    return names;
}

QString RegistryKey::ExportedValues() const {
    QString out;
    for (const Value& v : values_) {
        out += Quoted(v.name) + u'=';
        if (v.type == RegValueType::String)
            out += Quoted(v.text);
        else if (v.type == RegValueType::Dword)
            out += kDwordPrefix.toString() + QStringLiteral("%1").arg(v.dword, 8, 16, QChar(u'0'));
        else
            out += v.text;
        out += u'\n';
    }
    return out;
}

RegistryStore::RegistryStore(QString filePath) : filePath_(std::move(filePath)) {}

QString RegistryStore::DefaultPath() {
    return RegistryFilePath();
}

bool RegistryStore::Load(QString* error) {
    keys_.clear();
    keyIndex_.clear();
    QString text;
    if (!ReadSettingsText(filePath_, &text, error))
        return false;
    Parse(text);
    return true;
}

void RegistryStore::Parse(const QString& text) {
    RegistryKey* key = nullptr; // values outside a readable key are dropped
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            const std::optional<QString> path = KeyPathOfHeader(line);
            key = path ? &OpenOrCreateKey(*path) : nullptr;
            continue;
        }
        if (!key || !line.startsWith(u'"'))
            continue;
        qsizetype pos = 0;
        const std::optional<QString> name = ReadQuoted(line, pos);
        if (!name || pos >= line.size() || line[pos] != u'=')
            continue;
        const QStringView data = line.mid(pos + 1);
        qsizetype end = 0;
        if (data.startsWith(u'"')) {
            if (const std::optional<QString> value = ReadQuoted(data, end); value && end == data.size())
                key->WriteString(*name, *value);
        } else if (const std::optional<quint32> value = ParseDword(data)) {
            key->WriteInteger(*name, *value);
        } else if (IsOtherForm(data)) {
            key->WriteRaw(*name, data.toString());
        }
    }
}

bool RegistryStore::Save(QString* error) const {
    QString out = QStringLiteral("REGEDIT4\n");
    for (const auto& key : keys_) {
        const QString& path = key->Path();
        out += QStringLiteral("\n[") + kHive.toString() + (path == u"\\" ? QString() : path) +
               QStringLiteral("]\n");
        out += key->ExportedValues();
    }
    return WriteFileAtomically(filePath_, out.toUtf8(), FileAccess::OwnerOnly, error);
}

RegistryKey* RegistryStore::FindKey(const QString& normalPath) const {
    return keyIndex_.value(FoldAsciiCase(normalPath), nullptr);
}

const RegistryKey* RegistryStore::OpenKeyReadOnly(const QString& keyPath) const {
    return FindKey(NormalKeyPath(keyPath));
}

RegistryKey& RegistryStore::OpenOrCreateKey(const QString& keyPath) {
    const QString path = NormalKeyPath(keyPath);
    if (RegistryKey* key = FindKey(path))
        return *key;
    keys_.push_back(std::make_unique<RegistryKey>(path));
    keyIndex_.insert(FoldAsciiCase(path), keys_.back().get());
    return *keys_.back();
}

bool RegistryStore::EraseKey(const QString& keyPath) {
    const QString path = NormalKeyPath(keyPath);
    const QString subkeyPrefix = path == u"\\" ? path : path + u'\\';
    const auto erased = std::erase_if(keys_, [&](const std::unique_ptr<RegistryKey>& key) {
        const QString& p = key->Path();
        return EqualsAsciiCaseInsensitive(p, path) ||
               (p.size() > subkeyPrefix.size() &&
                EqualsAsciiCaseInsensitive(p.left(subkeyPrefix.size()), subkeyPrefix));
    });
    keyIndex_.clear();
    for (const auto& key : keys_)
        keyIndex_.insert(FoldAsciiCase(key->Path()), key.get());
    return erased > 0;
}

QStringList RegistryStore::KeyPaths() const {
    QStringList paths;
    for (const auto& key : keys_)
        paths += key->Path();
    return paths;
}
