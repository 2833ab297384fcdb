#include "disk/qemu_nbd_start.h"

#include "disk/image_lock.h"

#include <fcntl.h>
#include <libnbd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <ctime>
#include <string>
#include <vector>

namespace stowix::fat {

namespace {

// The shell that becomes qemu-nbd (the same process, as socket activation requires). It sends
// qemu-nbd's standard error to a file of ours, read when qemu-nbd fails. And it leaves a watcher
// behind: qemu-nbd ends by itself when our connection closes, but not when this process dies
// while qemu-nbd is still opening the disk (before the connection is made); the watcher then ends
// it (SIGTERM: qemu-nbd closes the image cleanly), so that no qemu-nbd outlives Stowix holding
// the disk. The watcher is given Stowix's own process number rather than the shell's $PPID: a
// Stowix killed before the shell starts would leave it a $PPID of 1, which never ends.
// qemu-nbd allocates a buffer for every request and frees it after the answer; by default the C
// library hands such buffers back to the kernel at once (mmap for large ones, heap trimming for
// the rest), so every request paid a page fault for each 4 KiB it carried, which made up most of
// the transport's cost. The tunables keep freed buffers for reuse: qemu-nbd then holds about what
// it has in flight (PiecesInFlight pieces, nbd_device.cpp), some 8 MiB.
std::string LauncherScript() {
    return "exec 2>\"$0\"; parent=" + std::to_string(::getpid()) +
           "; self=$$; "
           "( exec 3>&- </dev/null >/dev/null; "
           "while kill -0 \"$parent\" && kill -0 \"$self\"; do sleep 1; done 2>/dev/null; "
           "kill -TERM \"$self\" 2>/dev/null ) & "
           "export GLIBC_TUNABLES=\"${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}"
           "glibc.malloc.mmap_threshold=4194304:glibc.malloc.trim_threshold=33554432\"; "
           "exec \"$@\"";
}

QString Missing(const DiskFormat& format, const QString& name) {
    return QStringLiteral(
               "%1 is a %2. Stowix reads and writes such disks through qemu-nbd, which is not "
               "installed: install the qemu-utils package (for example: sudo apt install "
               "qemu-utils) and try again. The disk was not changed.")
        .arg(name, format.description);
}

// A file for qemu-nbd's complaints, kept until the connection is made or has failed.
class ComplaintFile {
public:
    ComplaintFile() {
        QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/stowix-qemu-nbd-XXXXXX";
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_fd >= 0) m_path = pattern.toStdString();
    }
    ~ComplaintFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }
    QString Text() const {
        QByteArray text;
        char buffer[4096];
        ssize_t got = 0;
        off_t at = 0;
        while ((got = ::pread(m_fd, buffer, sizeof buffer, at)) > 0 && text.size() < 65536) {
            text.append(buffer, int(got));
            at += got;
        }
        return QString::fromLocal8Bit(text).trimmed();
    }

private:
    int m_fd = -1;
    std::string m_path;
};

// Whether a Unix socket at this path is listened on, as /proc/net/unix shows (without
// connecting to it: a connection, even one closed at once, would count as qemu-nbd's client).
bool Listened(const QByteArray& path) {
    QFile sockets(QStringLiteral("/proc/net/unix"));
    if (!sockets.open(QIODevice::ReadOnly)) return true;
    for (const QByteArray& line : sockets.readAll().split('\n')) {
        if (line.endsWith(QByteArray(' ' + path))) return true;
    }
    return false;
}

}  // namespace

