#include "image/qemu_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <climits>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace stowix::test {

const std::vector<ContainerKind>& ContainerKinds() {
    static const std::vector<ContainerKind> kinds = {
        {"qcow2", "qcow2", "", "qcow2"},
        {"VDI", "vdi", "", "vdi"},
        {"VMDK sparse", "vmdk", "subformat=monolithicSparse", "vmdk"},
        {"VMDK descriptor with sparse extents", "vmdk", "subformat=twoGbMaxExtentSparse", "vmdk"},
        // force_size keeps the disk's size exact instead of rounding it to a CHS geometry.
        {"dynamic VHD", "vpc", "subformat=dynamic,force_size=on", "vhd"},
        {"VHDX", "vhdx", "", "vhdx"},
    };
    return kinds;
}

namespace {

// Whether /proc/locks lists a lock on the file with this inode number ("fe:00:1234 0 EOF").
bool LockedInode(ino_t inode) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) return false;
    const QByteArray needle = ':' + QByteArray::number(qulonglong(inode)) + ' ';
    return locks.readAll().contains(needle);
}

// Whether /proc/locks lists a lock on the file with this inode number that covers this byte
// ("1: OFDLCK ADVISORY READ -1 fe:00:1234 201 201").
bool LocksByte(ino_t inode, qint64 byte) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) return false;
    const QByteArray device = ':' + QByteArray::number(qulonglong(inode));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        for (qsizetype i = 0; i + 2 < fields.size(); ++i) {
            if (!fields[i].endsWith(device)) continue;
            const qint64 start = fields[i + 1].toLongLong();
            const qint64 end = fields[i + 2] == "EOF" ? LLONG_MAX : fields[i + 2].toLongLong();
            if (start <= byte && byte <= end) return true;
        }
    }
    return false;
}

QString Complaint(const std::pair<int, QByteArray>& run) {
    if (run.first == 0) return QString();
    return QStringLiteral("status %1: %2").arg(run.first).arg(QString::fromLocal8Bit(run.second));
}

}  // namespace

QString MakeContainer(const QString& raw, const ContainerKind& kind, const QString& container) {
    QStringList arguments{QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw"),
                          QStringLiteral("-O"), QLatin1String(kind.qemuFormat)};
    if (*kind.options != '\0') arguments << QStringLiteral("-o") << QLatin1String(kind.options);
    arguments << raw << container;
    return Complaint(RunProgram(QStringLiteral("qemu-img"), arguments));
}

QString MakeOverlay(const QString& base, const QString& baseFormat, const QString& overlay) {
    return Complaint(RunProgram(
        QStringLiteral("qemu-img"),
        {QStringLiteral("create"), QStringLiteral("-q"), QStringLiteral("-f"),
         QStringLiteral("qcow2"), QStringLiteral("-b"), QFileInfo(base).absoluteFilePath(),
         QStringLiteral("-F"), baseFormat, overlay}));
}

QString ContainerProblems(const QString& container, const QString& qemuFormat, bool allowLeaks) {
    const auto [status, output] =
        RunProgram(QStringLiteral("qemu-img"),
                   {QStringLiteral("check"), QStringLiteral("-f"), qemuFormat, container});
    // 63: the format has no checks; 3: leaked clusters, and nothing worse.
    if (status == 0 || status == 63 || (status == 3 && allowLeaks)) return QString();
    return QStringLiteral("qemu-img check: status %1: %2")
        .arg(status)
        .arg(QString::fromLocal8Bit(output));
}

std::unique_ptr<ReadBackImage> ReadBack(const QString& container, const QString& qemuFormat,
                                        qint64 volumeOffset, qint64 volumeBytes, bool whileOpen) {
    auto readBack = std::make_unique<ReadBackImage>();
    const QString raw = readBack->folder.filePath(QStringLiteral("read-back.img"));
    QStringList arguments{QStringLiteral("convert"), QStringLiteral("-f"), qemuFormat,
                          QStringLiteral("-O"), QStringLiteral("raw")};
    if (whileOpen) arguments << QStringLiteral("-U");
    const QString complaint =
        Complaint(RunProgram(QStringLiteral("qemu-img"), arguments << container << raw));
    if (complaint.isEmpty())
        readBack->image.emplace(raw, volumeOffset, volumeBytes);
    else
        ADD_FAILURE() << complaint.toStdString();
    return readBack;
}

namespace {

// A process that has the file open, or (a qemu-nbd still starting) names it on its command line.
QString Holder(const QString& path, const struct stat& file) {
    const QByteArray named = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toLongLong() <= 0 || pid.toLongLong() == ::getpid()) continue;
        const QString process = QStringLiteral("/proc/") + pid;
        bool holds = false;
        const QDir fds(process + QStringLiteral("/fd"));
        for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            struct stat target {};
            holds =
                holds || (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &target) == 0 &&
                          target.st_dev == file.st_dev && target.st_ino == file.st_ino);
        }
        QFile commandLine(process + QStringLiteral("/cmdline"));
        if (!holds && commandLine.open(QIODevice::ReadOnly))
            holds = commandLine.readAll().split('\0').contains(named);
        if (!holds) continue;
        QFile comm(process + QStringLiteral("/comm"));
        comm.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(comm.readAll()).trimmed() + QStringLiteral(" (process ") +
               pid + u')';
    }
    // A process that is ending has closed its descriptors before its locks are gone.
    return LockedInode(file.st_ino) ? QStringLiteral("a lock") : QString();
}

}  // namespace

QString HeldBy(const QString& path, int waitMs) {
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0) return QString();
    for (int waited = 0;; waited += 50) {
        const QString holder = Holder(path, file);
        if (holder.isEmpty() || waited >= waitMs) return holder;
        QThread::msleep(50);
    }
}

bool QemuGuardsWrites(const QString& path, int waitMs) {
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0) return false;
    // QEMU's lock bytes: 100 + 1 while it writes, 200 + 1 while it lets no one else write.
    for (int waited = 0;; waited += 50) {
        if (LocksByte(file.st_ino, 101) || LocksByte(file.st_ino, 201)) return true;
        if (waited >= waitMs) return false;
        QThread::msleep(50);
    }
}

}  // namespace stowix::test
