#pragma once
// A restore of a set with a record (sets/set_record.h) puts each file back only into the folder
// it came from: the root's AUTOEXEC.BAT never becomes a copy in the Windows folder, and a
// Windows-folder file the set kept apart under its twin name goes back there under its own
// name. A set without a record (made before records existed, or whose record cannot be read) is
// restored as before: each group takes every file of the set that matches it. It does not deal
// with the restore's groups or outcome (restore_run.h).

#include "files/listing.h"
#include "files/progress_stepper.h"
#include "sets/backup_set_layout.h"
#include "sets/set_record.h"

#include <optional>
#include <vector>

namespace stowix {

// The record of the set in setFolder, or nothing when it has none that can be read.
std::optional<SetRecord> RestoreRecord(FileSystem& files, const QString& setFolder);

// Which of a group's files a restore copies and under which name: all, under their own names,
// without a record; with one, those that came from the group's place (the registry group takes
// its files wherever they came from, and a file the record does not list is copied as before).
DestinationName RestoredName(const std::optional<SetRecord>& record, const SetGroup& group);

// Copies the files kept under a twin name back to their folder under their own names, stepping
// progress once per file; the failures, in order.
std::vector<CopyFailure> RestoreTwins(FileSystem& files, ProgressStepper& progress,
                                      const std::optional<SetRecord>& record,
                                      const QString& setFolder, const QString& windowsFolder);

}  // namespace stowix
