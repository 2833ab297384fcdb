#pragma once
// The delete command: what the folder chooser does with a double-clicked backup set in mode
// "Delete". After the user confirms, it removes the set's files, whatever their attributes, and
// the set's folder, reports the outcome in the chooser's status line and records a completed
// delete as LastDelete. It does not deal with restoring (restore_command.h).

namespace stowix {

class FolderChooser;

// Runs inside the chooser's Dir1_Change and ends by returning the list to the backup root, which
// raises one nested Dir1_Change that stops at the chosen-folder rule.
void DeleteChosenFolder(FolderChooser& chooser);

}  // namespace stowix
