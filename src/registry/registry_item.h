#pragma once
// What a walk of a registry file yields: a flat list of its keys and values in tree order, each
// key once, followed by its values. Paths start with the hive's root name (HKEY_LOCAL_MACHINE for
// SYSTEM.DAT, HKEY_USERS for USER.DAT, whose users are keys below it such as .Default); names
// are decoded from the ANSI code page as Windows 9x stores them. Data is kept as stored.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace stowix {

// The value types that Windows 9x stores; others are kept by number.
namespace RegistryValueType {
constexpr quint32 String = 1;
constexpr quint32 ExpandString = 2;
constexpr quint32 Binary = 3;
constexpr quint32 Dword = 4;
constexpr quint32 MultiString = 7;
}  // namespace RegistryValueType

struct RegistryItem {
    QString keyPath;       // "HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft"
    bool isValue = false;  // false: the key itself, listed before its values
    QString valueName;     // empty for a key's default value
    quint32 type = 0;
    QByteArray data;

    friend bool operator==(const RegistryItem&, const RegistryItem&) = default;
};

using RegistryItems = std::vector<RegistryItem>;

// The hive root names of the two registry files.
QString RegistryRootName(const QString& fileName);  // "USER.DAT" (any case) gives HKEY_USERS

}  // namespace stowix
