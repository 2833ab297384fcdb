// stowix: the real services and the two windows, wired together. Start-up itself is the main
// window's load handler; this file only decides the platform, builds the objects and binds each
// button, menu item and key to its handler.

#include "app/command_usages.h"
#include "app/minimum_free.h"
#include "backup/backup_run.h"
#include "drives/drive_candidates.h"
#include "drives/open_drives.h"
#include "fs/chosen_drive.h"
#include "gui/chooser_window.h"
#include "gui/classic_look.h"
#include "gui/drive_select_window.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"
#include "gui/qt_settings_store.h"
#include "gui/qt_system.h"
#include "hostfs/posix_windows_api.h"
#include "info/add_comment.h"
#include "info/info_boxes.h"
#include "restore/folder_chooser.h"
#include "shell/drive_records.h"
#include "shell/main_window.h"
#include "shell/run_mode.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

using namespace stowix;

namespace {

// The arguments after the program's name, as the command line gives them; a first bare "--"
// only ends the options.
QStringList ArgumentsAfterName(int argc, char** argv) {
    QStringList arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
            continue;
        }
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

// "stowix DRIVE": the one argument that is no switch names drive C:, as --drive does.
std::optional<int> TakeDriveArgument(const QStringList& arguments) {
    const QStringList drives = DriveArgumentsOf(arguments);
    if (drives.size() > 1) return RejectCommandLine(StowixUsage, "takes one drive only");
    if (drives.size() == 1) {
        if (drives.first().isEmpty()) return RejectCommandLine(StowixUsage, "the drive is empty");
        NameDriveC(drives.first().toLocal8Bit().constData());
    }
    return std::nullopt;
}

bool DisplayConfigured() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Without a display an unattended run needs none: cron has no X server. An interactive run
// without one could only fail inside the toolkit, so it is told plainly instead.
bool ChoosePlatform(bool unattended) {
    if (DisplayConfigured()) return true;
    if (unattended) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    std::fputs(
        "stowix: no display is available. Run it on a desktop, or use /U for an "
        "unattended backup.\n",
        stderr);
    return false;
}

// An unattended run prints nothing on success, so that cron mails only real trouble: the
// toolkit's own notes (no audio server, no clipboard) are dropped; its critical errors stay.
void QuietToolkitNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The names the settings are stored under, and the look of the windows.
void ConfigureApplication(QApplication& application) {
    QApplication::setApplicationName(QStringLiteral("Stowix"));
    QApplication::setOrganizationName(QStringLiteral("Stowix"));
    QApplication::setQuitOnLastWindowClosed(false);  // only EndProgram ends the program
    ApplyClassicLook(application);
}

// An image drive another copy of Stowix works in: the status of a run beside another copy.
constexpr int AnotherCopyStatus = 5;

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
        dialogs.MessageBox(QStringLiteral("No Windows folder was found on the drive ") + *chosen +
                               QStringLiteral(". Choose the folder, Wine prefix or disk image "
                                              "that holds Windows."),
                           MessageButtons::Ok, MessageIcon::Information, QStringLiteral("Stowix"));
    }
}

// The name the window shows for its drive: the disk file's, the prefix's or the folder's.
QString DriveNameOf(const DriveMap& drives, const QString& winePrefix) {
    const std::optional<DriveSource> driveC = drives.Source(u'C');
    if (!driveC) return QString();
    const QString path =
        winePrefix.isEmpty() ? QString::fromLocal8Bit(driveC->hostPath) : winePrefix;
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return name.isEmpty() ? path : name;
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
        if (!HoldsWindowsFolder(path)) {
            services.dialogs.MessageBox(
                QStringLiteral("No Windows folder was found on the drive ") + path + u'.',
                MessageButtons::Ok, MessageIcon::Information, QStringLiteral("Stowix"));
            return;
        }
        RememberDrive(path);
        system.StartAgain({QStringLiteral("--drive"), path});
    });

    mainWindow.Form_Load();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version come before anything else; --drive is taken out of the arguments.
    if (const auto status = HandleStandardOptions(argc, argv, StowixUsage)) return *status;
    const QStringList arguments = ArgumentsAfterName(argc, argv);
    if (const auto status = TakeDriveArgument(arguments)) return *status;
    ProgramValues values;
    values.Mode = RunModeOf(arguments);
    const bool unattended = values.Mode == RunMode::Unattended;
    if (!ChoosePlatform(unattended)) return 1;
    if (unattended) qInstallMessageHandler(QuietToolkitNotes);

    QApplication application(argc, argv);
    ConfigureApplication(application);

    QtDialogs dialogs(unattended || QtDialogs::DisplayIsAbsent() ? DialogMode::Unattended
                                                                 : DialogMode::Interactive);
    // Without a drive the window offers the drives it finds, instead of ending.
    if (!unattended && !QtDialogs::DisplayIsAbsent() && NeedsDriveChoice()) {
        const std::optional<QString> chosen = ChooseDrive(dialogs, nullptr);
        if (!chosen) return 2;
        NameDriveC(QFile::encodeName(*chosen).constData());
    }
    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        TellStartProblem(dialogs, opened.reason());
        return anotherCopy ? AnotherCopyStatus : 2;
    }

    const Result<qint64> minimumFree = MinimumFreeFromEnvironment(values.MinimumFreeBytes);
    if (!minimumFree) {
        TellStartProblem(dialogs, minimumFree.reason());
        return 2;
    }
    values.MinimumFreeBytes = minimumFree.value();

    const DriveMap drives = DriveMap::FromEnvironment();
    const QString driveName = DriveRecordsName(drives);
    values.WinePrefix = WinePrefixOfDriveC(drives);
    values.DriveName = DriveNameOf(drives, values.WinePrefix);
    if (const std::optional<DriveSource> driveC = drives.Source(u'C'))
        values.DrivePath = values.WinePrefix.isEmpty() ? QString::fromLocal8Bit(driveC->hostPath)
                                                       : values.WinePrefix;
    QtSystem system(QtSystem::DefaultLockFilePath(driveName));
    std::unique_ptr<FileSystem> files = std::move(opened).value();
    // The program ends through EndNow, which skips destructors: the drives are closed first, so
    // that an image is left marked clean.
    system.BeforeEnd([&files] { files.reset(); });
    std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(*files);
    QtSettingsStore settingsFile;
    DriveRecordsStore settings(settingsFile, driveName, SetFolderExists(*files));
    Services services{*files, settings, system, dialogs, *windows};
    return RunWindows(services, values, system);
}
