#pragma once
// The backup root: the one folder that holds every backup set, and where a restore stages the
// registry files for the boot script.

#include <QString>

namespace stowix {

// The backup root on drive C:, as a full DOS path without a trailing backslash.
inline const QString BackupRoot = QStringLiteral("C:\\Stowix");

}  // namespace stowix
