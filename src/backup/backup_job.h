#pragma once
// The backup job: makes one new backup set under the backup root, copies the fifteen file groups
// into it, makes the copies durable, reads its registry files whole, and records the set as the
// last backup. A copy that fails does not stop the job: every group is still tried, and the
// outcome then says what is missing instead of the set being recorded. It never removes or
// changes an older set, shows nothing and ends nothing: the window (backup_run.h), "/U" and
// stowix-backup (unattended_backup.h) show its outcome each in their way.

#include "files/listing.h"
#include "files/progress_stepper.h"
#include "registry/registry_file_check.h"
#include "services/program_values.h"
#include "services/settings_store.h"
#include "services/system.h"

#include <QString>

#include <functional>
#include <vector>

namespace stowix {

// What a backup uses; non-owning, the front owns every part.
struct BackupJob {
    FileSystem& files;
    SettingsStore& settings;
    System& system;  // the date and time of the set's name
    const ProgramValues& values;
    ProgressStepper& progress;  // stepped once per copied file
};

enum class BackupStatus {
    Complete,      // every file copied and on disk, the set recorded as LastBackup
    NoRoom,        // not begun: drive C: is too full (reason says how full); nothing made
    FilesMissing,  // a file was not copied (failures); the set stays, not recorded
    NotRecorded,   // every file copied, but LastBackup could not be written (reason)
};

struct BackupOutcome {
    BackupStatus status = BackupStatus::Complete;
    QString setPath;  // the set made (or, when its folder could not be made, its plain name)
    std::vector<CopyFailure> failures;
    QString reason;  // the shortfall of NoRoom, or why NotRecorded
    std::vector<RegistryProblem> registryProblems;
};

// Makes one set named by now and pendingComment (empty, or a blank and the comment). copied,
// when given, is called once the copies are on disk and read, before the set is recorded.
BackupOutcome MakeBackup(BackupJob& job, const QString& pendingComment,
                         const std::function<void()>& copied = {});

// The text of a report on an outcome that is neither Complete nor NoRoom. One title for both
// (IncompleteBackupTitle): either way the run did not finish its work, and a user (or the log of
// an unattended run) should find both under the same words.
inline const QString IncompleteBackupTitle = QStringLiteral("Backup incomplete");
QString IncompleteBackupText(const BackupOutcome& outcome, const QString& pendingComment);

// The text of the box that tells a NoRoom outcome, titled NoRoomTitle.
inline const QString NoRoomTitle = QStringLiteral("Not enough free space");
QString NoRoomText(const BackupOutcome& outcome);

}  // namespace stowix
