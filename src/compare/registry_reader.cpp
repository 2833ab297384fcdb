#include "compare/registry_reader.h"

#include "registry/registry_file_check.h"

#include <QHash>

namespace stowix {

RegistryKeys KeysOfRegistryItems(const RegistryItems& items) {
    RegistryKeys keys;
    // Where each key path stands in keys. The walk lists a key before its values, but a value
    // whose key was not listed first still finds or makes its key rather than being lost.
    QHash<QString, std::size_t> places;
    const auto keyAt = [&](const QString& path) -> RegistryKey& {
        const auto found = places.constFind(path);
        if (found != places.constEnd()) return keys[*found];
        places.insert(path, keys.size());
        keys.push_back({path, {}});
        return keys.back();
    };
    for (const RegistryItem& item : items) {
        RegistryKey& key = keyAt(item.keyPath);
        if (item.isValue) key.values.push_back({item.valueName, item.type, item.data});
    }
    return keys;
}

RegistryReader CheckedRegistryReader() {
    return [](FileSystem& files, const QString& path) -> Result<RegistryKeys> {
        const RegistryCheck check = CheckRegistryFile(files, path, SendItems::Yes);
        switch (check.verdict) {
        case RegistryVerdict::Sound: return KeysOfRegistryItems(check.items);
        case RegistryVerdict::Damaged:
            return Result<RegistryKeys>::Fail(path + QStringLiteral(" is damaged: ") +
                                              check.reason);
        case RegistryVerdict::NotChecked: break;
        }
        return Result<RegistryKeys>::Fail(path + QStringLiteral(" could not be read: ") +
                                          check.reason);
    };
}

}  // namespace stowix
