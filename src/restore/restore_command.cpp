#include "restore/restore_command.h"

#include "compare/comparison_text.h"
#include "compare/file_comparison.h"
#include "compare/registry_reader.h"
#include "files/copy_failure_list.h"
#include "restore/boot_script.h"
#include "restore/folder_chooser.h"
#include "restore/restore_registry_check.h"
#include "restore/restore_run.h"
#include "restore/undo_set.h"
#include "sets/backup_root.h"
#include "sets/set_facts.h"

#include <QStringList>

namespace stowix {

namespace {

// EWX_REBOOT (2) + EWX_FORCE (4): restart, closing running programs without asking them.
constexpr int RestartFlags = 6;

// What a restore that did not complete could not do, for a message box: each failed file with
// its reason, and a boot script that could not be written. Lines are broken by single carriage
// returns, as the program's message texts are.
QString IncompleteRestoreText(const RestoreOutcome& outcome, const QString& windowsFolder) {
    QStringList paragraphs;
    if (!outcome.failedCopies.empty()) {
        paragraphs.append(QStringLiteral("These files could not be restored:\r") +
                          ListCopyFailures(outcome.failedCopies));
    }
    if (outcome.registryWithdrawn) {
        paragraphs.append(
            QStringLiteral("Not every registry file could be staged, so none was: "
                           "the registry stays as it is. Restore the set again "
                           "once the cause is mended."));
    }
    if (!outcome.registryNotStaged.isEmpty()) {
        paragraphs.append(QStringLiteral("The registry files were not staged: ") +
                          outcome.registryNotStaged +
                          QStringLiteral(". The registry stays as it is."));
    }
    if (!outcome.bootScript.ok()) {
        paragraphs.append(QStringLiteral("The boot script ") + BootScriptPath(windowsFolder) +
                          QStringLiteral(" could not be written: ") + outcome.bootScript.reason() +
                          QStringLiteral("\rThe registry files staged in ") + BackupRoot +
                          QStringLiteral(" will not be put in place when Windows restarts."));
    }
    return paragraphs.join(QStringLiteral("\r\r"));
}

// False, told in a box, when the boot script could not name the Windows folder as DOS does: the
// registry would then never be put in place, so nothing is restored at all.
bool BootScriptCanNameWindowsFolder(FolderChooser& chooser) {
    const Result<QString> dosFolder =
        BootScriptFolder(chooser.services().files, chooser.values().WindowsFolder);
    if (dosFolder) return true;
    (void)chooser.services().dialogs.MessageBox(
        dosFolder.reason() + QStringLiteral("\r\rNothing was restored."), MessageButtons::Ok,
        MessageIcon::Information, QStringLiteral("Restore refused"));
    return false;
}

// A damaged registry is named before the confirmation; declining it is declining the restore.
// The confirmation keeps its words; what the restore would change on the drive, and where what
// it replaces will be kept, wait behind its details. Only read here: nothing is written before
// the answer.
// A paragraph that warns of a set whose record says it is incomplete; empty otherwise.
QString IncompleteSetLine(FileSystem& files, const QString& setPath) {
    const QString incomplete = IncompleteText(ReadSetFacts(files, setPath));
    if (incomplete.isEmpty()) return QString();
    return QStringLiteral("This set is ") + incomplete +
           QStringLiteral(". Restoring it may put back only part of the configuration.\r\r");
}

bool Confirmed(FolderChooser& chooser, const QString& setPath, const QString& undoPath) {
    if (!AcceptSetRegistry(chooser, setPath)) return false;
    CompareOptions options;
    options.readRegistry = CheckedRegistryReader();
    const Comparison preview =
        PreviewRestore(chooser.services().files, chooser.values(), setPath, options);
    QString details = RestorePreviewText(preview);
    if (!details.isEmpty()) details += QStringLiteral("\r\r");
    details += IncompleteSetLine(chooser.services().files, setPath);
    details += UndoDetailsLine(undoPath);
    return chooser.services().dialogs.MessageBox(
               QStringLiteral("Are you sure you want to restore this folder? "),
               MessageButtons::YesNo, MessageIcon::Question, QStringLiteral("Restore Folder"),
               details) == MessageAnswer::Yes;
}

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
    if (!BootScriptCanNameWindowsFolder(chooser)) {
        chooser.SetStatusText(QStringLiteral("Nothing restored"));
        chooser.Controls().Dir1().SetPath(BackupRoot);
        return;
    }
    const QString setPath = chooser.Controls().Dir1().Path();
    // Named before the question, so that the confirmation can tell where the undo will be kept.
    const QString undoPath = NextUndoSetPath(chooser.services().files, chooser.services().system);
    if (!Confirmed(chooser, setPath, undoPath)) {
        chooser.SetStatusText(QStringLiteral("Nothing restored"));
    } else {
        ShowRestoring(chooser);
        // Nothing is copied until the drive's configuration is kept in the undo set, or the user
        // chose to go on without it.
        if (KeepUndoSet(chooser, setPath, undoPath))
            FinishRestore(chooser, RestoreShownSet(chooser));
        else
            EndUnrestored(chooser);
    }
    chooser.Controls().Dir1().SetPath(BackupRoot);
}

}  // namespace stowix
