#pragma once
// The new backup set's folder, made under the backup root, and the checks that keep a run from
// writing anywhere else: the root must be there (its own failure is the reason when it could not
// be made, a read-only drive for instance), and the set's name must be a folder this run made,
// or a real folder that a run in the same second made; never a link or a file, through which the
// copies would land elsewhere. It does not deal with the root's owner-only mode or the copies.

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// rootMade: what creating the backup root gave (a root that exists already is no failure).
// Fails, with a reason for the user, when the copies must not go into setPath.
Status MakeSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                     const QString& setPath);

}  // namespace stowix
