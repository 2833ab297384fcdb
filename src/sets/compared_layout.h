#pragma once
// The backup set's layout as the comparisons read it: where a backup takes each file from, and
// where a restore puts each file of a set. Both come from the one table of the set's layout.

#include "services/program_values.h"

#include <QString>

#include <vector>

namespace stowix {

// Files a backup takes: those of folder (a full DOS folder ending in a backslash) matching
// pattern, in the order a backup copies them.
struct BackupSource {
    QString folder;
    QString pattern;
    bool registry = false;
};

// Files of a set a restore writes: those matching pattern, each into folder (a full DOS folder
// ending in a backslash). The registry files' folder is the Windows folder, where the next start
// of Windows puts them, not the backup root where the restore stages them.
struct RestoreTarget {
    QString pattern;
    QString folder;
    bool registry = false;
};

std::vector<BackupSource> BackupSources(const ProgramValues& values);
std::vector<RestoreTarget> RestoreTargets(const ProgramValues& values);

}  // namespace stowix
