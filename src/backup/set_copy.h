#pragma once
// Filling a new backup set: the drive's configuration copied into the set's folder group by
// group, and the set made durable. The backup run and the set that a restore keeps first both
// make their sets with it, so the two hold the same files. It does not deal with naming or
// making the set's folder (set_folder.h) or with recording the set.

#include "files/listing.h"
#include "files/progress_stepper.h"

#include <QString>

#include <vector>

namespace stowix {

// Copies the fifteen file groups into setPath, stepping progress once per file. A group that
// fails does not stop the others: every group is tried, so the set holds all that could be
// copied, and each failure is handed back.
std::vector<CopyFailure> CopySetGroups(FileSystem& files, ProgressStepper& progress,
                                       const QString& windowsFolder, const QString& setPath);

// For a drive that is a Wine prefix: its registry files copied into the set too, a failure
// added to failures. Nothing for any other drive.
void AppendWineRegistry(FileSystem& files, const QString& prefix, const QString& setPath,
                        std::vector<CopyFailure>& failures);

// Makes the set durable; a failure is added to failures. A set is recorded or used only once its
// copies are on disk: a power cut after that must not find files that never reached the disk.
void FlushSet(FileSystem& files, const QString& setPath, std::vector<CopyFailure>& failures);

}  // namespace stowix
