#pragma once
// The new backup set's folder, made under the backup root, and the checks that keep a run from
// writing anywhere else: the root must be a real folder of this user that no one else may write
// in (its own failure is the reason when it could not be made, a read-only drive for instance),
// and the set's folder is always one that this run made itself. When the set's name is taken
// (a run in the same second, the hour that repeats when clocks go back, or a link or file put
// there), the next free name of the form "stamp(2) comment", "stamp(3) comment", ... is made
// instead, so that two runs never write into one set. It does not deal with the copies.

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// The name a set gets when its plain name is taken: the stamp, "(number)" and the pending
// comment (empty, or a blank and the comment). number 1 gives the plain name.
QString NumberedSetName(const QString& stamp, int number, const QString& pendingComment);

// Creates the backup root (sets/backup_root.h). Gives what creating it gave, to be handed
// to MakeSetFolder as rootMade: a failure there is no failure yet (the root may exist already).
Status MakeBackupRoot(FileSystem& files);

// rootMade: what creating the backup root gave (a root that exists already is no failure).
// The backup root is kept to its owner (FileSystem::RestrictToOwner): a root made just now before
// it is checked, one that was there already only once it has passed the check. Gives the full
// path of the set's folder that this call made, or fails with a reason for the user.
Result<QString> MakeSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                              const QString& stamp, const QString& pendingComment);

// Makes the set's folder under exactly that path (a name chosen beforehand, so that the user
// could be told it); fails, as MakeSetFolder does, when the root may not be used, and when
// anything of that name is there already.
Status MakeNamedSetFolder(FileSystem& files, const QString& backupRoot, const Status& rootMade,
                          const QString& setPath);

}  // namespace stowix
