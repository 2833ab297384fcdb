#include "backup/backup_registry_check.h"

#include <algorithm>

namespace stowix {

bool TellRegistryDamage(Dialogs& dialogs, const QString& setPath,
                        const std::vector<RegistryProblem>& problems) {
    if (problems.empty()) return false;
    const bool damaged =
        std::any_of(problems.begin(), problems.end(),
                    [](const RegistryProblem& problem) { return problem.checked; });
    // One paragraph, so that an unattended run reports it on one line.
    const QString text =
        (damaged ? QStringLiteral("The backup set %1 holds a damaged registry: %2. The set keeps "
                                  "the registry as the drive has it; Windows may not start with "
                                  "these files, and restoring this set would bring them back.")
                 : QStringLiteral("The registry of the backup set %1 could not be checked: %2."))
            .arg(setPath, DescribeRegistryProblems(problems));
    dialogs.MessageBox(text, MessageButtons::Ok, MessageIcon::Information,
                       QStringLiteral("Damaged Registry"));
    return damaged;
}

}  // namespace stowix
