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
#include "drives/open_drives.h"
#include "files/escaped_text.h"
#include "hostfs/posix_windows_api.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace stowix {
namespace {

enum ExitStatus { Same = 0, Different = 1, Trouble = 2, AnotherCopy = 5 };

// File names, keys and values come from the drive: control characters in them are shown
// escaped rather than sent to the terminal.
void PrintError(const QString& text) {
    std::fprintf(stderr, "stowix-diff: %s\n", EscapedText(text).toLocal8Bit().constData());
}

// The comparison's lines, each escaped; JSON escapes control characters itself.
QByteArray TerminalLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) line = EscapedText(line);
    return lines.join(u'\n').toLocal8Bit();
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
        RejectCommandLine(DiffUsage,
                          arguments.sets.isEmpty() ? "name a set" : "name one set or two");
        return std::nullopt;
    }
    return arguments;
}

// The configured drives with C: current; nothing (told on standard error) when they cannot be
// opened, busy set when another copy of Stowix works in one of them.
std::unique_ptr<FileSystem> OpenDriveC(bool& busy) {
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&busy);
    if (!opened) {
        PrintError(opened.reason());
        return nullptr;
    }
    std::unique_ptr<FileSystem> files = std::move(opened).value();
    if (Status current = files->ChangeDrive(u'C'); !current) {
        PrintError(current.reason());
        return nullptr;
    }
    return files;
}

// The Windows folder as the program finds it. Nothing (told on standard error) when a set is
// compared with a drive that has none; two sets need it only to name the places their files go.
std::optional<ProgramValues> WindowsFolderValues(FileSystem& files, bool withDrive) {
    const std::unique_ptr<WindowsApi> windows = MakePosixWindowsApi(files);
    const Result<QString> folder = WindowsDirectory(*windows);
    if (folder) return ProgramValues{folder.value(), folder.value().mid(2)};
    if (withDrive) {
        PrintError(NoWindowsFolderMessage(folder.reason()));
        return std::nullopt;
    }
    return ProgramValues{QStringLiteral("C:\\WINDOWS"), QStringLiteral("\\WINDOWS")};
}

// The set each argument names, as a DOS path; nothing (told on standard error) when one names
// none.
std::optional<QStringList> SetPaths(FileSystem& files, const QStringList& sets) {
    QStringList setPaths;
    for (const QString& argument : sets) {
        Result<QString> path = ResolveSetPath(files, argument);
        if (!path) {
            PrintError(path.reason());
            return std::nullopt;
        }
        setPaths << path.value();
    }
    return setPaths;
}

void PrintComparison(const Comparison& comparison, bool json) {
    const QByteArray bytes =
        json ? ComparisonJson(comparison) : TerminalLines(ComparisonText(comparison));
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int Run(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, DiffUsage)) return *status;
    const std::optional<Arguments> arguments = ParseArguments(argc, argv);
    if (!arguments) return DiffUsage.usageStatus;

    bool busy = false;
    const std::unique_ptr<FileSystem> files = OpenDriveC(busy);
    if (!files) return busy ? AnotherCopy : Trouble;
    const bool withDrive = arguments->sets.size() == 1;
    std::optional<ProgramValues> values = WindowsFolderValues(*files, withDrive);
    if (!values) return Trouble;
    // A Wine prefix's registry lies beside its drive_c: compared with the sets' copies too.
    values->WinePrefix = WinePrefixOfDriveC(DriveMap::FromEnvironment());
    const std::optional<QStringList> setPaths = SetPaths(*files, arguments->sets);
    if (!setPaths) return Trouble;

    CompareOptions options;
    options.keepSame = arguments->keepSame;
    options.readRegistry = CheckedRegistryReader();
    const Comparison comparison =
        withDrive ? CompareSetWithDrive(*files, *values, setPaths->at(0), options)
                  : CompareSets(*files, *values, setPaths->at(0), setPaths->at(1), options);
    PrintComparison(comparison, arguments->json);
    if (comparison.HasTrouble()) {
        PrintError(QStringLiteral("not every file could be compared"));
        return Trouble;
    }
    return comparison.Differs() ? Different : Same;
}

}  // namespace
}  // namespace stowix

int main(int argc, char** argv) { return stowix::Run(argc, argv); }
