#include "drive_writer.h"

#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>

namespace stowix::tools {

namespace {

QString HostPath(const QString& hostFolder, const QString& drivePath) {
    return hostFolder + u'/' + QString(drivePath).replace(u'\\', u'/');
}

QString LastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Sets a file's or folder's last-write (and access) time to the second.
QString SetTime(const QString& hostPath, const QDateTime& when) {
    const timespec times[2] = {{time_t(when.toSecsSinceEpoch()), 0},
                               {time_t(when.toSecsSinceEpoch()), 0}};
    if (::utimensat(AT_FDCWD, QFile::encodeName(hostPath).constData(), times, 0) != 0)
        return hostPath + QStringLiteral(": ") + LastError();
    return {};
}

QString WriteBytes(const QString& hostPath, const QByteArray& bytes) {
    const QByteArray native = QFile::encodeName(hostPath);
    // A read-only file from an earlier run is replaced like any other.
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0 && ::unlink(native.constData()) != 0)
        return hostPath + QStringLiteral(": ") + LastError();
    QFile file(hostPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return hostPath + QStringLiteral(": ") + file.errorString();
    // A buffered write may fail only when flushed (a full disk): check that too, so that a
    // truncated file is never reported as written.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return hostPath + QStringLiteral(": ") + file.errorString();
    file.close();
    return {};
}

}  // namespace

QString WriteDrive(const DriveContents& contents, const QString& hostFolder) {
    if (!QDir().mkpath(hostFolder)) return QStringLiteral("cannot create ") + hostFolder;
    const QString root = QFileInfo(hostFolder).absoluteFilePath();
    for (const QString& folder : contents.folders)
        if (!QDir().mkpath(HostPath(root, folder)))
            return QStringLiteral("cannot create ") + HostPath(root, folder);

    DriveMap drives;
    drives.Set(u'C', QFile::encodeName(root).toStdString());
    std::unique_ptr<FileSystem> files = MakePosixFileSystem(drives);

    for (const DriveFile& file : contents.files) {
        const QString host = HostPath(root, file.path);
        if (QString error = WriteBytes(host, file.contents); !error.isEmpty()) return error;
        if (QString error = SetTime(host, file.modified); !error.isEmpty()) return error;
        // After the time: the attribute write leaves the last-write time alone.
        const QString dosPath = QStringLiteral("C:\\") + file.path;
        if (Status written = files->WriteAttributes(dosPath, file.attributes); !written)
            return dosPath + QStringLiteral(": ") + written.reason();
    }

    // Folder times last, deepest first, once nothing more is written into them.
    const QDateTime folderTime(QDate(1999, 10, 30), QTime(9, 14, 36), Qt::UTC);
    for (auto it = contents.folders.rbegin(); it != contents.folders.rend(); ++it)
        if (QString error = SetTime(HostPath(root, *it), folderTime); !error.isEmpty())
            return error;
    return {};
}

}  // namespace stowix::tools
