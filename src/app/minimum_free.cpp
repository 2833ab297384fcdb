#include "app/minimum_free.h"

#include <QString>

#include <algorithm>

namespace stowix {

namespace {
constexpr qlonglong MostMegabytes = 1'000'000;
}

Result<qint64> MinimumFreeFromEnvironment(qint64 defaultBytes) {
    const QString text = qEnvironmentVariable("STOWIX_MIN_FREE_MB").trimmed();
    if (text.isEmpty()) return defaultBytes;
    bool number = false;
    const qlonglong megabytes = text.toLongLong(&number);
    // A run of digits too long for a number is a number all the same, only too large.
    const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    // Beyond a million MiB no drive of Windows 9x could be.
    if ((number && megabytes > MostMegabytes) || (!number && digits))
        return Result<qint64>::Fail(
            QStringLiteral("STOWIX_MIN_FREE_MB is too large: it is \"%1\" MiB, and no drive of "
                           "Windows 95 or 98 holds more than %2 MiB; give the free space that "
                           "backups and restores leave on drive C:, in MiB.")
                .arg(text)
                .arg(MostMegabytes));
    if (!number || megabytes < 0)
        return Result<qint64>::Fail(
            QStringLiteral("STOWIX_MIN_FREE_MB must be a whole number of MiB (0 or more), the "
                           "free space that backups and restores leave on drive C:; it is \"") +
            text + QStringLiteral("\"."));
    return qint64(megabytes) << 20;
}

}  // namespace stowix
