#pragma once
// The contents of a realistic Windows 98 drive C: as a list of folders and files, each file with
// its bytes, DOS attribute value and last-write time. Everything is fixed by the options: the
// same options give the same bytes, so tests and benchmarks can rely on the drive. It does not
// write anything (drive_writer.h does).

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace stowix::tools {

struct DriveOptions {
    int extraIniFiles = 0;       // further *.INI files in the Windows folder, for large drives
    int systemDatMegabytes = 2;  // size of WINDOWS\SYSTEM.DAT, in MiB
};

struct DriveFile {
    QString path;  // drive-relative, backslashes: "WINDOWS\SYSTEM.DAT"
    QByteArray contents;
    int attributes = 0;
    QDateTime modified;  // UTC
};

struct DriveContents {
    std::vector<QString> folders;  // parents before children
    std::vector<DriveFile> files;
};

DriveContents Windows98Drive(const DriveOptions& options);

}  // namespace stowix::tools
