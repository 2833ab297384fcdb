#include "restore/restore_command.h"

#include "restore/folder_chooser.h"
#include "restore/restore_run.h"
#include "restore/undo_set.h"
#include "sets/backup_root.h"

namespace stowix {

namespace {

// EWX_REBOOT (2) + EWX_FORCE (4): restart, closing running programs without asking them.
constexpr int RestartFlags = 6;

// After the restore run: what failed, then the restart question, then the chooser again.
void FinishRestore(FolderChooser& chooser, const RestoreOutcome& outcome) {
    Dialogs& dialogs = chooser.services().dialogs;
    // The main window is hidden too, so the questions that follow stand alone.
    chooser.Hide();
    // Told here rather than in the status line: the chooser's activation below replaces the
    // status text.
    if (!outcome.Complete())
        (void)dialogs.MessageBox(IncompleteRestoreText(outcome, chooser.values().WindowsFolder),
                                 MessageButtons::Ok, MessageIcon::Information,
                                 QStringLiteral("Restore incomplete"));
    // Without the boot script a restart cannot put the registry files in place, so none is
    // offered: the restore cannot take effect as the question would promise.
    if (outcome.bootScript.ok()) {
        const MessageAnswer restart = dialogs.MessageBox(
            QStringLiteral("Restored files will take effect after you restart Windows.\r\r"
                           "If Windows does not restart, Shutdown Windows, and restart "
                           "manually.\r\rRestart Windows now?"),
            MessageButtons::YesNo, MessageIcon::Question, QStringLiteral("Restart Windows?"));
        // The result is not shown either way: the question's own text covers a restart that
        // does not come.
        if (restart == MessageAnswer::Yes)
            (void)chooser.services().windows.ExitWindowsEx(RestartFlags, 0);
    }
    chooser.Show();
}

// A restore that ended before its first copy: the chooser usable again, nothing changed.
void EndUnrestored(FolderChooser& chooser) {
    chooser.Controls().Command1().SetEnabled(true);
    chooser.Controls().Dir1().SetEnabled(true);
    chooser.SetStatusText(QStringLiteral("Nothing restored"));
}

}  // namespace

void RestoreChosenFolder(FolderChooser& chooser) {
    if (!chooser.ApplyChosenFolderRule()) return;
    RestoreJob job = ChooserRestoreJob(chooser);
    if (!BootScriptCanNameWindowsFolder(job)) {
        chooser.SetStatusText(QStringLiteral("Nothing restored"));
        chooser.Controls().Dir1().SetPath(BackupRoot);
        return;
    }
    const QString setPath = chooser.Controls().Dir1().Path();
    // Named before the question, so that the confirmation can tell where the undo will be kept.
    const QString undoPath = NextUndoSetPath(chooser.services().files, chooser.services().system);
    if (!ConfirmRestore(job, setPath, undoPath)) {
        chooser.SetStatusText(QStringLiteral("Nothing restored"));
    } else {
        ShowRestoring(chooser);
        // Nothing is copied until the drive's configuration is kept in the undo set, or the user
        // chose to go on without it.
        if (KeepUndoSet(job, setPath, undoPath))
            FinishRestore(chooser, RestoreShownSet(chooser));
        else
            EndUnrestored(chooser);
    }
    chooser.Controls().Dir1().SetPath(BackupRoot);
}

}  // namespace stowix
