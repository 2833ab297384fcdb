// stowix-boot: does what the next start of Windows 95 or 98 does with the boot script. It maps
// the drives as the program does, finds the Windows folder as the program does, and runs
// <Windows folder>\WinStart.Bat against the mapped drive with the DOS batch interpreter, its
// console on standard output.
//
// Exit status: 0 when the script ran without a failing command, or when there is no script
// (nothing to do); 1 for a command line it cannot take (app/command_usages.h), or when a command
// of the script failed (each is named on standard error, even where the script silenced its
// console); 2 when no drive C: is configured; 3 when drive C: holds no Windows folder; 4 when the
// script cannot be read.

#include "app/command_usages.h"
#include "platform/dos/batch_file.h"
#include "platform/dos/batch_interpreter.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/host_calls.h"
#include "platform/posix/host_errors.h"
#include "platform/posix/path_resolver.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_windows_api.h"

#include <QByteArray>
#include <QString>
#include <QTextStream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace stowix {
namespace {

// The room the program gives GetWindowsDirectoryA; a longer folder counts as none, as there.
constexpr int WindowsFolderBufferSize = 255;

enum ExitStatus {
    Done = 0,
    CommandsFailed = 1,
    Usage = 2,
    NoWindowsFolder = 3,
    ScriptUnreadable = 4,
};

void PrintError(const QString& text) {
    QTextStream(stderr) << "stowix-boot: " << text << Qt::endl;
}

// A file of the mapped drives, found as the file system finds it: without regard to case, and
// never through a link that leads out of the drive. Nothing when the file does not exist.
Result<std::optional<QByteArray>> ReadDosFile(const DriveMap& drives, const QString& path) {
    using namespace posix;
    PathResolver resolver(drives);
    Result<Location> location = resolver.Locate(path);
    // A Windows folder that does not exist (STOWIX_WINDOWS_FOLDER names any path) is reported
    // rather than taken for a folder without a script.
    if (!location) return location.status();
    if (!location.value().exists) return std::optional<QByteArray>();
    // Never blocks on a pipe, never takes a terminal: anything but a file is refused below.
    UniqueFd fd = OpenBeneath(location.value().drive->fd.Get(),
                              location.value().RelativePath().c_str(),
                              O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd.Valid())
        return errno == EXDEV ? RefusalFailure(path, Refusal::LeavesDrive)
                              : HostFailure(path, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) return HostFailure(path, errno);
    if (!S_ISREG(info.st_mode)) return RefusalFailure(path, Refusal::NotAFile);

    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return HostFailure(path, errno);
        if (got == 0) break;
        content.append(buffer, got);
    }
    return std::optional<QByteArray>(content);
}

int Run(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, BootUsage)) return *status;
    if (argc > 1) return RejectCommandLine(BootUsage, "takes no arguments");

    const DriveMap drives = DriveMap::FromEnvironment();
    if (!drives.Has(u'C')) {
        PrintError(DriveMap::HowToConfigure());
        return Usage;
    }

    const std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(drives);
    QString buffer;
    const int written = windows->GetWindowsDirectoryA(buffer, WindowsFolderBufferSize);
    if (written < 3 || written > WindowsFolderBufferSize) {
        PrintError(QStringLiteral("drive C: (") +
                   QString::fromStdString(*drives.Folder(u'C')) +
                   QStringLiteral(") holds no Windows folder. Set STOWIX_WINDOWS_FOLDER to it, "
                                  "for example C:\\WINDOWS."));
        return NoWindowsFolder;
    }
    const QString scriptPath = buffer.left(written) + QStringLiteral("\\WinStart.Bat");

    const Result<std::optional<QByteArray>> script = ReadDosFile(drives, scriptPath);
    if (!script) {
        PrintError(QStringLiteral("cannot read the boot script: ") + script.reason());
        return ScriptUnreadable;
    }
    if (!script.value()) return Done;  // no script: Windows starts without one

    const std::unique_ptr<FileSystem> files = MakePosixFileSystem(drives);
    if (Status current = files->ChangeDrive(u'C'); !current) {
        PrintError(current.reason());
        return Usage;
    }
    QTextStream console(stdout);
    BatchInterpreter interpreter(*files, [&console](const QString& line) {
        console << line << Qt::endl;
    });
    const BatchReport report = interpreter.Run(BatchLinesFromAnsi(*script.value()));
    if (report.ok()) return Done;

    PrintError(scriptPath + QStringLiteral(": ") + QString::number(report.errors.size()) +
               QStringLiteral(" command(s) failed:"));
    for (const QString& error : report.errors) QTextStream(stderr) << "  " << error << Qt::endl;
    return CommandsFailed;
}

}  // namespace
}  // namespace stowix

int main(int argc, char** argv) { return stowix::Run(argc, argv); }
