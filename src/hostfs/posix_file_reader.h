#pragma once
// A FileReader over an open host file: positioned reads (pread), so that the reader keeps no
// offset of its own and pieces can be read in any order. It does not open the file: the posix
// file system finds it and checks that it is a regular file inside the drive.

#include "fs/file_system.h"
#include "hostfs/unique_fd.h"

#include <QString>

#include <memory>

namespace stowix::posix {

// Owns fd; size is the file's size in bytes when it was opened; dosPath names the file in
// failures.
std::unique_ptr<FileReader> MakePosixFileReader(UniqueFd fd, qint64 size, QString dosPath);

}  // namespace stowix::posix
