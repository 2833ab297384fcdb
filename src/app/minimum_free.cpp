#include "app/minimum_free.h"

#include <QString>

namespace stowix {

Result<qint64> MinimumFreeFromEnvironment(qint64 defaultBytes) {
    const QString text = qEnvironmentVariable("STOWIX_MIN_FREE_MB").trimmed();
    if (text.isEmpty()) return defaultBytes;
    bool number = false;
    const qlonglong megabytes = text.toLongLong(&number);
    // Beyond a million MiB no drive of Windows 9x could be.
    if (!number || megabytes < 0 || megabytes > 1'000'000)
        return Result<qint64>::Fail(
            QStringLiteral("STOWIX_MIN_FREE_MB must be a whole number of MiB (0 or more), the "
                           "free space that backups and restores leave on drive C:; it is \"") +
            text + QStringLiteral("\"."));
    return qint64(megabytes) << 20;
}

}  // namespace stowix
