#pragma once
// Before a restore: the registry files of the chosen set are read whole (registry/), and a
// damaged one is named in a question of its own, before the restore's confirmation, so that
// nobody stages a registry that would not start Windows without being told. It does not deal
// with the restore itself (restore_job.h).

#include "fs/file_system.h"
#include "view/dialogs.h"

#include <QString>

namespace stowix {

// True when the restore may go on: the set's registry is sound, or the user chose to restore
// it anyway.
bool AcceptSetRegistry(FileSystem& files, Dialogs& dialogs, const QString& setPath);

}  // namespace stowix
