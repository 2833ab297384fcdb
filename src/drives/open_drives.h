#pragma once
// The program's file system over every configured drive: the folder drives through the posix
// implementation, each image drive through the image engine, one FileSystem that dispatches each
// path to its drive's implementation (drive_dispatch.h). Drive C: is current when it is
// configured, else the first drive.

#include "fs/drive_map.h"
#include "fs/file_system.h"

#include <memory>

namespace stowix {

// Fails with a message for the user when a drive cannot be opened (an image that cannot be
// read, a partition number on a folder drive, no drive at all); anotherCopy, when given, is set
// when the failure is an image that another copy of Stowix works in.
Result<std::unique_ptr<FileSystem>> OpenDrives(const DriveMap& drives, bool* anotherCopy = nullptr);

// The drives the environment configures (DriveMap::FromEnvironment), opened as OpenDrives does
// for a program that needs drive C:: without it, fails with DriveMap::HowToConfigure().
Result<std::unique_ptr<FileSystem>> OpenConfiguredDrives(bool* anotherCopy = nullptr);

}  // namespace stowix
