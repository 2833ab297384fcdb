#pragma once
// A registry key tree as a generator builds it: keys with their values, names as the bytes that
// Windows 9x stores (the ANSI code page). It holds content only; registry_file_writer.h lays it
// out as a file.

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace stowix::tools {

// The value types of a Windows 9x registry, as stored.
namespace RegistryType {
constexpr quint32 String = 1;
constexpr quint32 Binary = 3;
constexpr quint32 Dword = 4;
}  // namespace RegistryType

struct RegistryValueSpec {
    QByteArray name;  // empty for the key's default value
    quint32 type = RegistryType::String;
    QByteArray data;
};

struct RegistryKeySpec {
    QByteArray name;
    std::vector<RegistryValueSpec> values;
    std::vector<RegistryKeySpec> subKeys;

    // The key at a backslash path below this one, made (with its parents) where it is missing.
    // The reference stays valid until the next key is added below the same parent.
    RegistryKeySpec& Key(const QByteArray& path);

    // A string value; stored with its terminating NUL, as Windows stores REG_SZ data.
    RegistryKeySpec& String(const QByteArray& valueName, const QByteArray& text);
    RegistryKeySpec& Dword(const QByteArray& valueName, quint32 value);
    RegistryKeySpec& Binary(const QByteArray& valueName, const QByteArray& bytes);

    // This key and every key below it.
    int CountKeys() const;
};

}  // namespace stowix::tools
