#pragma once
// Which folder is the Windows folder of drive C:, found and checked through the program's file
// system, so that the same rules hold on a host folder and on a disk image. The configured
// folder (STOWIX_WINDOWS_FOLDER) is taken when given, else the one folder in the root of C:
// named WINDOWS without regard to case. Each failure says what is wrong, for the user: a
// configured text that is quoted or lacks its drive letter, a folder that does not exist or is
// a file, a drive whose folder is missing, none or more than one WINDOWS folder. It does not
// deal with the buffer of GetWindowsDirectoryA (windows_api.h).

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// configured: the configured DOS path, empty when none is; trailing backslashes are dropped
// (not from "C:\"). Gives the folder as a full DOS path ("C:\WINDOWS"; a found one as stored).
Result<QString> FindWindowsFolder(FileSystem& files, QString configured);

}  // namespace stowix
