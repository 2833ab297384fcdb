#include "disk/raw_file_device.h"

#include "disk/image_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace stowix::fat {

RawFileDevice::~RawFileDevice() {
    if (m_fd >= 0) ::close(m_fd);
}

Status RawFileDevice::Read(qint64 offset, void* buffer, qint64 size) {
    return ReadExactly(m_fd, offset, buffer, size);
}

Status RawFileDevice::Write(qint64 offset, const void* buffer, qint64 size) {
    return WriteExactly(m_fd, offset, buffer, size);
}

// The kernel copies inside the file (copy_file_range); where it cannot (an old kernel, a file
// system that refuses it), the caller copies the rest through the process.
Result<qint64> RawFileDevice::CopyInside(qint64 from, qint64 to, qint64 size) {
    loff_t source = from;
    loff_t destination = to;
    qint64 left = size;
    while (left > 0) {
        const ssize_t copied =
            ::copy_file_range(m_fd, &source, m_fd, &destination, size_t(left), 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                           errno == EOPNOTSUPP || errno == EBADF))
            break;
        if (copied < 0) return Status::Fail(HostReason(errno));
        if (copied == 0)
            return Status::Fail(QStringLiteral("The image file ends before the file system does"));
        left -= copied;
    }
    return size - left;
}

Status RawFileDevice::Barrier() {
    if (::fdatasync(m_fd) != 0) return Status::Fail(HostReason(errno));
    return Status::Ok();
}

Status RawFileDevice::Flush() {
    if (::fsync(m_fd) != 0) return Status::Fail(HostReason(errno));
    return Status::Ok();
}

Status RawFileDevice::Reserve(qint64 offset, qint64 size) {
    if (m_cannotReserve) return Status::Ok();
    if (::fallocate(m_fd, 0, off_t(offset), off_t(size)) == 0) return Status::Ok();
    if (errno == ENOSPC || errno == EDQUOT || errno == EIO) return Status::Fail(HostReason(errno));
    // A file system that cannot reserve (or a disk, which never fills): the order of the
    // writes is all there is.
    m_cannotReserve = true;
    return Status::Ok();
}

}  // namespace stowix::fat
