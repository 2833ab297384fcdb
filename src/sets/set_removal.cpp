#include "sets/set_removal.h"

#include "files/remove_folder.h"
#include "sets/backup_root.h"

namespace stowix {

namespace {

bool IsLink(FileSystem& files, const QString& path) {
    const Result<bool> link = files.IsLink(path);
    return !link || link.value();  // what cannot be told is not trusted
}

}  // namespace

// The set's own entries that are links go as links (DeleteFileForced).
Status RemoveBackupSet(FileSystem& files, const QString& setPath) {
    if (IsLink(files, BackupRoot))
        return Status::Fail(BackupRoot + QStringLiteral(" is a link, which is not followed"));
    if (IsLink(files, setPath)) return files.DeleteFile(setPath);
    QString folder = setPath;  // RemoveFolder rewrites its argument
    return RemoveFolder(files, folder);
}

}  // namespace stowix
