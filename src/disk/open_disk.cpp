#include "disk/open_disk.h"

#include "disk/container_check.h"
#include "disk/disk_format.h"
#include "disk/image_io.h"
#include "disk/image_lock.h"
#include "disk/nbd_device.h"
#include "disk/raw_file_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace stowix::fat {

namespace {

// The file's signature: its first bytes and its last sector.
Result<DiskFormat> ReadFormat(int fd, qint64 size, const QString& name) {
    std::vector<unsigned char> head(size_t(std::min<qint64>(size, DiskFormatHeadBytes)));
    unsigned char tail[512];
    if (Status read = ReadExactly(fd, 0, head.data(), qint64(head.size())); !read)
        return Failure(name, read.reason());
    const bool hasTail = size >= qint64(sizeof tail);
    if (hasTail) {
        if (Status read = ReadExactly(fd, size - qint64(sizeof tail), tail, sizeof tail); !read)
            return Failure(name, read.reason());
    }
    return DetectDiskFormat(head.data(), head.size(), hasTail ? tail : nullptr);
}

QString Unusable(const DiskFormat& format, const QString& name) {
    return QStringLiteral("%1 is a %2, which Stowix cannot use as a drive: %3.")
        .arg(name, format.description, format.advice);
}

}  // namespace

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
    TRY(LockImage(fd, writable, name, anotherCopy));
    DiskFormat format = TRY(ReadFormat(fd, size, name));
    switch (format.kind) {
    case DiskFormat::Kind::Unusable: return Status::Fail(Unusable(format, name));
    case DiskFormat::Kind::Container: {
        // qemu-nbd takes the path whole: an absolute one never reads as a QEMU protocol
        // ("nbd:", "json:").
        const std::string path =
            QFile::encodeName(QFileInfo(QFile::decodeName(hostPath.c_str())).absoluteFilePath())
                .toStdString();
        // A damaged container is served for reading only, so that nothing can write to it.
        QString whyNotWritable;
        if (writable) {
            if (Status sound = CheckContainer(fd, size, path, format, name); !sound) {
                whyNotWritable = sound.reason();
                writable = false;
            }
        }
        std::unique_ptr<NbdDevice> served =
            TRY(NbdDevice::Serve(path, format, writable, raw->Release(), name));
        return OpenedDisk{std::move(served), writable, whyNotWritable};
    }
    case DiskFormat::Kind::Raw:
    case DiskFormat::Kind::FixedVhd: break;
    }
    TRY(LockAgainstQemu(fd, writable, name));
    return OpenedDisk{std::move(raw), writable, {}};
}

}  // namespace stowix::fat
