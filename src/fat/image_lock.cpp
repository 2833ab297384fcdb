#include "fat/image_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace stowix::fat {

namespace {

constexpr off_t QemuPermissionBase = 100;
constexpr off_t QemuSharedBase = 200;
constexpr off_t QemuWriteBit = 1;

// The program's file name where /proc shows it (its comm is cut at 15 characters:
// "qemu-system-i38"), else its comm.
QString ProgramName(const std::string& pid) {
    QString name = QFileInfo(QFile::symLinkTarget(QString::fromStdString("/proc/" + pid + "/exe")))
                       .fileName()
                       .remove(QStringLiteral(" (deleted)"));
    QFile comm(QString::fromStdString("/proc/" + pid + "/comm"));
    if (name.isEmpty() && comm.open(QIODevice::ReadOnly))
        name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    if (name.isEmpty()) name = QStringLiteral("a program");
    return QStringLiteral("%1 (process %2)").arg(name, QString::fromStdString(pid));
}

bool OpenForWriting(const std::string& pid, const char* fd) {
    QFile info(QString::fromStdString("/proc/" + pid + "/fdinfo/" + fd));
    if (!info.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (!line.startsWith("flags:")) continue;
        const long flags = std::strtol(line.mid(6).trimmed().constData(), nullptr, 8);
        return (flags & O_ACCMODE) != O_RDONLY;
    }
    return false;
}

// The other processes that have this file open for writing, as far as /proc lets us see.
QStringList Writers(const struct stat& image) {
    QStringList writers;
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) return writers;
    const std::string self = std::to_string(::getpid());
    while (const dirent* process = ::readdir(processes)) {
        const std::string pid = process->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        const std::string fds = "/proc/" + pid + "/fd";
        DIR* descriptors = ::opendir(fds.c_str());
        if (descriptors == nullptr) continue;
        bool writes = false;
        while (const dirent* fd = ::readdir(descriptors)) {
            if (fd->d_name[0] == '.') continue;
            struct stat target {};
            if (::stat((fds + '/' + fd->d_name).c_str(), &target) != 0 ||
                target.st_dev != image.st_dev || target.st_ino != image.st_ino)
                continue;
            if (OpenForWriting(pid, fd->d_name)) {
                writes = true;
                break;
            }
        }
        ::closedir(descriptors);
        if (writes) writers.append(ProgramName(pid));
    }
    ::closedir(processes);
    return writers;
}

// Whether a lock of another open file description covers this byte.
bool ByteLocked(int fd, off_t at) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = at;
    probe.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

bool ShareByte(int fd, off_t at) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

QString InUseMessage(const QString& name, const QString& who) {
    return QStringLiteral(
               "%1 is in use: %2 has it open for writing (an emulator or virtual "
               "machine running it, perhaps). End that program, or shut down the "
               "machine, and try again; the image was not changed.")
        .arg(name, who);
}

QString InUseByQemu(const QString& name) {
    return InUseMessage(name, QStringLiteral("QEMU (or a program that locks images as QEMU does)"));
}

Status LockImage(int fd, bool forWriting, const QString& name) {
    struct stat image {};
    if (::fstat(fd, &image) != 0)
        return Status::Fail(name + QStringLiteral(": cannot be examined"));
    // The flock first: while another Stowix works in the image, its qemu-nbd has the file open
    // for writing too, and the message should name Stowix.
    if (::flock(fd, (forWriting ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return Status::Fail(QStringLiteral("%1 is in use by another copy of Stowix; the "
                                               "image was not changed")
                                    .arg(name));
        return Status::Fail(name + QStringLiteral(": cannot be locked"));
    }
    const QStringList writers = Writers(image);
    if (!writers.isEmpty())
        return Status::Fail(InUseMessage(name, writers.join(QStringLiteral(", "))));
    return Status::Ok();
}

Status LockAgainstQemu(int fd, bool forWriting, const QString& name) {
    if (ByteLocked(fd, QemuPermissionBase + QemuWriteBit) ||
        ByteLocked(fd, QemuSharedBase + QemuWriteBit))
        return Status::Fail(InUseByQemu(name));
    if (forWriting && (!ShareByte(fd, QemuPermissionBase + QemuWriteBit) ||
                       !ShareByte(fd, QemuSharedBase + QemuWriteBit)))
        return Status::Fail(InUseByQemu(name));
    return Status::Ok();
}

}  // namespace stowix::fat
