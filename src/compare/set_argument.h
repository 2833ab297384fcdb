#pragma once
// A backup set named on a command line: a DOS path ("C:\Stowix\11-5-99 3;45;12 PM") or the
// set's folder name alone ("11-5-99 3;45;12 PM"), which is looked for in the backup root.

#include "fs/file_system.h"
#include "services/result.h"

#include <QString>

namespace stowix {

// The full DOS path of the set, without a trailing backslash. Fails, with a reason for the user,
// when it names no existing folder, or names a drive root or the backup root itself.
Result<QString> ResolveSetPath(FileSystem& files, const QString& argument);

}  // namespace stowix
