#pragma once
// The one rule for a set without a registry: a set is only a set of this drive's configuration
// when its registry groups (the groups of the layout marked registry: SYSTEM.DAT, USER.DAT and
// their copies for Windows 9x; another kind of drive brings its own registry group) found at
// least one file. A backup that finds none is incomplete, never recorded as the last backup and
// never kept by prune in place of a set that has one; prune takes a folder without a record for a
// set only when it holds one. It does not deal with judging the files' contents
// (registry/set_check.h).

#include "fs/file_system.h"
#include "sets/backup_set_layout.h"

#include <QString>
#include <QStringList>

#include <span>

namespace stowix {

// The names of the files directly in the set's folder that the registry groups of groups match;
// empty when there are none or the folder cannot be listed.
QStringList RegistryFilesIn(FileSystem& files, const QString& setPath,
                            std::span<const SetGroup> groups);

// The line a backup reports for a drive whose registry was not found: the folder it looked in
// and the names it looked for.
QString RegistryNotFoundReason(std::span<const SetGroup> groups);
// The same line for a drive whose registry is the files named (a Wine prefix's).
QString RegistryNotFoundReason(const QStringList& names);

}  // namespace stowix
