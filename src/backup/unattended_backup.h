#pragma once
// The backup without a window, as "stowix /U" and stowix-backup make it: the single-copy check,
// drive C: and its Windows folder, the backup job (backup_job.h), and what went wrong told
// through the dialogs, which write each box as one line on standard error. Nothing is shown,
// played or ended: the exit status is handed back to main.

#include "backup/backup_job.h"
#include "shell/services.h"

namespace stowix {

struct UnattendedBackup {
    int status = 0;         // the exit status (services/exit_status.h)
    BackupOutcome outcome;  // when the job ran
    bool ran = false;
};

// values.WindowsFolder is filled once drive C: and its Windows folder are found. pendingComment
// names the set (empty, or a blank and the comment: info/pending_comment.h).
UnattendedBackup RunUnattendedBackup(Services services, ProgramValues& values,
                                     const QString& pendingComment = QString());

}  // namespace stowix
