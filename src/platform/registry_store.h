#pragma once
// The per-user typed settings store ("the registry of the current user"), kept as one text file in
// registry-export form:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Velmora\Quorvel\global]
//   "usethread"=dword:00000001
//   "smtpserver"="mail.example.org"
//
// Text values escape backslash and double quote with a backslash. Any other value form
// ("hex:...", "hex(7):...") is kept verbatim as a value of another type, so a value stored with the
// wrong type is seen as such and survives a rewrite. Key paths are given relative to the user's
// hive with a leading backslash ("\Software\Velmora\Quorvel\global"); key and value names compare
// without regard to ASCII case, as the registry does. Values keep their order.
//
// Loading never fails on content: unreadable lines are skipped, the rest is read. Saving writes the
// whole file atomically (temporary file + rename) with mode 0600, creating the folder.
// Not thread-safe: one thread owns a store object. A key reference stays valid until that key is
// erased or the store loads again.
//
// Our extensions to the form: a line break inside a text is written as \n (carriage return \r),
// so texts survive a round trip. Lines continued with a trailing backslash are not read (we never
// write them): such a value is dropped.
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

enum class RegValueType { None, String, Dword, Other };

class RegistryKey final {
public:
    explicit RegistryKey(QString path) : path_(std::move(path)) {}

    const QString& Path() const { return path_; }
    bool ValueExists(const QString& name) const;
    RegValueType ValueType(const QString& name) const;
    // nullopt when the value is missing or has another type.
    std::optional<QString> ReadString(const QString& name) const;
    std::optional<quint32> ReadInteger(const QString& name) const;
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, quint32 value);
    // Stores a value of another type from its exported form ("hex:01,02"); for tests and round trips.
    void WriteRaw(const QString& name, const QString& exportedForm);
    bool DeleteValue(const QString& name);
    QStringList ValueNames() const;

private:
    friend class RegistryStore;
    struct Value {
        QString name;
        RegValueType type = RegValueType::None;
        QString text;      // String: the text; Other: the exported form after '='
        quint32 dword = 0; // Dword
    };
    const Value* Find(const QString& name) const;
    Value& FindOrAdd(const QString& name);
    QString ExportedValues() const;

    QString path_;
    std::vector<Value> values_;
    // Positions by ASCII-folded name: a store of many thousands of values loads in linear time.
    QHash<QString, std::size_t> index_;
};

class RegistryStore final {
public:
    explicit RegistryStore(QString filePath);

    // <settings folder>/registry.reg, the folder from $XDG_CONFIG_HOME (default ~/.config) + "/kovra".
    static QString DefaultPath();

    const QString& FilePath() const { return filePath_; }
    // A missing file is an empty store (true). false with *error only when the file exists but
    // cannot be read.
    bool Load(QString* error = nullptr);
    bool Save(QString* error = nullptr) const;

    // nullptr when the key does not exist.
    const RegistryKey* OpenKeyReadOnly(const QString& keyPath) const;
    RegistryKey& OpenOrCreateKey(const QString& keyPath);
    // Removes the key with its subkeys; false when it did not exist.
    bool EraseKey(const QString& keyPath);
    QStringList KeyPaths() const;

private:
    RegistryKey* FindKey(const QString& normalPath) const;
    void Parse(const QString& text);

    QString filePath_;
    // Pointers, so that references handed out survive adding keys.
    std::vector<std::unique_ptr<RegistryKey>> keys_;
    QHash<QString, RegistryKey*> keyIndex_; // by ASCII-folded path
};
