#pragma once
// The short (8.3) names that a FAT file system mounted by the kernel keeps beside the long ones,
// read with VFAT_IOCTL_READDIR_BOTH, which hands each entry's short and long name together.

#include <optional>
#include <string>

namespace stowix::posix {

// The alias of the entry name (as stored on the host) in the folder folderFd (any descriptor of
// the folder, O_PATH too); nothing when the folder is not on a kernel FAT mount or holds no such
// entry.
std::optional<std::string> VfatAlias(int folderFd, const std::string& name);

}  // namespace stowix::posix
