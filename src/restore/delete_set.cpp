#include "restore/delete_set.h"

#include "files/remove_folder.h"
#include "restore/folder_chooser.h"
#include "sets/backup_root.h"
#include "shell/settings.h"

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

void DeleteChosenFolder(FolderChooser& chooser) {
    if (!chooser.ApplyChosenFolderRule()) return;
    Services& services = chooser.services();
    FolderList& list = chooser.Controls().Dir1();

    const MessageAnswer confirmed = services.dialogs.MessageBox(
        QStringLiteral("Are you sure you want to delete this folder? "), MessageButtons::YesNo,
        MessageIcon::Question, QStringLiteral("Delete Folder"));
    if (confirmed == MessageAnswer::Yes) {
        chooser.SetStatusText(QStringLiteral("Deleting ..."));
        chooser.Repaint();
        const QString setPath = list.Path();
        if (Status removed = RemoveBackupSet(services.files, setPath); removed) {
            chooser.SetStatusText(QStringLiteral("Deleted [") + setPath + u']');
            // The set is gone whether or not the record is written; a failed write costs only
            // the information box's entry.
            (void)WriteSetting(services.settings, SettingsKeys::Info, SettingsKeys::LastDelete,
                               setPath);
        } else {
            // A set folder that stays on disk (a subfolder, a file that resisted) is not reported
            // as deleted, and LastDelete keeps naming the last set that really went.
            chooser.SetStatusText(QStringLiteral("Could not delete [") + setPath +
                                  QStringLiteral("] entirely: ") + removed.reason());
        }
        // The end of the command either way; the status line says which.
        services.system.Beep();
    } else {
        chooser.SetStatusText(QStringLiteral("Nothing deleted"));
    }
    list.SetPath(BackupRoot);
}

}  // namespace stowix
