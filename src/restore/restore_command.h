#pragma once
// The restore command: what the folder chooser does with a double-clicked backup set in mode
// "Restore". It refuses anything but a backup set, asks the user to confirm, keeps what the
// restore replaces in a set of its own (undo_set.h), runs the restore, tells the user what could
// not be restored, and offers to restart Windows so that the boot script can put the registry
// files in place. It does not deal with the copying itself (restore_run.h) or the script's
// content (boot_script.h).

namespace stowix {

class FolderChooser;

// Runs inside the chooser's Dir1_Change and ends by returning the list to the backup root, which
// raises one nested Dir1_Change that stops at the chosen-folder rule.
void RestoreChosenFolder(FolderChooser& chooser);

}  // namespace stowix
