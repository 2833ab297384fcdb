#include "restore/restore_job.h"

#include "compare/comparison_text.h"
#include "compare/file_comparison.h"
#include "compare/registry_reader.h"
#include "dos/wildcard.h"
#include "files/copy_failure_list.h"
#include "files/file_routines.h"
#include "registry/wine_prefix_files.h"
#include "restore/boot_script.h"
#include "restore/recorded_origins.h"
#include "restore/registry_staging.h"
#include "restore/restore_registry_check.h"
#include "restore/undo_set.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "sets/set_facts.h"
#include "shell/settings.h"

#include <QStringList>

#include <memory>

namespace stowix {

namespace {

// Takes every staged registry file out of the backup root again, whatever its attributes, so
// that the boot script finds nothing to put in place. A file that resists is added to failures.
void WithdrawStagedRegistry(FileSystem& files, std::vector<CopyFailure>& failures) {
    // The backup root is held while the staged files go, so that a link put in its place
    // meanwhile cannot turn the deletes to the Windows folder's registry.
    const Result<std::unique_ptr<HeldFolder>> held = files.HoldFolder(BackupRoot);
    if (held.notFound()) return;  // no backup root, nothing staged
    const Result<std::vector<FolderEntry>> entries =
        held ? held.value()->List() : Result<std::vector<FolderEntry>>(held.status());
    if (!entries) {
        failures.push_back(
            {BackupRoot + u'\\' + QString::fromUtf16(StagedPattern), entries.reason()});
        return;
    }
    const WildcardPattern staged{QStringView(StagedPattern)};
    for (const FolderEntry& entry : entries.value()) {
        if ((entry.attributes & Attribute::Folder) != 0 || !staged.Matches(entry.name)) continue;
        if (Status deleted = held.value()->DeleteFile(entry.name); !deleted.ok())
            failures.push_back({BackupRoot + u'\\' + entry.name, deleted.reason()});
    }
}

// A Windows folder on another drive than the backup root's holds restored files too; that
// drive is made durable as well.
void FlushWindowsDrive(FileSystem& files, const QString& windowsFolder, RestoreOutcome& outcome) {
    if (windowsFolder.isEmpty() || windowsFolder.at(0).toUpper() == BackupRoot.at(0).toUpper())
        return;
    if (Status flushed = files.FlushToDisk(windowsFolder); !flushed.ok())
        outcome.failedCopies.push_back(
            {windowsFolder, QStringLiteral("not written to disk: ") + flushed.reason()});
}

// Before the registry group: false when the set's registry files may not be staged, the reason
// in outcome.
bool ReadyRegistryStaging(FileSystem& files, const QString& setFolder, const QString& windowsFolder,
                          RestoreOutcome& outcome) {
    const Status ready = PrepareRegistryStaging(files, setFolder, windowsFolder);
    if (ready) return true;
    // Files an earlier restore staged go too, so that the new script cannot put them in place.
    WithdrawStagedRegistry(files, outcome.failedCopies);
    outcome.registryNotStaged = ready.reason();
    return false;
}

// A Wine prefix's registry goes straight back into the prefix: Wine never runs the boot script.
void RestoreWinePrefixRegistry(FileSystem& files, const QString& setFolder, const QString& prefix,
                               RestoreOutcome& outcome) {
    if (Status restored = RestoreWineRegistry(files, setFolder, prefix); !restored)
        outcome.registryNotStaged = restored.reason();
}

// Copies one group out of the set. The registry group is staged whole or not at all.
void RestoreGroup(RestoreJob& job, const QString& setFolder, const SetGroup& group,
                  const std::optional<SetRecord>& record, RestoreOutcome& outcome) {
    const QString& windowsFolder = job.values.WindowsFolder;
    if (group.registry && !job.values.WinePrefix.isEmpty())
        return RestoreWinePrefixRegistry(job.files, setFolder, job.values.WinePrefix, outcome);
    if (group.registry && !ReadyRegistryStaging(job.files, setFolder, windowsFolder, outcome))
        return;
    QString sourceFolder = setFolder + u'\\';
    QString pattern = QString::fromUtf16(group.pattern);
    std::vector<CopyFailure> failed =
        CopyMatchingFiles(job.files, job.progress, sourceFolder, pattern,
                          PlaceFolder(group.place, windowsFolder), RestoredName(record, group));
    if (group.registry && !failed.empty()) {
        WithdrawStagedRegistry(job.files, failed);
        outcome.registryWithdrawn = true;
    }
    outcome.failedCopies.insert(outcome.failedCopies.end(), failed.begin(), failed.end());
}

// A paragraph that warns of a set whose record says it is incomplete; empty otherwise.
QString IncompleteSetLine(FileSystem& files, const QString& setPath) {
    const QString incomplete = IncompleteText(ReadSetFacts(files, setPath));
    if (incomplete.isEmpty()) return QString();
    return QStringLiteral("This set is ") + incomplete +
           QStringLiteral(". Restoring it may put back only part of the configuration.\r\r");
}

// The restored files, the staged registry and the script reach the disk before the run records
// them and before the front offers the restart that relies on them: a power cut or a virtual
// machine's reset must not find them half written.
void FlushRestoredFiles(FileSystem& files, const QString& windowsFolder, RestoreOutcome& outcome) {
    if (Status flushed = files.FlushToDisk(BackupRoot); !flushed.ok())
        outcome.failedCopies.push_back(
            {BackupRoot, QStringLiteral("not written to disk: ") + flushed.reason()});
    FlushWindowsDrive(files, windowsFolder, outcome);
}

}  // namespace

bool BootScriptCanNameWindowsFolder(RestoreJob& job) {
    const Result<QString> dosFolder = BootScriptFolder(job.files, job.values.WindowsFolder);
    if (dosFolder) return true;
    (void)job.dialogs.MessageBox(dosFolder.reason() + QStringLiteral("\r\rNothing was restored."),
                                 MessageButtons::Ok, MessageIcon::Information,
                                 QStringLiteral("Restore refused"));
    return false;
}

QString RestoreDetails(RestoreJob& job, const QString& setPath, const QString& undoPath) {
    CompareOptions options;
    options.readRegistry = CheckedRegistryReader();
    const Comparison preview = PreviewRestore(job.files, job.values, setPath, options);
    QString details = RestorePreviewText(preview);
    if (!details.isEmpty()) details += QStringLiteral("\r\r");
    details += IncompleteSetLine(job.files, setPath);
    details += UndoDetailsLine(undoPath);
    return details;
}

// A damaged registry is named before the confirmation; declining it is declining the restore.
// The confirmation keeps its words; what the restore would change on the drive, and where what
// it replaces will be kept, wait behind its details.
bool ConfirmRestore(RestoreJob& job, const QString& setPath, const QString& undoPath) {
    if (!AcceptSetRegistry(job.files, job.dialogs, setPath)) return false;
    const QString details = RestoreDetails(job, setPath, undoPath);
    return job.dialogs.MessageBox(QStringLiteral("Are you sure you want to restore this folder? "),
                                  MessageButtons::YesNo, MessageIcon::Question,
                                  QStringLiteral("Restore Folder"), details) == MessageAnswer::Yes;
}

RestoreOutcome RestoreSet(RestoreJob& job, const QString& setPath) {
    RestoreOutcome outcome;
    // A file that cannot be copied (held open, a full disk) does not stop the run: the other
    // files, the staging of the registry files and the boot script still matter, and the front
    // lists every failure to the user afterwards.
    // Each file goes back only where it came from, as far as the set's record tells.
    const std::optional<SetRecord> record = RestoreRecord(job.files, setPath);
    for (const SetGroup& group : RestoreGroups) RestoreGroup(job, setPath, group, record, outcome);
    std::vector<CopyFailure> twins =
        RestoreTwins(job.files, job.progress, record, setPath, job.values.WindowsFolder);
    outcome.failedCopies.insert(outcome.failedCopies.end(), twins.begin(), twins.end());
    // After every group, so that a WinStart.Bat that "*.Bat" copied from the set is replaced.
    outcome.bootScript = WriteBootScript(job.files, job.values.WindowsFolder);
    FlushRestoredFiles(job.files, job.values.WindowsFolder, outcome);
    return outcome;
}

void RecordRestore(RestoreJob& job, const QString& setPath, const RestoreOutcome& outcome) {
    // A settings write that fails loses only the information box's record; the restore itself
    // is done, so it is not reported as a failure of the restore.
    if (outcome.Complete())
        (void)WriteSetting(job.settings, SettingsKeys::Info, SettingsKeys::LastRestore, setPath);
}

QString IncompleteRestoreText(const RestoreOutcome& outcome, const QString& windowsFolder) {
    QStringList paragraphs;
    if (!outcome.failedCopies.empty()) {
        paragraphs.append(QStringLiteral("These files could not be restored:\r") +
                          ListCopyFailures(outcome.failedCopies));
    }
    if (outcome.registryWithdrawn) {
        paragraphs.append(
            QStringLiteral("Not every registry file could be staged, so none was: "
                           "the registry stays as it is. Restore the set again "
                           "once the cause is mended."));
    }
    if (!outcome.registryNotStaged.isEmpty()) {
        paragraphs.append(QStringLiteral("The registry files were not staged: ") +
                          outcome.registryNotStaged +
                          QStringLiteral(". The registry stays as it is."));
    }
    if (!outcome.bootScript.ok()) {
        paragraphs.append(QStringLiteral("The boot script ") + BootScriptPath(windowsFolder) +
                          QStringLiteral(" could not be written: ") + outcome.bootScript.reason() +
                          QStringLiteral("\rThe registry files staged in ") + BackupRoot +
                          QStringLiteral(" will not be put in place when Windows restarts."));
    }
    return paragraphs.join(QStringLiteral("\r\r"));
}

}  // namespace stowix
