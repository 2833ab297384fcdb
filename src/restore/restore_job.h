#pragma once
// The restore job: puts the files of a backup set back where a backup took them from, with no
// window. Start-up files go to the drive root and Windows-folder files to the Windows folder at
// once; the registry files are staged in the backup root and the boot script puts them in place at
// the next start of Windows. The steps are apart so that a front can show itself between them:
// the chooser greys its controls before the undo set is made, and a command line prints the undo
// set's name. Questions and failures go through the job's dialogs, which a window shows as boxes
// and a command answers from its options. It restarts nothing and ends nothing.

#include "files/listing.h"
#include "files/progress_stepper.h"
#include "services/program_values.h"
#include "services/result.h"
#include "services/settings_store.h"
#include "services/system.h"
#include "view/dialogs.h"

#include <vector>

namespace stowix {

// What a restore uses; non-owning, the front owns every part.
struct RestoreJob {
    FileSystem& files;
    SettingsStore& settings;
    System& system;
    Dialogs& dialogs;  // the questions of the restore, and what it could not do
    const ProgramValues& values;
    ProgressStepper& progress;  // stepped once per copied file
};

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

// False, told in a box titled "Restore refused", when the boot script could not name the Windows
// folder as DOS does: the registry would then never be put in place, so nothing may be restored.
bool BootScriptCanNameWindowsFolder(RestoreJob& job);

// What restoring setPath would change on the drive, and where what it replaces will be kept
// (undoPath): the details behind the confirmation. Only reads.
QString RestoreDetails(RestoreJob& job, const QString& setPath, const QString& undoPath);

// The registry question (restore_registry_check.h), then the confirmation with its details.
// True when the user confirmed; nothing is written before the answer.
bool ConfirmRestore(RestoreJob& job, const QString& setPath, const QString& undoPath);

// Copies the set's groups, stages its registry, writes the boot script and makes all of it
// durable on disk (a flush that fails leaves the restore incomplete). Records nothing.
RestoreOutcome RestoreSet(RestoreJob& job, const QString& setPath);

// A complete restore becomes LastRestore; an incomplete one is not recorded, since settings
// record only work that was done.
void RecordRestore(RestoreJob& job, const QString& setPath, const RestoreOutcome& outcome);

// What a restore that did not complete could not do, for a message box: each failed file with
// its reason, and a boot script that could not be written. Lines are broken by single carriage
// returns, as the program's message texts are.
QString IncompleteRestoreText(const RestoreOutcome& outcome, const QString& windowsFolder);

}  // namespace stowix
