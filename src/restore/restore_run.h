#pragma once
// The restore as the folder chooser shows it: its controls greyed, its bar stepped, its status
// text telling the outcome, around the restore job (restore_job.h) for the set its folder list
// names. It does not ask anything or restart anything (restore_command.h).

#include "restore/restore_job.h"

namespace stowix {

class FolderChooser;

// The restore job as the chooser runs it, with the chooser's dialogs and its bar as progress.
RestoreJob ChooserRestoreJob(FolderChooser& chooser);

// Restores the set that the chooser's folder list names: greys Done and the list, shows and
// steps the chooser's progress bar once per copied file through the thirteen copy groups, writes
// the boot script, makes all of it durable on disk (a flush that fails leaves the restore
// incomplete), and ends with the status text, LastRestore (for a complete restore only) and a
// beep.
RestoreOutcome RestoreBackupSet(FolderChooser& chooser);

// The two halves of RestoreBackupSet, for a command that does more work under the restore's own
// status text in between: Done and the list greyed, the progress bar shown and stepped, the
// status "Restoring ..." painted; then everything after that.
void ShowRestoring(FolderChooser& chooser);
RestoreOutcome RestoreShownSet(FolderChooser& chooser);

}  // namespace stowix
