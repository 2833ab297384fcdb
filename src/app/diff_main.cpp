// stowix-diff: what differs between a backup set and the drive, or between two backup sets, file
// by file, with the keys of INI files and the keys and values of registry files.
//
//   stowix-diff [--json] [-s] SET         the set (older) against the drive as it is now
//   stowix-diff [--json] [-s] SET1 SET2   two sets, SET1 the older
//
// A set is a DOS path ("C:\Stowix\11-5-99 3;45;12 PM") or a set's folder name alone. Exit status
// as diff's: 0 when nothing differs, 1 when something does, 2 on trouble (a wrong command line,
// no drive C:, a set that does not exist, or a file that could not be read).

#include "app/command_usages.h"
#include "compare/comparison_text.h"
#include "compare/file_comparison.h"
#include "compare/registry_reader.h"
#include "compare/set_argument.h"
#include "platform/drive_map.h"
#include "platform/drives/open_drives.h"
#include "platform/posix/posix_windows_api.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace stowix {
namespace {

enum ExitStatus { Same = 0, Different = 1, Trouble = 2 };

void PrintError(const QString& text) {
    std::fprintf(stderr, "stowix-diff: %s\n", text.toLocal8Bit().constData());
}

struct Arguments {
    bool json = false;
    bool keepSame = false;
    QStringList sets;
};

// Nothing when the command line is wrong (told on standard error with the usage).
std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments arguments;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (options && argument == u"--") {
            options = false;
        } else if (options && argument == u"--json") {
            arguments.json = true;
        } else if (options && (argument == u"-s" || argument == u"--same")) {
            arguments.keepSame = true;
        } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
            const QByteArray problem = "unknown option " + argument.toLocal8Bit();
            RejectCommandLine(DiffUsage, problem.constData());
            return std::nullopt;
        } else {
            arguments.sets << argument;
        }
    }
    if (arguments.sets.isEmpty() || arguments.sets.size() > 2) {
        RejectCommandLine(DiffUsage, arguments.sets.isEmpty() ? "name a set" : "name one set or two");
        return std::nullopt;
    }
    return arguments;
}

// The Windows folder as the program finds it; empty values when there is none.
ProgramValues WindowsFolderOf(FileSystem& files) {
    const std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(files);
    const QString folder = WindowsDirectory(*windows);
    return {folder, folder.mid(2)};
}

int Run(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, DiffUsage)) return *status;
    const std::optional<Arguments> arguments = ParseArguments(argc, argv);
    if (!arguments) return DiffUsage.usageStatus;

    const DriveMap drives = DriveMap::FromEnvironment();
    if (!drives.Has(u'C')) {
        PrintError(DriveMap::HowToConfigure());
        return Trouble;
    }
    Result<std::unique_ptr<FileSystem>> opened = OpenDrives(drives);
    if (!opened) {
        PrintError(opened.reason());
        return Trouble;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();
    if (Status current = files->ChangeDrive(u'C'); !current) {
        PrintError(current.reason());
        return Trouble;
    }

    ProgramValues values = WindowsFolderOf(*files);
    const bool withDrive = arguments->sets.size() == 1;
    if (values.WindowsFolder.isEmpty()) {
        if (withDrive) {
            PrintError(QStringLiteral("drive C: holds no Windows folder. Set "
                                      "STOWIX_WINDOWS_FOLDER to it, for example C:\\WINDOWS."));
            return Trouble;
        }
        // Two sets need the Windows folder only to name the places their files go.
        values = {QStringLiteral("C:\\WINDOWS"), QStringLiteral("\\WINDOWS")};
    }

    QStringList setPaths;
    for (const QString& argument : arguments->sets) {
        Result<QString> path = ResolveSetPath(*files, argument);
        if (!path) {
            PrintError(path.reason());
            return Trouble;
        }
        setPaths << path.value();
    }

    CompareOptions options;
    options.keepSame = arguments->keepSame;
    options.readRegistry = CheckedRegistryReader();
    const Comparison comparison =
        withDrive ? CompareSetWithDrive(*files, values, setPaths[0], options)
                  : CompareSets(*files, values, setPaths[0], setPaths[1], options);

    if (arguments->json) {
        const QByteArray json = ComparisonJson(comparison);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    } else {
        const QByteArray text = ComparisonText(comparison).toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    }
    std::fflush(stdout);
    if (comparison.HasTrouble()) {
        PrintError(QStringLiteral("not every file could be compared"));
        return Trouble;
    }
    return comparison.Differs() ? Different : Same;
}

}  // namespace
}  // namespace stowix

int main(int argc, char** argv) { return stowix::Run(argc, argv); }
