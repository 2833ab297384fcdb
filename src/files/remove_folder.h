#pragma once

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// Deletes every file directly in folder, whatever its attributes, then the folder itself when it
// is empty. folder is rewritten to its listed form ("C:\Stowix\set\"): callers pass a copy.
// The folder is held while it is emptied (FileSystem::HoldFolder): a path with a link in it is
// refused, and nothing done meanwhile leads the deletes elsewhere. A file is tried twice, as
// the routine's sweep tries again what its first pass left; the result tells whether the folder
// is gone, so that a caller never reports a partial delete as
// done. The failure's reason names what kept the folder (a subfolder, a file that resisted).
Status RemoveFolder(FileSystem& files, QString& folder);

}  // namespace stowix
