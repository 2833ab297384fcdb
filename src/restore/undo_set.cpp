#include "restore/undo_set.h"

#include "backup/set_copy.h"
#include "backup/set_room.h"
#include "files/copy_failure_list.h"
#include "files/drive_room.h"
#include "files/remove_folder.h"
#include "restore/restore_job.h"
#include "restore/restore_room.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "sets/set_folder.h"

namespace stowix {

namespace {

// The highest "(N)" tried after the stamp; a hundred restores in one second do not happen.
constexpr int MostSameSecondSets = 100;

bool Exists(FileSystem& files, const QString& path) { return files.ReadAttributes(path).ok(); }

// Why the undo set would not fit, when the restore alone would; empty when both fit or the
// drive cannot tell. restoreFits is false when even the restore alone would not fit, with the
// reason in the result.
QString RoomShortfall(RestoreJob& job, const QString& setPath, bool& restoreFits) {
    FileSystem& files = job.files;
    const ProgramValues& values = job.values;
    restoreFits = true;
    const std::optional<DriveSpace> space = KnownDriveSpace(files, BackupRoot);
    if (!space) return QString();
    const qint64 restore = RestoreRoom(files, values, setPath, space->unitBytes);
    if (QString alone = ShortfallText(space->freeBytes, restore, QStringLiteral("the restore"),
                                      values.MinimumFreeBytes);
        !alone.isEmpty()) {
        restoreFits = false;
        return alone;
    }
    const qint64 undo = NewSetRoom(files, values.WindowsFolder, space->unitBytes);
    return ShortfallText(space->freeBytes, restore + undo,
                         QStringLiteral("the restore and the set that keeps what it replaces"),
                         values.MinimumFreeBytes);
}

// Makes the undo set; empty when it is complete and on disk, otherwise what failed. An
// incomplete set would undo only part of the restore, so it is removed again.
QString MakeUndoSet(RestoreJob& job, const QString& undoPath) {
    FileSystem& files = job.files;
    // A folder of its name that appeared since the name was chosen is another set: never used.
    if (Exists(files, undoPath)) return QStringLiteral("a folder of its name exists already");
    if (Status made = MakeNamedSetFolder(files, BackupRoot, MakeBackupRoot(files), undoPath); !made)
        return made.reason();
    std::vector<CopyFailure> failures =
        CopySetGroups(files, job.progress, job.values.WindowsFolder, undoPath);
    AppendWineRegistry(files, job.values.WinePrefix, undoPath, failures);
    FlushSet(files, undoPath, failures);
    if (failures.empty()) return QString();
    QString reason =
        QStringLiteral("These could not be copied into it:\r") + ListCopyFailures(failures);
    QString folder = undoPath;
    if (Status removed = RemoveFolder(files, folder); !removed)
        reason +=
            QStringLiteral("\r\rThe incomplete set could not be removed: ") + removed.reason();
    return reason;
}

bool AskRestoreWithoutUndo(Dialogs& dialogs, const QString& undoPath, const QString& failure) {
    const QString text = QStringLiteral(
                             "What this restore replaces could not be kept first in "
                             "the set ") +
                         undoPath + QStringLiteral(":\r") + failure +
                         QStringLiteral(
                             "\r\rWithout that set the restore cannot be undone. "
                             "Restore without it?");
    return dialogs.MessageBox(text, MessageButtons::YesNo, MessageIcon::Question,
                              QStringLiteral("Restore Without Undo")) == MessageAnswer::Yes;
}

}  // namespace

QString NextUndoSetPath(FileSystem& files, System& system) {
    // The date first, the time right after it, once each, as a backup reads them.
    const QString dateText = system.DateText();
    const QString timeText = system.TimeText();
    const QString stamp = SetStamp(dateText, timeText);
    QString path = BackupRoot + u'\\' + NumberedSetName(stamp, 1, UndoComment);
    for (int n = 2; Exists(files, path) && n <= MostSameSecondSets; ++n)
        path = BackupRoot + u'\\' + NumberedSetName(stamp, n, UndoComment);
    return path;
}

QString UndoDetailsLine(const QString& undoPath) {
    return QStringLiteral("What the restore replaces is kept first in ") + undoPath +
           QStringLiteral(": restore that set to undo the restore.");
}

bool KeepUndoSet(RestoreJob& job, const QString& setPath, const QString& undoPath) {
    Dialogs& dialogs = job.dialogs;
    bool restoreFits = true;
    QString failure = RoomShortfall(job, setPath, restoreFits);
    if (!restoreFits) {
        dialogs.MessageBox(failure + QStringLiteral("\r\rNothing was restored."),
                           MessageButtons::Ok, MessageIcon::Information,
                           QStringLiteral("Not enough free space"));
        return false;
    }
    if (failure.isEmpty()) failure = MakeUndoSet(job, undoPath);
    return failure.isEmpty() || AskRestoreWithoutUndo(dialogs, undoPath, failure);
}

}  // namespace stowix
