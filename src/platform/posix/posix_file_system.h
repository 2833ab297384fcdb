#pragma once
// The file system on a Linux host: each drive letter is a host folder (DriveMap), and DOS paths,
// attributes, wildcards and name rules behave as Windows 9x shows them on that drive.

#include "platform/file_system.h"
#include "platform/posix/drive_map.h"

#include <memory>

namespace stowix {

// The real file system over these drives. It holds an open descriptor of each drive's folder;
// the current drive is C: with its root as the current folder.
std::unique_ptr<FileSystem> MakePosixFileSystem(DriveMap drives);

}  // namespace stowix
