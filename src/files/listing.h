#pragma once
// Listing the files of one folder that match a pattern, the path texts the listing joins, and
// copying such a list into another folder.

#include "files/progress_stepper.h"
#include "fs/file_system.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace stowix {

// The first character of drive followed by ":"; an empty drive means the current drive ("C:").
QString DrivePrefix(FileSystem& files, const QString& drive);

// A folder text without its drive, beginning and ending with one backslash: "C:\WINDOWS",
// "WINDOWS" and "\WINDOWS\" all give "\WINDOWS\"; "C:" and "\" give "\". An empty folder
// means the current folder of the current drive.
QString NormalizeFolder(FileSystem& files, const QString& folder);

// Collects every file (hidden, system and read-only ones too; never a folder) that matches
// pattern directly in one folder, in the host's listing order. On return folder holds the
// searched folder as DrivePrefix(drive) + NormalizeFolder(folder), such as "C:\WINDOWS\"; an
// empty pattern becomes "*.*" in the caller's variable too. count comes in as 0 and goes out as
// the number of names; with withPath each entry is folder + name. Entries are numbered from 1
// in the program's terms; here list[i - 1] holds entry i. Fails only when the folder exists but
// cannot be read; a missing folder lists nothing.
Status FindFiles(FileSystem& files, const QString& drive, QString& folder, QString& pattern,
                 std::vector<QString>& list, int& count, bool withPath);

// One file that a group copy could not copy: its full source path and the host's reason.
struct CopyFailure {
    QString path;
    QString reason;
};

// Copies every file of sourceFolder (on its own drive when it names one, else on drive C:) that
// matches pattern into destinationFolder
// under the same name, keeping attributes, stepping the window's progress bar once before each
// file. destinationFolder carries no trailing backslash; empty means the root of the current
// drive. On return sourceFolder holds the full normalised folder ("C:\WINDOWS\"). A file that
// fails does not stop the others: every listed file is tried, and each failure is handed back.
std::vector<CopyFailure> CopyMatchingFiles(FileSystem& files, ProgressStepper& progress,
                                           QString& sourceFolder, QString& pattern,
                                           const QString& destinationFolder);

// The name a listed file gets in the destination folder, or nothing to leave it out.
using DestinationName = std::function<std::optional<QString>(const QString& name)>;

// The same, each file copied under the name destinationName gives it, or left out.
std::vector<CopyFailure> CopyMatchingFiles(FileSystem& files, ProgressStepper& progress,
                                           QString& sourceFolder, QString& pattern,
                                           const QString& destinationFolder,
                                           const DestinationName& destinationName);

}  // namespace stowix
