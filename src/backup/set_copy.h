#pragma once
// Filling a new backup set: the drive's configuration copied into the set's folder group by
// group, and the set made durable. The backup run and the set that a restore keeps first both
// make their sets with it, so the two hold the same files. It does not deal with naming or
// making the set's folder (set_folder.h) or with recording the set.

#include "files/listing.h"
#include "files/progress_stepper.h"
#include "sets/backup_set_layout.h"

#include <QString>

#include <span>
#include <vector>

namespace stowix {

// Copies the fifteen file groups into setPath, stepping progress once per file. A group that
// fails does not stop the others: every group is tried, so the set holds all that could be
// copied, and each failure is handed back. The set's record (sets/set_record.h) is written
// first, saying that the set is not complete yet, and again at the end with where each file
// came from: a file of the Windows folder whose name a file of the root has already (an
// AUTOEXEC.BAT in both) is kept apart under its twin name.
std::vector<CopyFailure> CopySetGroups(FileSystem& files, ProgressStepper& progress,
                                       const QString& windowsFolder, const QString& setPath);

// For a drive that is a Wine prefix: its registry files copied into the set too, a failure
// added to failures. Nothing for any other drive.
void AppendWineRegistry(FileSystem& files, const QString& prefix, const QString& setPath,
                        std::vector<CopyFailure>& failures);

// A backup of a drive whose registry was not found holds no registry to restore Windows from
// (sets/registry_presence.h): the failure that says so is added, so that the set is incomplete
// and not recorded. The registry of a Wine prefix (prefix not empty) is its own registry files,
// which AppendWineRegistry has copied; any other drive's is its Windows 9x registry group. (The
// set a restore keeps first holds what the drive has, with a registry or without: a restore may
// be what brings the registry back.)
void RequireRegistry(FileSystem& files, const QString& windowsFolder, const QString& prefix,
                     const QString& setPath, std::vector<CopyFailure>& failures);

// Makes the set durable; a failure is added to failures. A set is recorded or used only once its
// copies are on disk: a power cut after that must not find files that never reached the disk.
// When nothing failed, the set's record is then marked complete and made durable in turn.
void FlushSet(FileSystem& files, const QString& setPath, std::vector<CopyFailure>& failures);

}  // namespace stowix
