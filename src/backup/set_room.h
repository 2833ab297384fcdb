#pragma once
// The room on drive C: that a new backup set of the drive's configuration takes, counted before
// the set is made, so that a backup (or the set a restore keeps first) never fills the drive.
// It does not deal with making the set (set_copy.h).

#include "services/program_values.h"

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// In whole units of unitBytes: every file that the backup groups match now (in the flat set a
// later group's file replaces an earlier one of the same name, so a name counts once), the set's
// folder with its entries, and a unit for the backup root's new entry.
qint64 NewSetRoom(FileSystem& files, const QString& windowsFolder, qint64 unitBytes);

// Empty when drive C: can take a new set and still keep values.MinimumFreeBytes free, or when
// the drive cannot tell its free space; otherwise the text that says how much is free and how
// much is needed.
QString NewSetShortfall(FileSystem& files, const ProgramValues& values);

}  // namespace stowix
