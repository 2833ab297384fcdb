#pragma once
// The file system on a Linux host: each folder drive of the DriveMap is a host folder, and DOS
// paths, attributes, wildcards and name rules behave as Windows 9x shows them on that drive.
// Image drives are left out: the program opens its drives with OpenDrives (drives/), which
// hands those to the image engine.

#include "fs/drive_map.h"
#include "fs/file_system.h"

#include <memory>

namespace stowix {

// The real file system over these drives. It holds an open descriptor of each drive's folder;
// the current drive is C: with its root as the current folder.
std::unique_ptr<FileSystem> MakePosixFileSystem(DriveMap drives);

}  // namespace stowix
