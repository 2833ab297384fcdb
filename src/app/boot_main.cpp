// stowix-boot: does what the next start of Windows 95 or 98 does with the boot script. It maps
// the drives as the program does, finds the Windows folder as the program does, and runs
// <Windows folder>\WinStart.Bat against the mapped drive with the DOS batch interpreter, its
// console on standard output.
//
// Exit status, as every command of the program gives it: 0 when the script ran without a
// failing command, or when there is no script (nothing to do); 1 for a wrong command line
// (usage on standard error); 2 when no drive C: is configured or it holds no Windows folder (or
// an ambiguous one): nothing done; 3 when the run is incomplete: a command of the script failed
// (each is named on standard error, even where the script silenced its console) or the script
// cannot be read.

#include "app/command_usages.h"
#include "boot/batch_file.h"
#include "boot/batch_interpreter.h"
#include "drives/open_drives.h"
#include "files/escaped_text.h"
#include "hostfs/posix_windows_api.h"

#include <QByteArray>
#include <QString>
#include <QTextStream>

#include <cstdio>

namespace stowix {
namespace {

enum ExitStatus {
    Done = 0,
    Usage = 1,
    NoWindowsFolder = 2,
    CommandsFailed = 3,
    ScriptUnreadable = 3,
    AnotherCopy = 5,
};

// The script's lines and the names it meets come from the drive: control characters in them are
// shown escaped rather than sent to the terminal.
void PrintError(const QString& text) {
    QTextStream(stderr) << "stowix-boot: " << EscapedText(text) << Qt::endl;
}

// The boot script opened as the file system opens any file: without regard to case, never
// through a link that leads out of the drive, never a pipe or device. It is read a line at a
// time as it runs. Nothing when the Windows folder holds no script.
Result<std::unique_ptr<FileReader>> OpenScript(FileSystem& files, const QString& windowsFolder,
                                               const QString& scriptPath) {
    // A Windows folder that does not exist (STOWIX_WINDOWS_FOLDER names any path) is reported
    // rather than taken for a folder without a script.
    TRY(files.ReadAttributes(windowsFolder));
    Result<std::unique_ptr<FileReader>> script = files.OpenForReading(scriptPath);
    if (script.notFound()) return std::unique_ptr<FileReader>();
    return script;
}

int Run(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, BootUsage)) return *status;
    if (argc > 1) return RejectCommandLine(BootUsage, "takes no arguments");

    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        PrintError(opened.reason());
        return anotherCopy ? AnotherCopy : NoWindowsFolder;
    }
    FileSystem& files = *opened.value();

    const std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(files);
    const Result<QString> found = WindowsDirectory(*windows);
    if (!found) {
        PrintError(NoWindowsFolderMessage(found.reason()));
        return NoWindowsFolder;
    }
    const QString& windowsFolder = found.value();
    const QString scriptPath = windowsFolder + QStringLiteral("\\WinStart.Bat");

    const Result<std::unique_ptr<FileReader>> script = OpenScript(files, windowsFolder, scriptPath);
    if (!script) {
        PrintError(QStringLiteral("cannot read the boot script: ") + script.reason());
        return ScriptUnreadable;
    }
    if (!script.value()) return Done;  // no script: Windows starts without one

    if (Status current = files.ChangeDrive(u'C'); !current) {
        PrintError(current.reason());
        return NoWindowsFolder;
    }
    QTextStream console(stdout);
    BatchInterpreter interpreter(
        files, [&console](const QString& line) { console << EscapedText(line) << Qt::endl; });
    BatchFile source(*script.value(), scriptPath);
    const BatchReport report = interpreter.Run(source);
    if (report.ok()) return Done;

    PrintError(scriptPath + QStringLiteral(": ") + QString::number(report.errors.size()) +
               QStringLiteral(" command(s) failed:"));
    for (const QString& error : report.errors)
        QTextStream(stderr) << "  " << EscapedText(error) << Qt::endl;
    return CommandsFailed;
}

}  // namespace
}  // namespace stowix

int main(int argc, char** argv) { return stowix::Run(argc, argv); }
