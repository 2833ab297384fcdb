#include "backup/unattended_backup.h"

#include "backup/backup_registry_check.h"
#include "services/exit_status.h"
#include "shell/start_checks.h"

namespace stowix {

namespace {

const QString ProgramTitle = QStringLiteral("Stowix");

// Nothing to step: no bar is shown.
class NoProgress : public ProgressStepper {
public:
    void StepProgress(bool, bool) override {}
};

void Tell(Dialogs& dialogs, const QString& text, const QString& title) {
    (void)dialogs.MessageBox(text, MessageButtons::Ok, MessageIcon::Information, title);
}

// The status of a job that ran, its troubles told as the window's run tells them.
int Conclude(Dialogs& dialogs, const BackupOutcome& outcome, const QString& pendingComment) {
    switch (outcome.status) {
    case BackupStatus::NoRoom:
        Tell(dialogs, NoRoomText(outcome), NoRoomTitle);
        return ExitStatus::Incomplete;
    case BackupStatus::FilesMissing:
    case BackupStatus::NotRecorded:
        Tell(dialogs, IncompleteBackupText(outcome, pendingComment), IncompleteBackupTitle);
        (void)TellRegistryDamage(dialogs, outcome.setPath, outcome.registryProblems);
        return ExitStatus::Incomplete;
    case BackupStatus::Complete: break;
    }
    // A damaged registry does not make the set incomplete: it is told, with a status of its own.
    return TellRegistryDamage(dialogs, outcome.setPath, outcome.registryProblems)
               ? ExitStatus::RegistryDamaged
               : ExitStatus::Done;
}

}  // namespace

UnattendedBackup RunUnattendedBackup(Services services, ProgramValues& values,
                                     const QString& pendingComment) {
    UnattendedBackup run;
    // Another copy may be writing a set of this second: nothing is touched.
    if (services.system.PreviousInstance()) {
        Tell(services.dialogs, AnotherCopyText, ProgramTitle);
        run.status = ExitStatus::AnotherCopy;
        return run;
    }
    const Result<QString> windowsFolder = FindWindowsFolder(services.files, services.windows);
    if (!windowsFolder) {
        Tell(services.dialogs, NoWindowsFolderText(windowsFolder.reason(), values.DrivePath),
             ProgramTitle);
        run.status = ExitStatus::NothingDone;
        return run;
    }
    values.WindowsFolder = windowsFolder.value();
    values.WindowsFolderTail = values.WindowsFolder.mid(2);

    NoProgress progress;
    BackupJob job{services.files, services.settings, services.system, values, progress};
    run.outcome = MakeBackup(job, pendingComment);
    run.ran = true;
    run.status = Conclude(services.dialogs, run.outcome, pendingComment);
    return run;
}

}  // namespace stowix
