#pragma once
// The program names its media files as its folder, a backslash and the file name
// (ProgramFolder() + "\Stowix1.Avi"). The folder is a host path, so only that last backslash is
// a separator to turn into '/'; any earlier one belongs to a host folder's name.

#include <QString>

namespace stowix {

QString HostMediaPath(const QString& programPath);

}  // namespace stowix
