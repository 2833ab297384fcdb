#include "disk/image_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace stowix::fat {

namespace {

constexpr off_t QemuPermissionBase = 100;
constexpr off_t QemuSharedBase = 200;
constexpr off_t QemuWriteBit = 1;
// A byte far past any image's end that every Stowix holding an image keeps a shared lock on:
// another Stowix tells itself from a program that merely locks the file.
constexpr off_t StowixMarkByte = off_t(0x53544F574958);  // "STOWIX"

QByteArray ReadProcFile(const std::string& pid, const char* name) {
    QFile file(QString::fromStdString("/proc/" + pid + '/' + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program a process runs, by its whole name: the executable, else the first word of its
// command line (the kernel's own name for it is cut at 15 characters).
QString ProgramName(const std::string& pid) {
    QString name;
    char target[4096];
    const std::string exe = "/proc/" + pid + "/exe";
    const ssize_t length = ::readlink(exe.c_str(), target, sizeof target - 1);
    if (length > 0) name = QString::fromLocal8Bit(target, length).section(u'/', -1);
    name.remove(QStringLiteral(" (deleted)"));
    if (name.isEmpty()) {
        const QByteArray command = ReadProcFile(pid, "cmdline");
        name = QString::fromLocal8Bit(command.left(command.indexOf('\0'))).section(u'/', -1);
    }
    if (name.isEmpty()) name = QString::fromLocal8Bit(ReadProcFile(pid, "comm")).trimmed();
    if (name.isEmpty()) name = QStringLiteral("a program");
    return QStringLiteral("%1 (process %2)").arg(name, QString::fromStdString(pid));
}

// The processes /proc/locks shows holding a flock on this file.
QStringList FlockHolders(const struct stat& image) {
    QStringList holders;
    const QByteArray locks = ReadProcFile("", "locks");
    const QString device = QStringLiteral("%1:%2:%3")
                               .arg(major(image.st_dev), 2, 16, QChar(u'0'))
                               .arg(minor(image.st_dev), 2, 16, QChar(u'0'))
                               .arg(qulonglong(image.st_ino));
    for (const QByteArray& line : locks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK") continue;
        if (QString::fromLatin1(fields[5]).compare(device, Qt::CaseInsensitive) != 0) continue;
        if (fields[4].toLongLong() == ::getpid()) continue;
        holders.append(ProgramName(fields[4].toStdString()));
    }
    return holders;
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

// The other processes that have this file open (for writing only, or in any way), as far as
// /proc lets us see.
QStringList Openers(const struct stat& image, bool writersOnly) {
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
            if (!writersOnly || OpenForWriting(pid, fd->d_name)) {
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

// A lock of one byte, of the given type (F_RDLCK, F_WRLCK).
struct flock OneByte(short type, off_t at) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return lock;
}

// Whether a lock of another open file description covers this byte.
bool ByteLocked(int fd, off_t at) {
    struct flock probe = OneByte(F_WRLCK, at);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

bool ShareByte(int fd, off_t at) {
    struct flock lock = OneByte(F_RDLCK, at);
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

namespace {

const QString Qemu = QStringLiteral("QEMU (or a program that locks images as QEMU does)");

// A QEMU that only reads the image, and does not let anyone write to it meanwhile.
QString ReadOnlyUse(const QString& name, const QString& who = Qemu) {
    return QStringLiteral(
               "%1 is in use: %2 reads it and does not let others write to it meanwhile (a "
               "virtual machine with the disk read-only or in snapshot mode, or qemu-nbd -r, "
               "perhaps). End that program and try again; the image was not changed.")
        .arg(name, who);
}

Status LockedByOther(const QString& name, const struct stat& image) {
    const QStringList holders = FlockHolders(image);
    return Status::Fail(
        QStringLiteral("%1 is locked by %2. End that program and try again; the image was not "
                       "changed.")
            .arg(name, holders.isEmpty() ? QStringLiteral("another program")
                                         : holders.join(QStringLiteral(", "))));
}

}  // namespace

Status LockImage(int fd, bool forWriting, const QString& name, bool* anotherCopy) {
    struct stat image {};
    if (::fstat(fd, &image) != 0)
        return Status::Fail(name + QStringLiteral(": cannot be examined"));
    // Another Stowix first: it has the image open for writing too, but is no emulator.
    if (ByteLocked(fd, StowixMarkByte)) {
        if (anotherCopy) *anotherCopy = true;
        return Status::Fail(
            QStringLiteral("%1 is in use by another copy of Stowix; the image was not changed")
                .arg(name));
    }
    const QStringList writers = Openers(image, true);
    if (!writers.isEmpty())
        return Status::Fail(InUseMessage(name, writers.join(QStringLiteral(", "))));
    if (::flock(fd, (forWriting ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return LockedByOther(name, image);
        return Status::Fail(name + QStringLiteral(": cannot be locked"));
    }
    if (!ShareByte(fd, StowixMarkByte))
        return Status::Fail(name + QStringLiteral(": cannot be locked"));
    return Status::Ok();
}

QString InUseByQemu(const QString& name) { return InUseMessage(name, Qemu); }

QString QemuHolderMessage(const std::string& hostPath, const QString& name) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat image {};
    if (fd < 0 || ::fstat(fd, &image) != 0) {
        if (fd >= 0) ::close(fd);
        return InUseByQemu(name);
    }
    const bool writing = ByteLocked(fd, QemuPermissionBase + QemuWriteBit);
    ::close(fd);
    const QStringList holders = Openers(image, writing);
    const QString who = holders.isEmpty() ? Qemu : holders.join(QStringLiteral(", "));
    return writing ? InUseMessage(name, who) : ReadOnlyUse(name, who);
}

Status LockAgainstQemu(int fd, bool forWriting, const QString& name) {
    if (ByteLocked(fd, QemuPermissionBase + QemuWriteBit)) return Status::Fail(InUseByQemu(name));
    if (forWriting && ByteLocked(fd, QemuSharedBase + QemuWriteBit))
        return Status::Fail(ReadOnlyUse(name));
    if (forWriting && (!ShareByte(fd, QemuPermissionBase + QemuWriteBit) ||
                       !ShareByte(fd, QemuSharedBase + QemuWriteBit)))
        return Status::Fail(InUseByQemu(name));
    return Status::Ok();
}

}  // namespace stowix::fat
