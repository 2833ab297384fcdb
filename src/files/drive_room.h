#pragma once
// The room a run needs on drive C: before it writes anything, and whether the drive has it: the
// files the run would write, each taken in the drive's unit of room, and on top of them a floor
// of free space that is never used up, so that Windows keeps room to grow its swap file (a
// Windows 9x on a full drive stops starting). It does not deal with which files a run writes:
// the backup and the restore count those (backup/set_room.h, restore/restore_room.h).

#include "fs/file_system.h"

#include <QString>

#include <optional>

namespace stowix {

// The room a file of size bytes takes in whole units of unitBytes; an empty file takes none.
qint64 RoomOf(qint64 size, qint64 unitBytes);

// A count of bytes for the user, in MiB with one decimal: "12.3 MB".
QString MegabytesText(qint64 bytes);

// The drive's room where it can be known. A drive that cannot tell (an unknown kind) is not
// checked: the copies themselves still report a full disk.
std::optional<DriveSpace> KnownDriveSpace(FileSystem& files, const QString& path);

// When freeBytes cannot hold workBytes and still leave floorBytes free: the text that says so,
// how much is free and how much is needed, what for (work: "the backup set"); empty otherwise.
QString ShortfallText(qint64 freeBytes, qint64 workBytes, const QString& work, qint64 floorBytes);

}  // namespace stowix
