#pragma once
// The window's Delete command: what the folder chooser does with a double-clicked backup set in
// mode "Delete": after the user confirms, it runs the delete job (delete_job.h) and reports the
// outcome in the chooser's status line. It does not deal with restoring
// (restore_command.h).

#include "restore/delete_job.h"

namespace stowix {

class FolderChooser;

// Runs inside the chooser's Dir1_Change and ends by returning the list to the backup root, which
// raises one nested Dir1_Change that stops at the chosen-folder rule.
void DeleteChosenFolder(FolderChooser& chooser);

}  // namespace stowix
