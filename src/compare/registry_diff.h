#pragma once
// The differences between two Windows 9x registries, each given as the flat list of its keys
// with their values: the keys added and removed, and the values added, removed and changed in
// the keys both have. Key paths and value names count without regard to case, as the registry
// finds them. The values of a key that only one side has are not listed one by one: the key
// tells of them. It does not deal with reading registry files (the registry reader does) or
// with showing the result (comparison_text.h).

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace stowix {

// Value types as the registry stores them.
namespace RegistryType {
constexpr quint32 String = 1;        // REG_SZ
constexpr quint32 ExpandString = 2;  // REG_EXPAND_SZ
constexpr quint32 Binary = 3;        // REG_BINARY
constexpr quint32 Dword = 4;         // REG_DWORD, little-endian
constexpr quint32 MultiString = 7;   // REG_MULTI_SZ
}  // namespace RegistryType

struct RegistryValue {
    QString name;  // empty for the key's default value
    quint32 type = RegistryType::String;
    QByteArray data;  // as stored; strings in the ANSI code page
};

struct RegistryKey {
    // Under its root's name: "HKEY_LOCAL_MACHINE\Software\Microsoft", "HKEY_USERS\.DEFAULT".
    QString path;
    std::vector<RegistryValue> values;
};

// Every key of one registry file, in the order the reader walked them.
using RegistryKeys = std::vector<RegistryKey>;

enum class RegistryChangeKind { Added, Removed, Changed };

struct RegistryValueChange {
    QString keyPath;  // as the newer side writes it
    QString valueName;
    RegistryChangeKind kind = RegistryChangeKind::Changed;
    std::optional<RegistryValue> oldValue;
    std::optional<RegistryValue> newValue;
};

struct RegistryDifference {
    std::vector<QString> keysAdded;           // in the newer side's order
    std::vector<QString> keysRemoved;         // in the older side's order
    std::vector<RegistryValueChange> values;  // in the newer side's key order
    bool Empty() const { return keysAdded.empty() && keysRemoved.empty() && values.empty(); }
    // Keys and values that differ, as the restore question counts them.
    std::size_t KeyCount() const { return keysAdded.size() + keysRemoved.size(); }
    std::size_t ValueCount() const { return values.size(); }
};

RegistryDifference CompareRegistries(const RegistryKeys& older, const RegistryKeys& newer);

// A value's data as a person reads it: a string in quotes, a DWORD in hexadecimal and decimal,
// anything else as its first bytes in hexadecimal with the full length.
QString RegistryDataText(const RegistryValue& value);

}  // namespace stowix
