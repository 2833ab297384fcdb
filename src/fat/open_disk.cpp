#include "fat/open_disk.h"

#include "fat/fat_errors.h"
#include "fat/image_io.h"
#include "fat/image_lock.h"
#include "fat/raw_file_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace stowix::fat {

Result<OpenedDisk> OpenDisk(const std::string& hostPath, const QString& name, bool* anotherCopy) {
    bool writable = true;
    int fd = ::open(hostPath.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        writable = false;
        fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    if (fd < 0) return Failure(name, HostReason(errno));
    auto raw = std::make_unique<RawFileDevice>(fd, 0);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return Failure(name, HostReason(errno));
    qint64 size = info.st_size;
    if (S_ISBLK(info.st_mode)) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end < 0) return Failure(name, HostReason(errno));
        size = end;
    } else if (!S_ISREG(info.st_mode)) {
        return Failure(name, QStringLiteral("It is neither a disk image file nor a disk"));
    }
    raw->SetSize(size);
    if (Status locked = LockImage(fd, writable, name, anotherCopy); !locked) return locked;
    return OpenedDisk{std::move(raw), writable};
}

}  // namespace stowix::fat
