#pragma once
// This type gives a test a fresh temporary host folder mapped as drive C:, with the real posix
// file system over it, and helpers that make and inspect files there. Files are made on the
// host with exactly the names given (no case folding), so a test controls how names are stored;
// attributes go through the file system, so they are stored as the program stores them. It does
// not deal with other drives or with the Windows folder's discovery.

#include "fs/file_system.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace stowix::test {

class TempDrive {
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    // The real file system, drive C: mapped onto the temporary folder and current.
    FileSystem& Files() { return *m_files; }
    // The host folder that is drive C:.
    QString HostRoot() const { return m_root.path(); }
    // The host path of a DOS path on drive C: ("C:\WINDOWS\A.INI" or "\WINDOWS\A.INI"), each
    // component taken exactly as written.
    QString HostPath(const QString& dosPath) const;

    // Creates a folder and any missing parents, with the names as written.
    void AddFolder(const QString& dosPath);
    // Creates or replaces a file with these bytes, parents made as needed; then its last-write
    // time when given, then its attribute value (through the file system) when given.
    void AddFile(const QString& dosPath, const QByteArray& contents,
                 std::optional<int> attributes = std::nullopt,
                 std::optional<QDateTime> modified = std::nullopt);

    bool HostExists(const QString& dosPath) const;
    // The file's bytes on the host; empty when it cannot be read.
    QByteArray HostBytes(const QString& dosPath) const;
    // The attribute value that the file system reads; -1 when the read fails.
    int Attributes(const QString& dosPath);
    // The host's last-write time, in UTC; invalid when the file is missing.
    QDateTime ModifiedTime(const QString& dosPath) const;
    // The names in a folder as stored on the host, sorted, without "." and "..".
    QStringList HostNames(const QString& dosFolder) const;

private:
    QTemporaryDir m_root;
    std::unique_ptr<FileSystem> m_files;
};

}  // namespace stowix::test
