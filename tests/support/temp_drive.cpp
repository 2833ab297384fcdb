#include "support/temp_drive.h"

#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace stowix::test {

TempDrive::TempDrive() {
    if (!m_root.isValid())
        ADD_FAILURE() << "no temporary folder: " << m_root.errorString().toStdString();
    DriveMap drives;
    drives.Set(u'C', QFile::encodeName(m_root.path()).toStdString());
    m_files = MakePosixFileSystem(drives);
    if (Status changed = m_files->ChangeDrive(u'C'); !changed)
        ADD_FAILURE() << "drive C: not usable: " << changed.reason().toStdString();
}

TempDrive::~TempDrive() {
    // A test may leave a folder without write permission; the clean-up must still reach it.
    QDirIterator it(m_root.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) ::chmod(QFile::encodeName(it.next()).constData(), 0700);
}

QString TempDrive::HostPath(const QString& dosPath) const {
    QString rest = dosPath;
    if (rest.size() >= 2 && rest.at(1) == u':') rest.remove(0, 2);
    if (rest.startsWith(u'\\')) rest.remove(0, 1);
    rest.replace(u'\\', u'/');
    return rest.isEmpty() ? m_root.path() : m_root.path() + u'/' + rest;
}

void TempDrive::AddFolder(const QString& dosPath) {
    if (!QDir().mkpath(HostPath(dosPath))) ADD_FAILURE() << "cannot make " << dosPath.toStdString();
}

void TempDrive::AddFile(const QString& dosPath, const QByteArray& contents,
                        std::optional<int> attributes, std::optional<QDateTime> modified) {
    const QString host = HostPath(dosPath);
    QDir().mkpath(QFileInfo(host).absolutePath());
    // A read-only file from an earlier call is replaced, as a test means it to be.
    if (QFileInfo::exists(host)) {
        QFile::setPermissions(host, QFile::permissions(host) | QFile::WriteOwner);
        QFile::remove(host);
    }
    QFile file(host);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ADD_FAILURE() << "cannot write " << host.toStdString();
        return;
    }
    file.write(contents);
    file.close();
    if (modified) {
        QFile touched(host);
        if (!touched.open(QIODevice::ReadWrite) ||
            !touched.setFileTime(*modified, QFileDevice::FileModificationTime))
            ADD_FAILURE() << "cannot set the time of " << host.toStdString();
    }
    if (attributes) {
        if (Status written = m_files->WriteAttributes(dosPath, *attributes); !written)
            ADD_FAILURE() << "cannot set attributes of " << dosPath.toStdString() << ": "
                          << written.reason().toStdString();
    }
}

bool TempDrive::HostExists(const QString& dosPath) const {
    return QFileInfo::exists(HostPath(dosPath));
}

QByteArray TempDrive::HostBytes(const QString& dosPath) const {
    QFile file(HostPath(dosPath));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

int TempDrive::Attributes(const QString& dosPath) {
    const Result<int> read = m_files->ReadAttributes(dosPath);
    return read ? read.value() : -1;
}

QDateTime TempDrive::ModifiedTime(const QString& dosPath) const {
    const QFileInfo info(HostPath(dosPath));
    if (!info.exists()) return {};
    return info.fileTime(QFileDevice::FileModificationTime).toUTC();
}

QStringList TempDrive::HostNames(const QString& dosFolder) const {
    QStringList names =
        QDir(HostPath(dosFolder))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

}  // namespace stowix::test
