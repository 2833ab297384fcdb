#include "restore/delete_set.h"

#include "restore/folder_chooser.h"
#include "sets/backup_root.h"

namespace stowix {

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
        (void)DeleteBackupSet(
            services.files, services.settings, setPath, [&](const Status& removed) {
                if (removed)
                    chooser.SetStatusText(QStringLiteral("Deleted [") + setPath + u']');
                else
                    chooser.SetStatusText(QStringLiteral("Could not delete [") + setPath +
                                          QStringLiteral("] entirely: ") + removed.reason());
            });
        // The end of the command either way; the status line says which.
        services.system.Beep();
    } else {
        chooser.SetStatusText(QStringLiteral("Nothing deleted"));
    }
    list.SetPath(BackupRoot);
}

}  // namespace stowix
