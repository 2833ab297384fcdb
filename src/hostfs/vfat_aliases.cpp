#include "hostfs/vfat_aliases.h"

#include "hostfs/unique_fd.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>

#include <strings.h>

namespace stowix::posix {

std::optional<std::string> VfatAlias(int folderFd, const std::string& name) {
    UniqueFd folder(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) return std::nullopt;
    // Entry 0 is the short name, entry 1 the long one (d_reclen 0 when there is none).
    struct __fat_dirent both[2]{};
    while (::ioctl(folder.Get(), VFAT_IOCTL_READDIR_BOTH, both) > 0) {
        const char* shown = both[1].d_reclen > 0 ? both[1].d_name : both[0].d_name;
        if (::strcasecmp(shown, name.c_str()) == 0) return std::string(both[0].d_name);
    }
    return std::nullopt;
}

}  // namespace stowix::posix
