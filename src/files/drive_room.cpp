#include "files/drive_room.h"

namespace stowix {

qint64 RoomOf(qint64 size, qint64 unitBytes) {
    if (size <= 0) return 0;
    const qint64 unit = unitBytes > 0 ? unitBytes : 1;
    return (size + unit - 1) / unit * unit;
}

QString MegabytesText(qint64 bytes) {
    return QString::number(double(bytes) / double(1 << 20), 'f', 1) + QStringLiteral(" MB");
}

std::optional<DriveSpace> KnownDriveSpace(FileSystem& files, const QString& path) {
    Result<DriveSpace> space = files.FreeSpace(path);
    if (!space) return std::nullopt;
    return space.value();
}

QString ShortfallText(qint64 freeBytes, qint64 workBytes, const QString& work, qint64 floorBytes) {
    const qint64 needed = workBytes + floorBytes;
    if (freeBytes >= needed) return QString();
    return QStringLiteral(
               "Drive C: has %1 free, and %2 are needed: %3 for %4 and %5 that stay "
               "free so that Windows can grow its swap file (STOWIX_MIN_FREE_MB).")
        .arg(MegabytesText(freeBytes), MegabytesText(needed), MegabytesText(workBytes), work,
             MegabytesText(floorBytes));
}

}  // namespace stowix
