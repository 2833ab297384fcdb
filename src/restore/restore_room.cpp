#include "restore/restore_room.h"

#include "files/drive_room.h"
#include "sets/backup_set_layout.h"

#include <QMap>

#include <algorithm>

namespace stowix {

namespace {

constexpr int AnyFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

// The size of an existing file; 0 when there is none.
qint64 SizeOf(FileSystem& files, const QString& path) {
    const Result<FileFacts> facts = files.ReadFileFacts(path);
    return facts ? facts.value().size : 0;
}

}  // namespace

qint64 RestoreRoom(FileSystem& files, const ProgramValues& values, const QString& setPath,
                   qint64 unitBytes) {
    struct Target {
        qint64 before = 0;  // the room of the file there now
        qint64 after = 0;   // the room of the file the restore leaves
    };
    QMap<QString, Target> targets;  // by upper-cased full path
    qint64 largestGroup = 0;
    const QString setFolder = setPath + u'\\';
    for (const SetGroup& group : RestoreGroups) {
        Result<std::vector<FolderEntry>> listed =
            files.ListFolder(setFolder + QString::fromUtf16(group.pattern), AnyFile);
        if (!listed) continue;  // the copy itself reports a set it cannot list
        qint64 replacing = 0;
        for (const FolderEntry& entry : listed.value()) {
            if (entry.attributes & Attribute::Folder) continue;
            const QString target = FullPlaceFolder(group.place, values.WindowsFolder) + entry.name;
            const auto known = targets.find(target.toUpper());
            Target& room = known != targets.end()
                               ? *known
                               : *targets.insert(target.toUpper(),
                                                 {RoomOf(SizeOf(files, target), unitBytes), 0});
            room.after = RoomOf(SizeOf(files, setFolder + entry.name), unitBytes);
            if (room.before > 0) replacing += room.after;
        }
        largestGroup = std::max(largestGroup, replacing);
    }
    qint64 growth = 0;
    for (const Target& target : targets)
        growth += std::max<qint64>(0, target.after - target.before);
    return growth + largestGroup + RoomOf(1, unitBytes);
}

}  // namespace stowix
