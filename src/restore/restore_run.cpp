#include "restore/restore_run.h"

#include "files/file_routines.h"
#include "restore/boot_script.h"
#include "restore/folder_chooser.h"
#include "restore/registry_staging.h"
#include "shell/settings.h"

#include <array>

namespace stowix {

namespace {

enum class Destination {
    DriveRoot,      // the empty text: the root of the current drive, which start-up makes C:
    WindowsFolder,  // WindowsFolderTail on the current drive
    BackupRoot,     // the staged registry files, for the boot script to move
};

struct CopyGroup {
    const char16_t* pattern;
    Destination destination;
};

// In the order they run. Config.Sys is taken by its own group and again by "*.Sys"; the set's
// Autoexec.Bat and Command.Com reach both the root and the Windows folder.
constexpr std::array<CopyGroup, 13> CopyGroups{{
    {u"Autoexec.Bat", Destination::DriveRoot},
    {u"Command.Com", Destination::DriveRoot},
    {u"Config.Sys", Destination::DriveRoot},
    {u"*.Sys", Destination::DriveRoot},
    {u"*.Bat", Destination::WindowsFolder},
    {u"*.Com", Destination::WindowsFolder},
    {u"*.Ini", Destination::WindowsFolder},
    {u"*.Grp", Destination::WindowsFolder},
    {u"*.Pif", Destination::WindowsFolder},
    {u"*.Pwl", Destination::WindowsFolder},
    {u"ShellIconCache", Destination::WindowsFolder},
    {u"TTFcache", Destination::WindowsFolder},
    {u"*.Da?", Destination::BackupRoot},
}};

QString DestinationFolder(Destination destination, const ProgramValues& values) {
    switch (destination) {
    case Destination::DriveRoot: return QString();
    case Destination::WindowsFolder: return values.WindowsFolderTail;
    case Destination::BackupRoot: return BackupRoot;
    }
    return QString();
}

// Takes every staged registry file out of the backup root again, whatever its attributes, so
// that the boot script finds nothing to put in place. A file that resists is added to failures.
void WithdrawStagedRegistry(FileSystem& files, std::vector<CopyFailure>& failures) {
    QString folder = BackupRoot;
    QString pattern = QStringLiteral("*.Da?");
    std::vector<QString> staged;
    int count = 0;
    if (Status listed = FindFiles(files, QStringLiteral("C:"), folder, pattern, staged, count, true);
        !listed.ok()) {
        failures.push_back({folder + pattern, listed.reason()});
        return;
    }
    for (const QString& path : staged)
        if (Status deleted = DeleteFileForced(files, path); !deleted.ok())
            failures.push_back({path, deleted.reason()});
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

}  // namespace

RestoreOutcome RestoreBackupSet(FolderChooser& chooser) {
    Form2Controls& controls = chooser.Controls();
    Services& services = chooser.services();
    RestoreOutcome outcome;

    controls.Command1().SetEnabled(false);
    controls.Dir1().SetEnabled(false);
    controls.ProgressBar1().SetVisible(true);
    chooser.StepProgress(true, false);
    chooser.SetStatusText(QStringLiteral("Restoring ..."));
    chooser.Repaint();

    // A file that cannot be copied (held open, a full disk) does not stop the run: the other
    // files, the staging of the registry files and the boot script still matter, and the command
    // lists every failure to the user afterwards.
    for (const CopyGroup& group : CopyGroups) {
        if (group.destination == Destination::BackupRoot) {
            const Status ready = PrepareRegistryStaging(services.files, controls.Dir1().Path(),
                                                        chooser.values().WindowsFolder);
            if (!ready) {
                // Files an earlier restore staged go too, so that the new script cannot put
                // them in place.
                WithdrawStagedRegistry(services.files, outcome.failedCopies);
                outcome.registryNotStaged = ready.reason();
                continue;
            }
        }
        QString sourceFolder = controls.Dir1().Path() + u'\\';
        QString pattern = QString::fromUtf16(group.pattern);
        std::vector<CopyFailure> failed =
            CopyMatchingFiles(services.files, chooser, sourceFolder, pattern,
                              DestinationFolder(group.destination, chooser.values()));
        if (group.destination == Destination::BackupRoot && !failed.empty()) {
            WithdrawStagedRegistry(services.files, failed);
            outcome.registryWithdrawn = true;
        }
        outcome.failedCopies.insert(outcome.failedCopies.end(), failed.begin(), failed.end());
    }

    // After every group, so that a WinStart.Bat that "*.Bat" copied from the set is replaced.
    outcome.bootScript = WriteBootScript(services.files, chooser.values().WindowsFolder);

    // The restored files, the staged registry and the script reach the disk before the run
    // records them and before the command offers the restart that relies on them: a power cut
    // or a virtual machine's reset must not find them half written.
    if (Status flushed = services.files.FlushToDisk(BackupRoot); !flushed.ok())
        outcome.failedCopies.push_back(
            {BackupRoot, QStringLiteral("not written to disk: ") + flushed.reason()});
    FlushWindowsDrive(services.files, chooser.values().WindowsFolder, outcome);

    controls.Command1().SetEnabled(true);
    controls.Dir1().SetEnabled(true);
    chooser.StepProgress(false, true);

    const QString setPath = controls.Dir1().Path();
    if (outcome.Complete()) {
        chooser.SetStatusText(QStringLiteral("Restored [") + setPath + u']');
        // A settings write that fails loses only the information box's record; the restore
        // itself is done, so it is not reported as a failure of the restore.
        (void)WriteSetting(services.settings, SettingsKeys::Info, SettingsKeys::LastRestore,
                           setPath);
    } else {
        // Not reported as done, and not recorded as the last restore: settings record only work
        // that was done. The command shows what failed in a message box, since the chooser's
        // next activation replaces this text.
        chooser.SetStatusText(QStringLiteral("Restore incomplete [") + setPath + u']');
    }
    services.system.Beep();
    return outcome;
}

}  // namespace stowix
