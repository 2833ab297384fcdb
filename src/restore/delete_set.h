#pragma once
// The delete command: what the folder chooser does with a double-clicked backup set in mode
// "Delete". After the user confirms, it removes the set's files, whatever their attributes, and
// the set's folder, reports the outcome in the chooser's status line and records a completed
// delete as LastDelete. It does not deal with restoring (restore_command.h).

#include "fs/file_system.h"

#include <QString>

namespace stowix {

class FolderChooser;

// Deletes one backup set, whatever its files' attributes, without ever following a link: a set
// that is itself a link goes as a link, nothing is deleted behind a backup root that is one, and
// the set's own entries that are links go as links. Fails, with the reason, when the set's
// folder stays on disk. stowix-prune deletes through it too.
Status RemoveBackupSet(FileSystem& files, const QString& setPath);

// Runs inside the chooser's Dir1_Change and ends by returning the list to the backup root, which
// raises one nested Dir1_Change that stops at the chosen-folder rule.
void DeleteChosenFolder(FolderChooser& chooser);

}  // namespace stowix
