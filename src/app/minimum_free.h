#pragma once
// The floor of free space that the backup and the restore keep on drive C:, as the user's
// environment sets it: STOWIX_MIN_FREE_MB, a whole number of MiB (0 keeps no floor). Unset or
// empty, it is the program's default.

#include "services/result.h"

#include <QtGlobal>

namespace stowix {

// In bytes; fails with a message for the user when the value is not a whole number of MiB.
Result<qint64> MinimumFreeFromEnvironment(qint64 defaultBytes);

}  // namespace stowix
