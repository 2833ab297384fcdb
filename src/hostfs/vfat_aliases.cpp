#include "hostfs/vfat_aliases.h"

#include "hostfs/unique_fd.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>

#include <strings.h>

namespace stowix::posix {

std::optional<std::string> AliasAmong(const std::function<bool(VfatNames&)>& next,
                                      const std::string& name) {
    VfatNames entry;
    while (next(entry)) {
        const bool named =
            ::strcasecmp(entry.shortName.c_str(), name.c_str()) == 0 ||
            (!entry.longName.empty() && ::strcasecmp(entry.longName.c_str(), name.c_str()) == 0);
        if (named) return entry.shortName;
    }
    return std::nullopt;
}

std::optional<std::string> VfatAlias(int folderFd, const std::string& name) {
    UniqueFd folder(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) return std::nullopt;
    const auto next = [&folder](VfatNames& entry) {
        // Entry 0 is the short name, entry 1 the long one (d_reclen 0 when there is none). The
        // call gives 0 at the end and fails (-1) on a folder that is not on a FAT mount.
        struct __fat_dirent both[2]{};
        if (::ioctl(folder.Get(), VFAT_IOCTL_READDIR_BOTH, both) <= 0) return false;
        entry.shortName.assign(both[0].d_name);
        entry.longName.assign(both[1].d_reclen > 0 ? both[1].d_name : "");
        return true;
    };
    return AliasAmong(next, name);
}

}  // namespace stowix::posix
