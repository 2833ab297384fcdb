#pragma once
// After a backup: the registry files of the set just written are read whole (registry/), and a
// damaged one is told after the run, naming the file and the damage. Damage never stops or
// undoes the backup: the copy of a damaged registry is still the truth of the drive. It does
// not deal with the run's other outcomes (backup_run.h).

#include "registry/registry_file_check.h"
#include "shell/main_window.h"

#include <QString>

#include <vector>

namespace stowix {

// Exit status of an unattended run whose set is complete but holds a damaged registry file.
constexpr int RegistryDamagedStatus = 4;

// Starts reading the set's registry files; Finish gives their problems, empty when they are
// sound (or not in the set). The run flushes the set meanwhile.
PendingSetRegistryCheck StartBackedUpRegistryCheck(MainWindow& window, const QString& setPath);

// A box naming each file and its damage; under "/U" the dialogs make it one line on standard
// error. True when a file is known to be damaged (not only unchecked).
bool TellRegistryDamage(MainWindow& window, const QString& setPath,
                        const std::vector<RegistryProblem>& problems);

}  // namespace stowix
