#pragma once
// Writes a drive's contents into a host folder: the bytes and times on the host, the attribute
// values through the posix file system, so that they are stored exactly as the program stores
// them. Existing files of the same names are replaced; nothing else in the folder is touched.

#include "windows98_drive.h"

#include <QString>

namespace stowix::tools {

// Returns an empty text on success, otherwise what went wrong.
QString WriteDrive(const DriveContents& contents, const QString& hostFolder);

}  // namespace stowix::tools
