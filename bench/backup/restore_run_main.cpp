// stowix-bench-restore-run: one restore run of a backup set, as the folder chooser starts it
// after the user has chosen the set and confirmed, for stowix-bench-backup to time against cp.
// The program itself restores only through its window; this runs the same restore run with the
// real services and windows (offscreen, never shown), and without the questions before and after.
//
// Usage: stowix-bench-restore-run SET, SET a backup set's DOS path ("C:\Stowix\<set>"), with
// the drives configured as for stowix (STOWIX_DRIVE_C). Exit status 0 when the restore is
// complete, 3 when it is not (each failure on standard error), 1 on bad usage, 2 without drive
// C: or a Windows folder.

#include "app/qt_settings_store.h"
#include "app/qt_system.h"
#include "drives/open_drives.h"
#include "gui/chooser_window.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"
#include "hostfs/posix_windows_api.h"
#include "restore/folder_chooser.h"
#include "restore/restore_run.h"
#include "services/program_values.h"

#include <QApplication>

#include <cstdio>

using namespace stowix;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: stowix-bench-restore-run SET   (SET: C:\\Stowix\\<set>)\n", stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString set = QString::fromLocal8Bit(argv[1]);

    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives();
    if (!opened) return 2;
    QtSystem system;
    QtDialogs dialogs(DialogMode::Unattended);
    std::unique_ptr<FileSystem> files = std::move(opened).value();
    std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(*files);
    QtSettingsStore settings;
    Services services{*files, settings, system, dialogs, *windows};

    // As start-up finds them.
    ProgramValues values;
    if (!files->ChangeDrive(QLatin1Char('C')).ok()) return 2;
    const Result<QString> windowsFolder = WindowsDirectory(*windows);
    if (!windowsFolder) return 2;
    values.WindowsFolder = windowsFolder.value();
    values.WindowsFolderTail = values.WindowsFolder.mid(2);

    QtMainWindow form1;
    QtChooserWindow form2(*files);
    FolderChooser chooser(form2, form1.Form(), services, values);
    form2.SetEvents(chooser.Events());
    // No mode is chosen, so the list's change starts nothing: the run below is the restore.
    form2.Dir1().SetPath(set);
    const RestoreOutcome outcome = RestoreBackupSet(chooser);
    for (const CopyFailure& failure : outcome.failedCopies)
        std::fprintf(stderr, "%s: %s\n", qPrintable(failure.path), qPrintable(failure.reason));
    if (!outcome.bootScript.ok())
        std::fprintf(stderr, "boot script: %s\n", qPrintable(outcome.bootScript.reason()));
    return outcome.Complete() ? 0 : 3;
}
