#include "sets/set_folder.h"
#include "sets/backup_root.h"

namespace stowix {

namespace {

// Far more runs than one second or one repeated hour can hold; a name still taken then is
// something else's doing.
constexpr int MostNumbers = 999;

bool IsFolder(FileSystem& files, const QString& path) {
    const Result<int> attributes = files.ReadAttributes(path);
    return attributes && (attributes.value() & Attribute::Folder) != 0;
}

// True when an entry of that name exists, a link included (which ReadAttributes may not
// follow).
bool IsTaken(FileSystem& files, const QString& path) {
    if (const Result<bool> link = files.IsLink(path); link && link.value()) return true;
    return bool(files.ReadAttributes(path));
}

Status CheckRoot(FileSystem& files, const QString& backupRoot, const Status& rootMade) {
    // A host that cannot hold permission bits (a FAT mount, whose access its mount options set)
    // refuses the tightening; the check below then judges the bits the mount gives.
    if (rootMade) (void)files.RestrictToOwner(backupRoot);
    if (!IsFolder(files, backupRoot)) {
        // The root's own failure says why (a read-only drive, no room), not the set's "missing
        // parent" that would follow from it.
        const QString reason = rootMade ? QStringLiteral("it is not a folder") : rootMade.reason();
        return Status::Fail(QStringLiteral("the backup folder ") + backupRoot +
                            QStringLiteral(" could not be made: ") + reason);
    }
    // A root that is a link would take the sets elsewhere (into the Windows folder, which then
    // becomes owner-only); one that was there before may have been made by another user, or
    // left open to others, who could then read or change the sets: it is refused as it was
    // found.
    if (Status own = files.CheckPrivateFolder(backupRoot); !own)
        return Status::Fail(QStringLiteral("the backup folder is not used: ") + own.reason());
    if (!rootMade) (void)files.RestrictToOwner(backupRoot);
    return Status::Ok();
}

}  // namespace

QString NumberedSetName(const QString& stamp, int number, const QString& pendingComment) {
    if (number <= 1) return stamp + pendingComment;
    return stamp + u'(' + QString::number(number) + u')' + pendingComment;
}

Result<QString> MakeSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                              const QString& stamp, const QString& pendingComment) {
    if (Status root = CheckRoot(files, backupRoot, rootMade); !root) return root;
    for (int number = 1; number <= MostNumbers; ++number) {
        const QString path = backupRoot + u'\\' + NumberedSetName(stamp, number, pendingComment);
        // Only a folder made here is used: one that exists (a real folder, a link, a file) is
        // never written into, whoever made it.
        const Status created = files.CreateFolder(path);
        if (created.ok()) return path;
        if (!IsTaken(files, path))
            return Status::Fail(QStringLiteral("the set's folder could not be made: ") +
                                created.reason());
    }
    return Status::Fail(QStringLiteral("the set's folder could not be made: ") +
                        QString::number(MostNumbers) +
                        QStringLiteral(" folders of its name are there already"));
}

Status MakeBackupRoot(FileSystem& files) { return files.CreateFolder(BackupRoot); }

Status MakeNamedSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                          const QString& setPath) {
    if (Status root = CheckRoot(files, backupRoot, rootMade); !root) return root;
    if (const Status created = files.CreateFolder(setPath); !created) {
        if (IsTaken(files, setPath))
            return Status::Fail(QStringLiteral("a folder of its name exists already"));
        return Status::Fail(QStringLiteral("the set's folder could not be made: ") +
                            created.reason());
    }
    return Status::Ok();
}

}  // namespace stowix
