// The window module of stowix: the real services and the two windows, wired together. stowix
// loads it only when it shows a window, so that "/U" and the commands need no GUI library.
// Start-up itself is the main window's load handler; this file only decides the platform, builds
// the objects and binds each button, menu item and key to its handler.

#include "app/command_services.h"
#include "app/minimum_free.h"
#include "app/qt_settings_store.h"
#include "app/qt_system.h"
#include "app/standard_options.h"
#include "backup/backup_run.h"
#include "drives/drive_candidates.h"
#include "drives/open_drives.h"
#include "fs/chosen_drive.h"
#include "gui/chooser_window.h"
#include "gui/classic_look.h"
#include "gui/drive_select_window.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"
#include "hostfs/posix_windows_api.h"
#include "info/add_comment.h"
#include "info/info_boxes.h"
#include "restore/folder_chooser.h"
#include "services/exit_status.h"
#include "shell/drive_records.h"
#include "shell/main_window.h"
#include "shell/run_mode.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace stowix;

namespace {

bool DisplayConfigured() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The window needs a display; without one it could only fail inside the toolkit, so it is told
// plainly instead.
bool ChoosePlatform() {
    if (DisplayConfigured()) return true;
    std::fputs(
        "stowix: no display is available. Run it on a desktop, or use /U for an "
        "unattended backup.\n",
        stderr);
    return false;
}

// The names the settings are stored under, and the look of the windows.
void ConfigureApplication(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Stowix"));
    QApplication::setOrganizationName(QStringLiteral("Stowix"));
    QApplication::setQuitOnLastWindowClosed(false);  // only EndProgram ends the program
    ApplyClassicLook(application);
}

void TellStartProblem(Dialogs& dialogs, const QString& reason) {
    dialogs.MessageBox(reason, MessageButtons::Ok, MessageIcon::Information,
                       QStringLiteral("Stowix"));
}

// Nothing names a drive, or only a remembered choice that is gone (a disk file moved away).
bool NeedsDriveChoice() {
    const std::optional<DriveSource> driveC = DriveMap::FromEnvironment().Source(u'C');
    if (!driveC) return true;
    const std::optional<std::string> chosen = ChosenDrive();
    const bool fromChoice = chosen && DriveSourceOf(*chosen).hostPath == driveC->hostPath;
    return fromChoice && !QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(*chosen)));
}

// The next start without a drive opens on this one.
void RememberDrive(const QString& path) {
    QtSettingsStore settings;
    (void)settings.Write(QStringLiteral("Stowix"), ChosenDriveSection, ChosenDriveKey, path);
}

void TellNoWindowsFolder(Dialogs& dialogs, const QString& drive, const QString& advice) {
    dialogs.MessageBox(QStringLiteral("No Windows folder was found on the drive ") + drive + advice,
                       MessageButtons::Ok, MessageIcon::Information, QStringLiteral("Stowix"));
}

// The drive the user chooses in "Select Windows Drive", one that holds a Windows folder;
// nothing when the user cancels. A choice is remembered for the next start.
std::optional<QString> ChooseDrive(Dialogs& dialogs, QWidget* parent) {
    for (;;) {
        const std::optional<QString> chosen =
            DriveSelectWindow::Choose(FindDriveCandidates(CandidatePlaces::Here()), parent);
        if (!chosen) return std::nullopt;
        if (HoldsWindowsFolder(*chosen)) {
            RememberDrive(*chosen);
            return chosen;
        }
        TellNoWindowsFolder(dialogs, *chosen,
                            QStringLiteral(". Choose the folder, Wine prefix or disk image that "
                                           "holds Windows."));
    }
}

// Builds the main window, binds each of its commands, and runs start-up and the event loop.
int RunWindows(Services& services, ProgramValues& values, QtSystem& system) {
    QtMainWindow form1(services.system.ProgramFolder());
    MainWindow mainWindow(form1, services, values);
    BackupRun backup(mainWindow, services, values);
    // The folder chooser is built when it is first opened: an unattended backup never needs it.
    std::unique_ptr<QtChooserWindow> form2;
    std::unique_ptr<FolderChooser> chooser;
    const auto openChooser = [&](const QString& mode) {
        if (!chooser) {
            form2 = std::make_unique<QtChooserWindow>(services.files);
            chooser = std::make_unique<FolderChooser>(*form2, form1.Form(), services, values);
            form2->SetEvents(chooser->Events());
        }
        chooser->Open(mode);
    };

    mainWindow.BindCommands({
        .Backup = [&] { backup.Run(); },
        .OpenChooser = openChooser,
        .AddComment = [&] { AddComment(mainWindow); },
        .ShowInfo = [&] { ShowInfo(services); },
        .ShowAbout = [&] { ShowAbout(services); },
        .ShowTips = [&] { ShowTips(services); },
    });
    form1.SetEvents(mainWindow.Events());
    form1.NameDrive(values.DriveName);
    // Another drive: the program starts afresh on it, as if started with it.
    form1.AddOpenDriveItem([&] {
        const std::optional<QString> chosen = ChooseDrive(services.dialogs, &form1);
        if (chosen) system.StartAgain({QStringLiteral("--drive"), *chosen});
    });
    form1.AcceptDroppedDrive([&](const QString& path) {
        if (!HoldsWindowsFolder(path))
            return TellNoWindowsFolder(services.dialogs, path, QStringLiteral("."));
        RememberDrive(path);
        system.StartAgain({QStringLiteral("--drive"), path});
    });

    mainWindow.Form_Load();
    return QApplication::exec();
}

}  // namespace

// What stowix calls, once it has loaded this module, to show its window: the options are
// handled, and "/U" never comes here.
extern "C" __attribute__((visibility("default"))) int StowixRunWindow(int argc, char** argv) {
    ProgramValues values;
    values.Mode = RunModeOf(ArgumentsAfterName(argc, argv));
    if (!ChoosePlatform()) return ExitStatus::CannotRun;

    QApplication application(argc, argv);
    ConfigureApplication(application);

    QtDialogs dialogs(QtDialogs::DisplayIsAbsent() ? DialogMode::Unattended
                                                   : DialogMode::Interactive);
    // Without a drive the window offers the drives it finds, instead of ending.
    if (!QtDialogs::DisplayIsAbsent() && NeedsDriveChoice()) {
        const std::optional<QString> chosen = ChooseDrive(dialogs, nullptr);
        if (!chosen) return ExitStatus::NothingDone;
        NameDriveC(QFile::encodeName(*chosen).constData());
    }
    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        TellStartProblem(dialogs, opened.reason());
        return anotherCopy ? ExitStatus::AnotherCopy : ExitStatus::NothingDone;
    }

    const Result<qint64> minimumFree = MinimumFreeFromEnvironment(values.MinimumFreeBytes);
    if (!minimumFree) {
        TellStartProblem(dialogs, minimumFree.reason());
        return ExitStatus::NothingDone;
    }
    values.MinimumFreeBytes = minimumFree.value();
    DescribeDriveC(values);

    QtSystem system(DriveLockFilePath());
    system.SetBeep([] { QApplication::beep(); });
    std::unique_ptr<FileSystem> files = std::move(opened).value();
    // The program ends through EndNow, which skips destructors: the drives are closed first, so
    // that an image is left marked clean.
    system.BeforeEnd([&files] { files.reset(); });
    std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(*files);
    QtSettingsStore settingsFile;
    DriveRecordsStore settings(settingsFile, DriveRecordsName(DriveMap::FromEnvironment()),
                               SetFolderExists(*files));
    Services services{*files, settings, system, dialogs, *windows};
    return RunWindows(services, values, system);
}
