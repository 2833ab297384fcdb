#pragma once
// This type is one FileSystem over several implementations, each serving some drive letters (the
// host folders through one posix file system, each disk image through its own). Each call goes
// to the implementation of its path's drive: the letter before the colon, or the current drive
// for a path without one. The current drive is the dispatcher's; the current folder of each
// drive is its implementation's. It does not deal with what a drive is or how it is opened:
// OpenDrives does.

#include "fs/file_system.h"

#include <QString>

#include <memory>
#include <vector>

namespace stowix {

// One implementation and the drive letters it serves ("C", or "DE"), upper case.
struct DrivePart {
    QString letters;
    std::unique_ptr<FileSystem> files;
};

// Over these parts, with drive `current` current (it must be served by one of them). A copy
// between drives of two implementations reads the source through its own and writes the copy
// through the other's WriteFileFrom, with the same guarantees as a copy within one drive.
std::unique_ptr<FileSystem> MakeDriveDispatch(std::vector<DrivePart> parts, QChar current);

}  // namespace stowix
