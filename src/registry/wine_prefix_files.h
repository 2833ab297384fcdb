#pragma once
// The registry files of a Wine prefix on the host (system.reg, user.reg, userdef.reg beside
// drive_c): taken into a backup set, and put back from one. They lie outside drive C:, so they
// are read and written here on the host, the set's side through the drive's FileSystem. A
// restore writes them straight into the prefix (Wine never runs the boot script), each through
// a temporary file renamed into place once all are written, and refuses while a wineserver of
// the prefix runs, since it keeps the registry in memory and would write it over them.

#include "files/listing.h"
#include "fs/file_system.h"

#include <QString>

#include <optional>
#include <vector>

namespace stowix {

// Copies the prefix's registry files into setPath under their own names; system.reg and
// user.reg must be there, userdef.reg is taken when it is.
std::vector<CopyFailure> CopyWineRegistryIntoSet(FileSystem& files, const QString& prefix,
                                                 const QString& setPath);

// The process id of a wineserver that serves this prefix, when one runs.
std::optional<qint64> RunningWineserver(const QString& prefix);

// Puts the set's Wine registry files back into the prefix: all of them or none. Fails with a
// reason for the user, naming the wineserver when one runs.
Status RestoreWineRegistry(FileSystem& files, const QString& setFolder, const QString& prefix);

}  // namespace stowix
