#pragma once
// The room on drive C: that a restore takes, counted before anything is written, so that a
// restore never fills the drive. It does not deal with the set a restore keeps first
// (backup/set_room.h) or with the copies themselves (restore_run.h).

#include "services/program_values.h"

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// In whole units of unitBytes: what each file that restoring setPath writes adds over the file it
// replaces (a target that several groups write counts once, at its last size); and, since a
// group's new files stand beside the files they replace until the whole group is in place, the
// largest group's replacing files once more; and a unit for the boot script.
qint64 RestoreRoom(FileSystem& files, const ProgramValues& values, const QString& setPath,
                   qint64 unitBytes);

}  // namespace stowix
