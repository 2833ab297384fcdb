#pragma once
// Writes a drive's contents into a new disk image file: an MBR disk with one FAT32 partition,
// made and filled by mtools (mformat, mcopy, mattrib), never by the program's own image engine,
// so that the images tests and users start from are independent of the code they check.
// The file is replaced when it exists.

#include "windows98_drive.h"

#include <QString>

namespace stowix::tools {

// Returns an empty text on success, otherwise what went wrong. workFolder: an existing folder
// for the drive's files on their way into the image. volumeMegabytes: the FAT volume's size;
// 0 gives room for the drive three times over, and at least 128 MiB.
QString WriteDriveImage(const DriveContents& contents, const QString& imagePath,
                        const QString& workFolder, int volumeMegabytes = 0);

// The offset of the image's FAT partition, in bytes.
constexpr qint64 ImagePartitionOffset = 1024 * 1024;

}  // namespace stowix::tools
