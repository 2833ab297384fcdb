#include "sets/set_folder.h"

namespace stowix {

namespace {

bool IsFolder(FileSystem& files, const QString& path) {
    const Result<int> attributes = files.ReadAttributes(path);
    return attributes && (attributes.value() & Attribute::Folder) != 0;
}

bool IsLink(FileSystem& files, const QString& path) {
    const Result<bool> link = files.IsLink(path);
    return link && link.value();
}

}  // namespace

Status MakeSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                     const QString& setPath) {
    if (!IsFolder(files, backupRoot)) {
        // The root's own failure says why (a read-only drive, no room), not the set's "missing
        // parent" that would follow from it.
        const QString reason = rootMade ? QStringLiteral("it is not a folder") : rootMade.reason();
        return Status::Fail(QStringLiteral("the backup folder ") + backupRoot +
                            QStringLiteral(" could not be made: ") + reason);
    }
    const Status created = files.CreateFolder(setPath);
    if (created.ok()) return Status::Ok();
    // A name that exists already is taken only as a real folder, as a run in the same second
    // leaves it; a link there would lead the copies elsewhere, and a file cannot hold them.
    if (IsLink(files, setPath))
        return Status::Fail(
            QStringLiteral("the set's folder exists already as a link, which is "
                           "not followed; nothing was written through it"));
    if (IsFolder(files, setPath)) return Status::Ok();
    if (const Result<int> existing = files.ReadAttributes(setPath); existing)
        return Status::Fail(
            QStringLiteral("the set's folder could not be made: a file of its "
                           "name exists"));
    return Status::Fail(QStringLiteral("the set's folder could not be made: ") + created.reason());
}

}  // namespace stowix
