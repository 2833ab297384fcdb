#pragma once
// The restore run: puts the files of the chosen backup set back where a backup took them from.
// Start-up files go to the drive root and Windows-folder files to the Windows folder at once; the
// registry files are staged in the backup root and the boot script puts them in place at the
// next start of Windows. It does not ask anything or restart anything (restore_command.h).

#include "files/listing.h"
#include "services/result.h"

#include <vector>

namespace stowix {

class FolderChooser;

// What a restore run could not do. A run that fails at some files still copies the others,
// stages the registry files and writes the boot script, so that what can be restored is.
struct RestoreOutcome {
    std::vector<CopyFailure> failedCopies;  // in the order the groups met them
    // True when a registry file could not be staged and the staged ones were taken back: a
    // SYSTEM.DAT and USER.DAT from different sets would not start Windows, so the registry is
    // restored whole or not at all.
    bool registryWithdrawn = false;
    // Why the set's registry files were not staged at all (the set lacks one of the pair, or
    // the old boot script could not be taken out first); empty when they were.
    QString registryNotStaged;
    Status bootScript = Status::Ok();  // writing WinStart.Bat
    bool Complete() const {
        return failedCopies.empty() && registryNotStaged.isEmpty() && bootScript.ok();
    }
};

// Restores the set that the chooser's folder list names: greys Done and the list, shows and
// steps the chooser's progress bar once per copied file through the thirteen copy groups, writes
// the boot script, makes all of it durable on disk (a flush that fails leaves the restore
// incomplete), and ends with the status text, LastRestore (for a complete restore only) and a
// beep.
RestoreOutcome RestoreBackupSet(FolderChooser& chooser);

}  // namespace stowix
