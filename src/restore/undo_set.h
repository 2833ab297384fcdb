#pragma once
// Every restore can be undone: before its first copy, the drive's configuration that the restore
// is about to replace is kept in a backup set of its own, made exactly as a backup makes one
// (the same groups, the same crash-safe copies, flushed), named by the stamp of now and the
// comment " before restore". Undoing the restore is restoring that set from the chooser.
//
// That set is not the user's backup: it does not become LastBackup (the information box keeps
// naming the user's own last backup), and the comment the user gave for the next backup is not
// used and stays pending. The free-space check of the restore counts it. It does not deal with
// the restore's copies (restore_run.h).

#include "fs/file_system.h"
#include "services/system.h"
#include "sets/backup_set_layout.h"

#include <QString>

namespace stowix {

struct RestoreJob;

// The set the configuration would be kept in if a restore began now: the backup root, the stamp
// of now and UndoComment. When a folder of that name exists already (a restore in the same
// second), "(2)", "(3)" ... follow the stamp: an older set is never written over, least of all
// the one being restored.
QString NextUndoSetPath(FileSystem& files, System& system);

// The last line of the restore's confirmation details, naming that set.
QString UndoDetailsLine(const QString& undoPath);

// After the confirmation, before the first copy of restoring setPath, under the restore's own
// status text: checks that drive C: has room for the restore and for the undo set and keeps its
// floor of free space, then makes the undo set in undoPath. True when the restore may go on: the
// set is complete and on disk, or it could not be made and the user chose, in a box that says
// what failed, to restore without it. False, with nothing changed (an incomplete undo set is
// removed again), when the user declined, or when the restore itself would not fit.
bool KeepUndoSet(RestoreJob& job, const QString& setPath, const QString& undoPath);

}  // namespace stowix