void RemoveStaleNbdSockets() {
    QStringList places = {QStringLiteral("/tmp"), QDir::tempPath()};
    places.removeDuplicates();
    for (const QString& place : places) {
        const QDir folder(place);
        const QStringList found = folder.entryList(
            {QStringLiteral("libnbd??????")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& name : found) {
            const QByteArray dir = QFile::encodeName(folder.filePath(name));
            struct stat info {};
            if (::lstat(dir.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
                info.st_uid != ::getuid())
                continue;
            // A folder made in the last minute may be another run's, between libnbd making it
            // and binding its socket.
            if (info.st_mtime > ::time(nullptr) - 60) continue;
            const QStringList inside = QDir(folder.filePath(name))
                                           .entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                      QDir::Hidden | QDir::System);
            if (inside.size() > 1 || (inside.size() == 1 && inside.first() != u"sock")) continue;
            const QByteArray socket = dir + "/sock";
            if (!inside.isEmpty() && Listened(socket)) continue;
            (void)::unlink(socket.constData());
            (void)::rmdir(dir.constData());
        }
    }
}

QString QemuNbdRefusal(const QString& complaint, const DiskFormat& format, const QString& name,
                       const std::string& path) {
    if (complaint.contains(QStringLiteral("lock")) &&
        complaint.contains(QStringLiteral("Failed to get"))) {
        // "Is another process using the image [/d/base.qcow2]?": the file held, which for an
        // overlay may be its backing file rather than the disk named.
        static const QRegularExpression held(QStringLiteral("using the image \\[(.*)\\]\\?"));
        const QRegularExpressionMatch match = held.match(complaint);
        const QString heldPath = match.hasMatch() ? match.captured(1) : QString();
        if (heldPath.isEmpty() || QFile::encodeName(heldPath).toStdString() == path)
            return QemuHolderMessage(path, name);
        return QemuHolderMessage(QFile::encodeName(heldPath).toStdString(), heldPath) +
               QStringLiteral(" (It is the backing file of %1.)").arg(name);
    }
    // "Parameter 'encrypt.key-secret' is required for cipher"
    if (complaint.contains(QStringLiteral("encrypt")) ||
        complaint.contains(QStringLiteral("key-secret")))
        return QStringLiteral(
                   "%1 is an encrypted %2, which Stowix cannot open: it has no way to be given "
                   "the key. Make a decrypted copy first (qemu-img convert, given the key) and "
                   "use that as the drive; nothing was written.")
            .arg(name, format.description);
    // "qemu-nbd: Failed to blk_new_open '/d/top.qcow2': Could not open backing file: Could not
    // open '/d/base.qcow2': No such file or directory"
    QString reason = complaint.section(u'\n', 0, 0);
    reason.remove(
        QRegularExpression(QStringLiteral("^qemu-nbd: (Failed to blk_new_open '[^']*': )?")));
    if (reason.contains(QStringLiteral("backing file"))) {
        static const QRegularExpression backing(
            QStringLiteral("Could not open '([^']*)': ([^']*)$"));
        const QRegularExpressionMatch match = backing.match(reason);
        if (match.hasMatch())
            return QStringLiteral(
                       "%1 is a %2 whose backing file %3 cannot be opened (%4). Put the backing "
                       "file back where the disk names it and try again; nothing was written.")
                .arg(name, format.description, match.captured(1), match.captured(2));
    }
    while (reason.endsWith(u'.')) reason.chop(1);
    if (reason.isEmpty()) reason = QStringLiteral("qemu-nbd ended without saying why");
    return QStringLiteral("%1 is a %2 that QEMU cannot open: %3. Nothing was written.")
        .arg(name, format.description, reason);
}

Status StartQemuNbd(nbd_handle* handle, const std::string& path, const DiskFormat& format,
                    bool writable, const QString& name) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("qemu-nbd"));
    if (program.isEmpty()) return Status::Fail(Missing(format, name));
    ComplaintFile complaints;
    if (complaints.Path().empty())
        return Status::Fail(name + QStringLiteral(": no temporary file for qemu-nbd's messages"));
    const std::string qemuNbd = QFile::encodeName(program).toStdString();
    const std::string formatOption = "--format=" + format.qemuFormat.toStdString();
    const std::string launcher = LauncherScript();
    RemoveStaleNbdSockets();
    std::vector<const char*> arguments = {"/bin/sh", "-c", launcher.c_str(),
                                          complaints.Path().c_str(), qemuNbd.c_str(),
                                          formatOption.c_str(),
                                          // An NBD flush then writes QEMU's caches out and
                                          // fsyncs the file.
                                          "--cache=writeback",
                                          // Forked children connect too (nbd_device.h); it
                                          // still ends when the last connection closes.
                                          "--shared=0"};
    if (!writable) arguments.push_back("--read-only");
    arguments.push_back("--");
    arguments.push_back(path.c_str());
    arguments.push_back(nullptr);
    if (nbd_connect_systemd_socket_activation(handle, const_cast<char**>(arguments.data())) != 0) {
        const QString complaint = complaints.Text();
        if (complaint.isEmpty())
            return Status::Fail(QStringLiteral("%1: qemu-nbd could not serve it: %2")
                                    .arg(name, QString::fromLocal8Bit(nbd_get_error())));
        return Status::Fail(QemuNbdRefusal(complaint, format, name, path));
    }
    return Status::Ok();
}

}  // namespace stowix::fat
