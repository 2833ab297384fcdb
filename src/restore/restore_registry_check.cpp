#include "restore/restore_registry_check.h"

#include "registry/registry_file_check.h"

#include <algorithm>

namespace stowix {

bool AcceptSetRegistry(FileSystem& files, Dialogs& dialogs, const QString& setPath) {
    const std::vector<RegistryProblem> problems = CheckSetRegistry(files, setPath);
    if (problems.empty()) return true;
    const bool damaged =
        std::any_of(problems.begin(), problems.end(),
                    [](const RegistryProblem& problem) { return problem.checked; });
    const QString text =
        (damaged ? QStringLiteral("The registry in this backup set is damaged: %1.\r\rWindows may "
                                  "not start with it. Restore this set anyway?")
                 : QStringLiteral("The registry in this backup set could not be checked: %1."
                                  "\r\rRestore this set anyway?"))
            .arg(DescribeRegistryProblems(problems));
    return dialogs.MessageBox(text, MessageButtons::YesNo, MessageIcon::Question,
                              QStringLiteral("Damaged Registry")) == MessageAnswer::Yes;
}

}  // namespace stowix
