#include "registry_tree.h"

#include <QByteArrayList>

namespace stowix::tools {

RegistryKeySpec& RegistryKeySpec::Key(const QByteArray& path) {
    RegistryKeySpec* key = this;
    for (const QByteArray& part : path.split('\\')) {
        if (part.isEmpty()) continue;
        RegistryKeySpec* found = nullptr;
        for (RegistryKeySpec& sub : key->subKeys)
            if (sub.name.compare(part, Qt::CaseInsensitive) == 0) found = &sub;
        if (!found) {
            key->subKeys.push_back({part, {}, {}});
            found = &key->subKeys.back();
        }
        key = found;
    }
    return *key;
}

RegistryKeySpec& RegistryKeySpec::String(const QByteArray& valueName, const QByteArray& text) {
    values.push_back({valueName, RegistryType::String, text + QByteArray(1, '\0')});
    return *this;
}

RegistryKeySpec& RegistryKeySpec::Dword(const QByteArray& valueName, quint32 value) {
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    values.push_back({valueName, RegistryType::Dword, QByteArray(bytes, 4)});
    return *this;
}

RegistryKeySpec& RegistryKeySpec::Binary(const QByteArray& valueName, const QByteArray& bytes) {
    values.push_back({valueName, RegistryType::Binary, bytes});
    return *this;
}

int RegistryKeySpec::CountKeys() const {
    int count = 1;
    for (const RegistryKeySpec& sub : subKeys) count += sub.CountKeys();
    return count;
}

}  // namespace stowix::tools
