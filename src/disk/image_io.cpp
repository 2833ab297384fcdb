#include "disk/image_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stowix::fat {

QString HostReason(int error) {
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

Status ReadExactly(int fd, qint64 offset, void* buffer, qint64 size) {
    char* at = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, at, size_t(size), off_t(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            return Status::Fail(HostReason(errno));
        }
        if (got == 0)
            return Status::Fail(QStringLiteral("The image file ends before the file system does"));
        at += got;
        offset += got;
        size -= got;
    }
    return Status::Ok();
}

Status WriteExactly(int fd, qint64 offset, const void* buffer, qint64 size) {
    const char* at = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, at, size_t(size), off_t(offset));
        if (put < 0) {
            if (errno == EINTR) continue;
            return Status::Fail(HostReason(errno));
        }
        at += put;
        offset += put;
        size -= put;
    }
    return Status::Ok();
}

Status Failure(const QString& dosPath, const QString& reason) {
    if (dosPath.isEmpty()) return Status::Fail(reason);
    return Status::Fail(dosPath + QStringLiteral(": ") + reason);
}

}  // namespace stowix::fat
