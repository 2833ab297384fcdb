#include "backup/set_room.h"

#include "files/drive_room.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"

#include <QMap>

namespace stowix {

namespace {

// Every file, hidden, system and read-only ones too, as the group copy takes them.
constexpr int AnyFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

// A folder entry with a long name takes up to three slots of 32 bytes.
constexpr qint64 EntryBytes = 96;

}  // namespace

qint64 NewSetRoom(FileSystem& files, const QString& windowsFolder, qint64 unitBytes) {
    QMap<QString, qint64> sizes;  // by upper-cased name, the last group's file
    for (const SetGroup& group : BackupGroups) {
        // The Windows folder's groups lie on its own drive, which need not be C:.
        const QString folder = FullPlaceFolder(group.place, windowsFolder);
        // A folder that cannot be listed copies nothing; the copy itself reports it.
        // The drive keeps what it saw of each file for the copy that follows.
        Result<std::vector<FileSize>> listed =
            files.ListFileSizes(folder + QString::fromUtf16(group.pattern), AnyFile);
        if (!listed) continue;
        for (const FileSize& file : listed.value()) sizes[file.name.toUpper()] = file.size;
    }
    qint64 room = RoomOf(EntryBytes * (sizes.size() + 2), unitBytes) + RoomOf(1, unitBytes);
    for (const qint64 size : sizes) room += RoomOf(size, unitBytes);
    return room;
}

QString NewSetShortfall(FileSystem& files, const ProgramValues& values) {
    const std::optional<DriveSpace> space = KnownDriveSpace(files, BackupRoot);
    if (!space) return QString();
    const qint64 room = NewSetRoom(files, values.WindowsFolder, space->unitBytes);
    return ShortfallText(space->freeBytes, room, QStringLiteral("the backup set"),
                         values.MinimumFreeBytes);
}

}  // namespace stowix
