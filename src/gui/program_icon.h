#pragma once
// The program's icon, read from the image files beside the program: the stowix-32.png and
// stowix-16.png images, or else Stowix.ico (also found as stowix.ico). Missing or unreadable
// files are skipped; with none of them the icon is empty and the desktop's default icon shows.

#include <QIcon>
#include <QString>

namespace stowix {

// programFolder: the host folder of the running program, without a trailing separator.
QIcon LoadProgramIcon(const QString& programFolder);

}  // namespace stowix
