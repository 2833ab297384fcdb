#include "restore/delete_job.h"

#include "sets/set_removal.h"
#include "shell/settings.h"

namespace stowix {

Status DeleteBackupSet(FileSystem& files, SettingsStore& settings, const QString& setPath,
                       const std::function<void(const Status&)>& removed) {
    const Status outcome = RemoveBackupSet(files, setPath);
    if (removed) removed(outcome);
    // The set is gone whether or not the record is written; a failed write costs only the
    // information box's entry.
    if (outcome)
        (void)WriteSetting(settings, SettingsKeys::Info, SettingsKeys::LastDelete, setPath);
    return outcome;
}

}  // namespace stowix
