#pragma once

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// Deletes every file directly in folder, whatever its attributes, then the folder itself when it
// is empty. folder is rewritten to its listed form ("C:\Stowix\set\"): callers pass a copy.
// Failures after the attribute-clearing deletes are ignored, as the routine ignores them; the
// result tells whether the folder is gone, so that a caller never reports a partial delete as
// done. The failure's reason names what kept the folder (a subfolder, a file that resisted).
Status RemoveFolder(FileSystem& files, QString& folder);

}  // namespace stowix
