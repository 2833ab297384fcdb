#pragma once
// Removing a backup set from the backup root: what the window's Delete command, stowix-delete
// and stowix-prune all do to a set. It does not record anything (restore/delete_job.h).

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// Deletes one backup set, whatever its files' attributes, without ever following a link: a set
// that is itself a link goes as a link, nothing is deleted behind a backup root that is one, and
// the set's own entries that are links go as links. Fails, with the reason, when the set's
// folder stays on disk.
Status RemoveBackupSet(FileSystem& files, const QString& setPath);

}  // namespace stowix
