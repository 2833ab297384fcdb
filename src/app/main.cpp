// stowix: the window, or with "/U" one backup without it. The window and everything it needs
// (Qt Widgets and Gui, Multimedia, the media) are a module of their own, stowix-window, loaded
// from the program folder only when a window is shown: "/U" loads no GUI library, and a machine
// with the command-line package alone runs it as it is.

#include "app/command_services.h"
#include "app/command_usages.h"
#include "app/minimum_free.h"
#include "app/standard_options.h"
#include "backup/unattended_backup.h"
#include "drives/open_drives.h"
#include "services/exit_status.h"
#include "shell/run_mode.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

using namespace stowix;

namespace {

// An unattended run prints nothing on success, so that cron mails only real trouble: the
// toolkit's own notes are dropped; its critical errors stay.
void QuietToolkitNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
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

void TellStartProblem(Dialogs& dialogs, const QString& reason) {
    dialogs.MessageBox(reason, MessageButtons::Ok, MessageIcon::Information,
                       QStringLiteral("Stowix"));
}

// "/U": one backup without any window, its status handed back here. No widget is built and no
// GUI library is loaded, so cron and a server without a display run it as they are.
int RunUnattended(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    NameApplication();
    qInstallMessageHandler(QuietToolkitNotes);
    TerminalDialogs dialogs;
    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        TellStartProblem(dialogs, opened.reason());
        return anotherCopy ? ExitStatus::AnotherCopy : ExitStatus::NothingDone;
    }
    ProgramValues values;
    values.Mode = RunMode::Unattended;
    DescribeDriveC(values);
    const Result<qint64> minimumFree = MinimumFreeFromEnvironment(values.MinimumFreeBytes);
    if (!minimumFree) {
        TellStartProblem(dialogs, minimumFree.reason());
        return ExitStatus::NothingDone;
    }
    values.MinimumFreeBytes = minimumFree.value();
    CommandServices services(std::move(opened).value());
    return RunUnattendedBackup(services.services(), values).status;
}

// The window module beside the running program (its links resolved, as the media files are
// found), loaded and run; without it, one line says where the window is.
int RunWindow(int argc, char** argv) {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString path = QFileInfo(program).absolutePath() + QStringLiteral("/stowix-window.so");
    if (!QFileInfo::exists(path)) {
        std::fputs(
            "stowix: the window is in the package stowix, which is not installed here; "
            "stowix /U and the stowix-* commands work without it.\n",
            stderr);
        return ExitStatus::CannotRun;
    }
    QLibrary module(path);
    using Entry = int (*)(int, char**);
    const auto run = reinterpret_cast<Entry>(module.resolve("StowixRunWindow"));
    if (!run) {
        // A module that is there but cannot be loaded (a library of the window missing) is
        // named with the loader's reason, not taken for an absent package.
        const QByteArray reason = module.errorString().toLocal8Bit();
        std::fprintf(stderr, "stowix: the window cannot be loaded: %s\n", reason.constData());
        return ExitStatus::CannotRun;
    }
    return run(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version come before anything else; --drive is taken out of the arguments.
    if (const auto status = HandleStandardOptions(argc, argv, StowixUsage)) return *status;
    const QStringList arguments = ArgumentsAfterName(argc, argv);
    if (const auto status = TakeDriveArgument(arguments)) return *status;
    if (RunModeOf(arguments) == RunMode::Unattended) return RunUnattended(argc, argv);
    return RunWindow(argc, argv);
}
