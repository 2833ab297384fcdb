#pragma once
// After a backup: the registry files of the set just written are read whole (registry/), and a
// damaged one is told after the run, naming the file and the damage. Damage never stops or
// undoes the backup: the copy of a damaged registry is still the truth of the drive. It does
// not deal with the run's other outcomes (backup_run.h).

#include "registry/registry_file_check.h"
#include "view/dialogs.h"

#include <QString>

#include <vector>

namespace stowix {

// Exit status of an unattended run whose set is complete but holds a damaged registry file.
constexpr int RegistryDamagedStatus = 4;

// A box naming each file and its damage; under "/U" the dialogs make it one line on standard
// error. True when a file is known to be damaged (not only unchecked).
bool TellRegistryDamage(Dialogs& dialogs, const QString& setPath,
                        const std::vector<RegistryProblem>& problems);

}  // namespace stowix
