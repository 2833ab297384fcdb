#pragma once
// The new backup set's folder, made under the backup root, and the checks that keep a run from
// writing anywhere else: the root must be there (its own failure is the reason when it could not
// be made, a read-only drive for instance), and the set's name must be a folder this run made,
// or a real folder that a run in the same second made; never a link or a file, through which the
// copies would land elsewhere. It does not deal with the root's owner-only mode or the copies.

#include "fs/file_system.h"
#include "services/program_values.h"

#include <QString>

namespace stowix {

// Creates the backup root (shell/program_values.h) and keeps it to its owner. Gives what creating
// it gave, to be handed to MakeSetFolder as rootMade: a failure there is no failure yet (the root
// may exist already).
Status MakeBackupRoot(FileSystem& files);

// rootMade: what creating the backup root gave (a root that exists already is no failure).
// Fails, with a reason for the user, when the copies must not go into setPath.
Status MakeSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                     const QString& setPath);

}  // namespace stowix
