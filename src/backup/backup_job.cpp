#include "backup/backup_job.h"

#include "backup/set_copy.h"
#include "backup/set_room.h"
#include "files/copy_failure_list.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "sets/set_folder.h"
#include "shell/settings.h"

namespace stowix {

namespace {

QString BuildStamp(System& system) {
    // The date first, the time right after it, once each.
    const QString dateText = system.DateText();
    const QString timeText = system.TimeText();
    return SetStamp(dateText, timeText);
}

// Makes the set's folder into outcome.setPath; false when nothing may be copied into it, with
// the reason in the failures and the set named by its plain name.
bool MakeSetFolder(BackupJob& job, const QString& stamp, const QString& pendingComment,
                   BackupOutcome& outcome) {
    FileSystem& files = job.files;
    const Result<QString> made =
        stowix::MakeSetFolder(files, BackupRoot, MakeBackupRoot(files), stamp, pendingComment);
    if (made) {
        outcome.setPath = made.value();
        return true;
    }
    outcome.setPath = SetPath(stamp, pendingComment);
    outcome.failures.push_back({outcome.setPath, made.reason()});
    return false;
}

// LastBackup names only a set whose every file was copied. A run that missed a file leaves the
// previous LastBackup as it was; the copies it did make stay in the new set's folder.
void RecordSet(BackupJob& job, BackupOutcome& outcome) {
    if (!outcome.failures.empty()) {
        outcome.status = BackupStatus::FilesMissing;
        return;
    }
    const Status recorded =
        WriteSetting(job.settings, SettingsKeys::Info, SettingsKeys::LastBackup, outcome.setPath);
    if (recorded.ok()) return;
    outcome.status = BackupStatus::NotRecorded;
    outcome.reason = recorded.reason();
}

}  // namespace

BackupOutcome MakeBackup(BackupJob& job, const QString& pendingComment,
                         const std::function<void()>& copied) {
    BackupOutcome outcome;
    const QString stamp = BuildStamp(job.system);
    FileSystem& files = job.files;
    // A set that would leave drive C: too full is not begun: no folder, no copy, no record.
    if (QString shortfall = NewSetShortfall(files, job.values); !shortfall.isEmpty()) {
        outcome.status = BackupStatus::NoRoom;
        outcome.reason = std::move(shortfall);
        return outcome;
    }
    // Nothing is copied into a set folder that the run could not make or may not use.
    if (MakeSetFolder(job, stamp, pendingComment, outcome)) {
        const ProgramValues& values = job.values;
        outcome.failures =
            CopySetGroups(files, job.progress, values.WindowsFolder, outcome.setPath);
        AppendWineRegistry(files, values.WinePrefix, outcome.setPath, outcome.failures);
        RequireRegistry(files, values.WindowsFolder, values.WinePrefix, outcome.setPath,
                        outcome.failures);
    }
    // The registry files of the set are read whole while the set is flushed; what is wrong with
    // them is told at the end.
    PendingSetRegistryCheck registryCheck(files, outcome.setPath);
    FlushSet(files, outcome.setPath, outcome.failures);
    outcome.registryProblems = registryCheck.Finish();
    if (copied) copied();
    RecordSet(job, outcome);
    return outcome;
}

QString IncompleteBackupText(const BackupOutcome& outcome, const QString& pendingComment) {
    // Line breaks inside message texts are single carriage returns.
    if (outcome.status == BackupStatus::NotRecorded) {
        return QStringLiteral("Every file was copied into the backup set ") + outcome.setPath +
               QStringLiteral(", but it could not be recorded as the last backup:\r") +
               outcome.reason;
    }
    QString text = QStringLiteral("The backup set ") + outcome.setPath +
                   QStringLiteral(" is incomplete. These could not be copied:\r");
    text += ListCopyFailures(outcome.failures) + QStringLiteral("\r");
    text += QStringLiteral("\rThe set was not recorded as the last backup");
    if (!pendingComment.isEmpty())
        text += QStringLiteral(", and its comment stays for the next backup");
    text += QStringLiteral(". The files that were copied stay in the set.");
    return text;
}

QString NoRoomText(const BackupOutcome& outcome) {
    return outcome.reason + QStringLiteral(
                                "\r\rNo backup set was made. Free some space on drive C: "
                                "(delete older backup sets, for instance) and back up again.");
}

}  // namespace stowix
