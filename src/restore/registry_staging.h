#pragma once
// What must hold before a restore stages a set's registry files in the backup root. The boot
// script of an earlier restore may still be armed with that restore's staged files: were the
// new files staged under it one by one, a restore stopped half-way (a kill, a power cut) would
// leave the next start of Windows a SYSTEM.DAT of one set and a USER.DAT of another. So the old
// script is taken out first, and the restore run writes the new one only once every file is
// staged. A set that holds one file of the pair without the other is not staged at all: half a
// registry would not start Windows either. A set with neither has nothing to stage. It does not
// deal with the copies or the new script.

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// setFolder: the chosen set, without a trailing backslash; windowsFolder: "C:\WINDOWS". Fails,
// with a reason for the user, when the registry files must not be staged.
Status PrepareRegistryStaging(FileSystem& files, const QString& setFolder,
                              const QString& windowsFolder);

}  // namespace stowix
