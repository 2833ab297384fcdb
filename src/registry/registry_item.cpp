#include "registry/registry_item.h"

namespace stowix {

QString RegistryRootName(const QString& fileName) {
    return fileName.startsWith(QLatin1String("USER."), Qt::CaseInsensitive)
               ? QStringLiteral("HKEY_USERS")
               : QStringLiteral("HKEY_LOCAL_MACHINE");
}

}  // namespace stowix
