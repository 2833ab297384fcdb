#include "restore/restore_run.h"

#include "dos/wildcard.h"
#include "files/file_routines.h"
#include "registry/wine_prefix_files.h"
#include "restore/boot_script.h"
#include "restore/folder_chooser.h"
#include "restore/recorded_origins.h"
#include "restore/registry_staging.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "shell/settings.h"

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
void RestoreGroup(FolderChooser& chooser, const SetGroup& group,
                  const std::optional<SetRecord>& record, RestoreOutcome& outcome) {
    FileSystem& files = chooser.services().files;
    const ProgramValues& values = chooser.values();
    const QString setFolder = chooser.Controls().Dir1().Path();
    if (group.registry && !values.WinePrefix.isEmpty())
        return RestoreWinePrefixRegistry(files, setFolder, values.WinePrefix, outcome);
    if (group.registry && !ReadyRegistryStaging(files, setFolder, values.WindowsFolder, outcome))
        return;
    QString sourceFolder = setFolder + u'\\';
    QString pattern = QString::fromUtf16(group.pattern);
    std::vector<CopyFailure> failed = CopyMatchingFiles(
        files, chooser, sourceFolder, pattern, PlaceFolder(group.place, values.WindowsFolder),
        RestoredName(record, group));
    if (group.registry && !failed.empty()) {
        WithdrawStagedRegistry(files, failed);
        outcome.registryWithdrawn = true;
    }
    outcome.failedCopies.insert(outcome.failedCopies.end(), failed.begin(), failed.end());
}

// The restored files, the staged registry and the script reach the disk before the run records
// them and before the command offers the restart that relies on them: a power cut or a virtual
// machine's reset must not find them half written.
void FlushRestoredFiles(FileSystem& files, const QString& windowsFolder, RestoreOutcome& outcome) {
    if (Status flushed = files.FlushToDisk(BackupRoot); !flushed.ok())
        outcome.failedCopies.push_back(
            {BackupRoot, QStringLiteral("not written to disk: ") + flushed.reason()});
    FlushWindowsDrive(files, windowsFolder, outcome);
}

// The chooser usable again, its status text telling the outcome; a complete restore is recorded.
void ShowRestored(FolderChooser& chooser, const RestoreOutcome& outcome) {
    Form2Controls& controls = chooser.Controls();
    controls.Command1().SetEnabled(true);
    controls.Dir1().SetEnabled(true);
    chooser.StepProgress(false, true);

    const QString setPath = controls.Dir1().Path();
    if (outcome.Complete()) {
        chooser.SetStatusText(QStringLiteral("Restored [") + setPath + u']');
        // A settings write that fails loses only the information box's record; the restore
        // itself is done, so it is not reported as a failure of the restore.
        (void)WriteSetting(chooser.services().settings, SettingsKeys::Info,
                           SettingsKeys::LastRestore, setPath);
    } else {
        // Not reported as done, and not recorded as the last restore: settings record only work
        // that was done. The command shows what failed in a message box, since the chooser's
        // next activation replaces this text.
        chooser.SetStatusText(QStringLiteral("Restore incomplete [") + setPath + u']');
    }
}

}  // namespace

void ShowRestoring(FolderChooser& chooser) {
    Form2Controls& controls = chooser.Controls();
    controls.Command1().SetEnabled(false);
    controls.Dir1().SetEnabled(false);
    controls.ProgressBar1().SetVisible(true);
    chooser.StepProgress(true, false);
    chooser.SetStatusText(QStringLiteral("Restoring ..."));
    chooser.Repaint();
}

RestoreOutcome RestoreBackupSet(FolderChooser& chooser) {
    ShowRestoring(chooser);
    return RestoreShownSet(chooser);
}

RestoreOutcome RestoreShownSet(FolderChooser& chooser) {
    FileSystem& files = chooser.services().files;
    const QString& windowsFolder = chooser.values().WindowsFolder;
    RestoreOutcome outcome;

    // A file that cannot be copied (held open, a full disk) does not stop the run: the other
    // files, the staging of the registry files and the boot script still matter, and the command
    // lists every failure to the user afterwards.
    // Each file goes back only where it came from, as far as the set's record tells.
    const QString setFolder = chooser.Controls().Dir1().Path();
    const std::optional<SetRecord> record = RestoreRecord(files, setFolder);
    for (const SetGroup& group : RestoreGroups) RestoreGroup(chooser, group, record, outcome);
    std::vector<CopyFailure> twins = RestoreTwins(files, chooser, record, setFolder, windowsFolder);
    outcome.failedCopies.insert(outcome.failedCopies.end(), twins.begin(), twins.end());
    // After every group, so that a WinStart.Bat that "*.Bat" copied from the set is replaced.
    outcome.bootScript = WriteBootScript(files, windowsFolder);
    FlushRestoredFiles(files, windowsFolder, outcome);
    ShowRestored(chooser, outcome);
    chooser.services().system.Beep();
    return outcome;
}

}  // namespace stowix
