#pragma once
// The short (8.3) names that a FAT file system mounted by the kernel keeps beside the long ones,
// read with VFAT_IOCTL_READDIR_BOTH, which hands each entry's short and long name together.

#include <functional>
#include <optional>
#include <string>

namespace stowix::posix {

// The alias of the entry name (as stored on the host) in the folder folderFd (any descriptor of
// the folder, O_PATH too); nothing when the folder is not on a kernel FAT mount or holds no such
// entry.
std::optional<std::string> VfatAlias(int folderFd, const std::string& name);

// One entry as the kernel hands it: its short name, and its long name ("" when it has none).
struct VfatNames {
    std::string shortName;
    std::string longName;
};

// The short name of the entry that name names, among the entries that next gives one by one
// (false at the end). The host shows an entry by its long name where it has one, else by its
// short one, and FAT holds no two names that differ in case alone: an entry is the one whose
// long or short name equals name without regard to case.
std::optional<std::string> AliasAmong(const std::function<bool(VfatNames&)>& next,
                                      const std::string& name);

}  // namespace stowix::posix
