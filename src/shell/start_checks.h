#pragma once
// What every start checks before any work, with the window or without one: another copy of the
// program, and drive C: with its Windows folder. The texts are the ones start-up shows.

#include "fs/file_system.h"
#include "services/windows_api.h"

#include <QString>

namespace stowix {

// Told, under "/U", when another copy of the program runs.
inline const QString AnotherCopyText =
    QStringLiteral("another copy of Stowix is running, so no backup was made");

// Drive C: made current, then the Windows folder as the system reports it; fails with the
// reason (no drive C:, no Windows folder, two of them).
Result<QString> FindWindowsFolder(FileSystem& files, WindowsApi& windows);

// The message for a start without drive C: or a Windows folder: the reason, the drive's host path
// (the folder, prefix or disk file) when it is known, and how to name one.
QString NoWindowsFolderText(const QString& reason, const QString& drivePath = QString());

}  // namespace stowix
