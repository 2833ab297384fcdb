// stowix-bench-backup: the whole program against plain host tools, side by side.
//   backup:  `stowix /U` on a large generated drive against `cp --preserve=mode,timestamps,xattr`
//            of the same fifteen groups of files followed by `sync -f` on the destination. The
//            baseline's file list is built beforehand (untimed) with the same case-insensitive
//            match, in group order, a later group's file replacing an earlier one of the same
//            name as in a set.
//   restore: the restore run of a set of that drive (stowix-bench-restore-run: the program's
//            own run, without the window's questions) against the same cp of the same files to
//            the same places (drive root, Windows folder, staged registry) and `sync -f`. The
//            restored files exist already, as they do when a user restores; the staged registry
//            files are taken away before each run of either side.
//   startup: `stowix /U` on a drive with nothing to copy (an empty WINDOWS folder) against a
//            minimal Qt Widgets program (offscreen QApplication, one window, then exit).
// Each reports the median wall time and the peak resident memory (wait4's ru_maxrss) of each
// side; rounds alternate after one warm-up of each, every set is removed between rounds, and
// the file system's dirty data is written out (untimed) before each timed run. The backup and
// the restore also count, in one more run of each side under `strace -c -f`, the system calls
// per copied file (where strace is installed); the backup's count is also given beyond the calls
// of a run with nothing to copy.

#include "sets/backup_set_layout.h"
#include "support/bench_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace stowix::bench;
using stowix::BackupGroups;
using stowix::RestoreGroups;
using stowix::SetGroup;
using stowix::SetPlace;
using stowix::StagedPattern;

namespace {

// The work folder, when none is given: a fresh one under $TMPDIR (or /tmp), removed at the end.
struct Options : RunOptions, DriveSize {
    Options() : RunOptions(5), DriveSize{20000, 64} {}
    int startupRounds = 21;
    bool countCalls = true;
    bool backup = true;
    bool restore = true;
    bool startup = true;
};

const char Usage[] =
    "Usage: stowix-bench-backup [--ini-files N] [--system-dat-mb N] [--rounds N]\n"
    "                           [--startup-rounds N]\n"
    "                           [--work FOLDER] [--keep] [--no-strace]\n"
    "                           [--only backup|restore|startup]\n"
    "  --ini-files N      extra INI files on the generated drive (default 20000)\n"
    "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 64)\n"
    "  --rounds N         timed backup and restore rounds of each side, alternating\n"
    "                     (default 5)\n"
    "  --startup-rounds N timed start-up rounds of each side (default 21)\n"
    "  --work FOLDER      where the drives are made (default: a new folder under\n"
    "                     $TMPDIR or /tmp, removed at the end unless --keep); a\n"
    "                     drive that a kept work folder holds is used again\n"
    "  --no-strace        no run under strace -c -f to count the system calls\n";

std::vector<Option> CommandLineOptions(Options& options) {
    return JoinedOptions({RunOptionList(options),
                          DriveSizeOptionList(options),
                          {
                              CountOption("--startup-rounds", options.startupRounds, 1),
                              {"--no-strace", false,
                               [&options](const std::string&) {
                                   options.countCalls = false;
                                   return true;
                               }},
                              {"--only", true,
                               [&options](const std::string& which) {
                                   options.backup = which == "backup";
                                   options.restore = which == "restore";
                                   options.startup = which == "startup";
                                   return options.backup || options.restore || options.startup;
                               }},
                          }});
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The first folder in the drive's root named WINDOWS in any case, as stored.
std::string WindowsFolderName(const std::string& drive) {
    for (const std::string& name : std::vector<std::string>{"WINDOWS", "windows", "Windows"})
        if (IsFolder(drive + "/" + name)) return name;
    std::string found;
    if (DIR* dir = ::opendir(drive.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (found.empty() && Upper(entry->d_name) == "WINDOWS" &&
                IsFolder(drive + "/" + entry->d_name))
                found = entry->d_name;
        ::closedir(dir);
    }
    return found;
}

// The files a backup set of this drive holds, as paths relative to the drive, in group order;
// a later group's file replaces an earlier one of the same name, as in the flat set.
std::vector<std::string> BackupFileList(const std::string& drive) {
    const std::string windows = WindowsFolderName(drive);
    std::vector<std::string> paths;
    std::map<std::string, size_t> byName;  // upper-cased set name -> index in paths
    for (const SetGroup& group : BackupGroups) {
        const bool inWindowsFolder = group.place == SetPlace::WindowsFolder;
        if (inWindowsFolder && windows.empty()) continue;
        const std::string prefix = inWindowsFolder ? windows + "/" : std::string();
        for (const std::string& name :
             MatchingFiles(drive + "/" + prefix, Narrow(group.pattern).c_str())) {
            const auto [at, added] = byName.emplace(Upper(name), paths.size());
            if (added)
                paths.push_back(prefix + name);
            else
                paths[at->second] = prefix + name;
        }
    }
    return paths;
}

std::string ReadText(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[256];
        while (const size_t got = std::fread(buffer, 1, sizeof buffer, file))
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

void WriteText(const std::string& path, const std::string& text) {
    if (std::FILE* file = std::fopen(path.c_str(), "w")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

int CountFiles(const std::string& folder) {
    int count = 0;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_type != DT_DIR) ++count;
        ::closedir(dir);
    }
    return count;
}

// The one set under drive's Stowix folder, or "" when there is none.
std::string OnlySet(const std::string& drive) {
    std::string found;
    if (DIR* dir = ::opendir((drive + "/Stowix").c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_type == DT_DIR && std::strcmp(entry->d_name, ".") != 0 &&
                std::strcmp(entry->d_name, "..") != 0)
                found = drive + "/Stowix/" + entry->d_name;
        ::closedir(dir);
    }
    return found;
}

// The baseline's copy: the attributes that a copy keeps (the DOS attributes live in an
// extended attribute), without ownership, which the program does not copy either.
std::vector<std::string> CopyCommand(const std::string& destination,
                                     const std::vector<std::string>& sources) {
    std::vector<std::string> copy = {"cp", "--preserve=mode,timestamps,xattr", "-t", destination,
                                     "--"};
    copy.insert(copy.end(), sources.begin(), sources.end());
    return copy;
}

// The large generated drive, made when a kept work folder does not hold one made with the same
// options; "" when it could not be made.
std::string LargeDrive(const Options& options, const std::string& programs) {
    const std::string drive = options.work + "/drive";
    // Making it takes longer than a round.
    const std::string madeWith = options.work + "/drive-options";
    const std::string wanted =
        std::to_string(options.iniFiles) + " " + std::to_string(options.systemDatMb) + "\n";
    if (ReadText(madeWith) != wanted || !IsFolder(drive)) {
        std::printf("making the drive (--ini-files %d --system-dat-mb %d) ...\n", options.iniFiles,
                    options.systemDatMb);
        std::fflush(stdout);
        RemoveTree(madeWith);
        RemoveTree(drive);
        if (!MakeDrive(programs, {"--ini-files", std::to_string(options.iniFiles),
                                  "--system-dat-mb", std::to_string(options.systemDatMb), drive}))
            return std::string();
        WriteText(madeWith, wanted);
    }
    return drive;
}

// Prints the system calls per copied file of one more run of each side under strace, judged
// against aim; with the calls of a run that copies nothing (startupCalls), also the calls per
// file beyond that start-up.
void PrintCallsPerFile(const char* subjectName, std::optional<long> subjectCalls,
                       const char* baselineName, std::optional<long> baselineCalls, size_t files,
                       double aim, std::optional<long> startupCalls = std::nullopt) {
    if (!subjectCalls || !baselineCalls || files == 0) {
        std::printf("  system calls per copied file: not counted (is strace installed?)\n");
        return;
    }
    const double perFile = double(*subjectCalls) / double(files);
    std::string beyond;
    if (startupCalls) {
        char text[96];
        std::snprintf(text, sizeof text, "; %.2f a file beyond the %ld of start-up",
                      double(*subjectCalls - *startupCalls) / double(files), *startupCalls);
        beyond = text;
    }
    std::printf(
        "  system calls per copied file (strace -c -f, one more run each): %s %.2f "
        "(%ld calls / %zu files%s), %s %.1f (%ld calls)   aim at most %.0f: %s\n",
        subjectName, perFile, *subjectCalls, files, beyond.c_str(), baselineName,
        double(*baselineCalls) / double(files), *baselineCalls, aim,
        perFile <= aim ? "met" : "MISSED");
}

// A drive whose Windows folder is empty: a run on it starts, finds nothing to copy and ends.
std::string EmptyDrive(const Options& options) {
    const std::string drive = options.work + "/empty-drive";
    RemoveTree(drive);
    ::mkdir(drive.c_str(), 0755);
    ::mkdir((drive + "/WINDOWS").c_str(), 0755);
    return drive;
}

// The system calls of one backup, of one run with nothing to copy, and of the baseline's copy,
// per file, each run once under strace.
void CountBackupCalls(const Options& options, const std::string& programs, const std::string& drive,
                      const std::string& baselineSet, const std::vector<std::string>& copy,
                      const ChildOptions& inDrive, size_t files) {
    const std::string countFile = options.work + "/strace-count";
    RemoveTree(drive + "/Stowix");
    SettleFileSystem(drive);
    const std::optional<long> stowixCalls = CountSystemCalls(
        {programs + "/stowix", "/U"}, StowixOptions(options.work, drive), countFile);
    RemoveTree(drive + "/Stowix");
    const std::string empty = EmptyDrive(options);
    const std::optional<long> startupCalls = CountSystemCalls(
        {programs + "/stowix", "/U"}, StowixOptions(options.work, empty), countFile);
    RemoveTree(empty);
    RemoveTree(baselineSet);
    ::mkdir(baselineSet.c_str(), 0700);
    SettleFileSystem(drive);
    const std::optional<long> copyCalls = CountSystemCalls(copy, inDrive, countFile);
    RemoveTree(baselineSet);
    PrintCallsPerFile("stowix /U", stowixCalls, "cp", copyCalls, files, 11, startupCalls);
}

void CompareBackup(const Options& options, const std::string& programs) {
    const std::string drive = LargeDrive(options, programs);
    if (drive.empty()) return;
    const std::vector<std::string> files = BackupFileList(drive);
    const std::string baselineSet = drive + "/BASELINE-SET";

    const std::vector<std::string> copy = CopyCommand(baselineSet, files);
    ChildOptions inDrive;
    inDrive.workingFolder = drive;

    Comparison comparison;
    comparison.title = "Backup of " + std::to_string(files.size()) + " files (SYSTEM.DAT " +
                       std::to_string(options.systemDatMb) + " MiB), flushed to disk";
    comparison.subjectName = "stowix /U";
    comparison.baselineName = "cp --preserve=mode,timestamps,xattr + sync -f";
    comparison.aimRatio = 1.0;

    int stowixStatus = 0;
    int setFiles = 0;
    int baselineStatus = 0;
    int baselineFiles = 0;
    for (int round = -1; round < options.rounds; ++round) {
        RemoveTree(drive + "/Stowix");
        SettleFileSystem(drive);
        const ChildRun stowix =
            RunChild({programs + "/stowix", "/U"}, StowixOptions(options.work, drive));
        stowixStatus = stowix.exitStatus;
        setFiles = CountFiles(OnlySet(drive));
        RemoveTree(drive + "/Stowix");

        RemoveTree(baselineSet);
        ::mkdir(baselineSet.c_str(), 0700);
        SettleFileSystem(drive);
        const ChildRun copied =
            Combined(RunChild(copy, inDrive), RunChild({"sync", "-f", baselineSet}));
        baselineStatus = copied.exitStatus;
        baselineFiles = CountFiles(baselineSet);
        RemoveTree(baselineSet);
        if (round >= 0)  // after the warm-up
            AddRound(comparison, stowix, copied);
    }
    PrintComparison(comparison);
    const double peakMb = Median(comparison.subjectPeakKb) / 1024.0;
    std::printf("  stowix peak memory %.1f MB   aim under 80 MB: %s\n", peakMb,
                peakMb < 80 ? "met" : "MISSED");
    std::printf(
        "  last round: stowix exit status %d, set of %d files; cp/sync exit status %d, "
        "%d files\n",
        stowixStatus, setFiles, baselineStatus, baselineFiles);

    if (options.countCalls)
        CountBackupCalls(options, programs, drive, baselineSet, copy, inDrive, files.size());
}

struct RestoreCopies {
    size_t count = 0;  // copies the run makes (a file of two groups counts twice)
    // Host source paths per destination folder, each file once, for the baseline's cp.
    std::map<std::string, std::vector<std::string>> byDestination;
};

// Where a restore run puts the files of a set: the groups of the run in their order, each into
// its place.
RestoreCopies RestoreFileList(const std::string& drive, const std::string& set) {
    const std::string windows = drive + "/" + WindowsFolderName(drive);
    RestoreCopies copies;
    std::map<std::string, std::set<std::string>> seen;
    for (const SetGroup& group : RestoreGroups) {
        const std::string destination = group.place == SetPlace::DriveRoot ? drive
                                        : group.place == SetPlace::WindowsFolder
                                            ? windows
                                            : drive + "/Stowix";
        for (const std::string& name : MatchingFiles(set, Narrow(group.pattern).c_str())) {
            ++copies.count;
            if (seen[destination].insert(Upper(name)).second)
                copies.byDestination[destination].push_back(set + "/" + name);
        }
    }
    return copies;
}

// Takes the staged registry files out of the backup root, so that each run stages them anew.
void RemoveStagedRegistry(const std::string& drive) {
    for (const std::string& name : MatchingFiles(drive + "/Stowix", Narrow(StagedPattern).c_str()))
        RemoveTree(drive + "/Stowix/" + name);
}

// cp of every destination's files, then sync -f of the drive.
ChildRun RestoreByCopying(const RestoreCopies& copies, const std::string& drive) {
    ChildRun run;
    run.exitStatus = 0;
    for (const auto& [destination, sources] : copies.byDestination)
        run = Combined(run, RunChild(CopyCommand(destination, sources)));
    return Combined(run, RunChild({"sync", "-f", drive}));
}

// The system calls of one restore run and of the baseline's copies, per copy, each run once under
// strace.
void CountRestoreCalls(const Options& options, const std::string& drive,
                       const std::vector<std::string>& restore, const RestoreCopies& copies) {
    const std::string countFile = options.work + "/strace-count";
    RemoveStagedRegistry(drive);
    SettleFileSystem(drive);
    const std::optional<long> restoreCalls =
        CountSystemCalls(restore, StowixOptions(options.work, drive), countFile);
    RemoveStagedRegistry(drive);
    SettleFileSystem(drive);
    std::optional<long> copyCalls = 0;
    for (const auto& [destination, sources] : copies.byDestination) {
        const std::optional<long> calls =
            CountSystemCalls(CopyCommand(destination, sources), {}, countFile);
        copyCalls = calls && copyCalls ? std::optional<long>(*copyCalls + *calls) : std::nullopt;
    }
    PrintCallsPerFile("restore run", restoreCalls, "cp", copyCalls, copies.count, 14);
}

void CompareRestore(const Options& options, const std::string& programs) {
    const std::string drive = LargeDrive(options, programs);
    if (drive.empty()) return;
    // The set to restore: one backup of the drive, made untimed.
    RemoveTree(drive + "/Stowix");
    const ChildRun backup =
        RunChild({programs + "/stowix", "/U"}, StowixOptions(options.work, drive));
    const std::string set = OnlySet(drive);
    if (backup.exitStatus != 0 || set.empty()) {
        std::fprintf(stderr, "the backup to restore from failed (%d)\n", backup.exitStatus);
        return;
    }
    const std::string setPath = "C:\\Stowix\\" + set.substr(set.rfind('/') + 1);
    const RestoreCopies copies = RestoreFileList(drive, set);
    const std::vector<std::string> restore = {programs + "/stowix-bench-restore-run", setPath};

    Comparison comparison;
    comparison.title = "Restore of " + std::to_string(copies.count) +
                       " copies over the existing files (SYSTEM.DAT " +
                       std::to_string(options.systemDatMb) + " MiB staged), flushed to disk";
    comparison.subjectName = "restore run";
    comparison.baselineName = "cp --preserve=mode,timestamps,xattr + sync -f";
    comparison.aimRatio = 1.0;

    int stowixStatus = 0;
    int baselineStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        RemoveStagedRegistry(drive);
        SettleFileSystem(drive);
        const ChildRun restored = RunChild(restore, StowixOptions(options.work, drive));
        stowixStatus = restored.exitStatus;

        RemoveStagedRegistry(drive);
        SettleFileSystem(drive);
        const ChildRun copied = RestoreByCopying(copies, drive);
        baselineStatus = copied.exitStatus;
        if (round >= 0)  // after the warm-up
            AddRound(comparison, restored, copied);
    }
    PrintComparison(comparison);
    std::printf("  last round: restore exit status %d; cp/sync exit status %d\n", stowixStatus,
                baselineStatus);

    if (options.countCalls) CountRestoreCalls(options, drive, restore, copies);
    RemoveTree(drive + "/Stowix");
}

void CompareStartup(const Options& options, const std::string& programs) {
    const std::string drive = EmptyDrive(options);

    ChildOptions minimalOptions;
    minimalOptions.setVariables = {"QT_QPA_PLATFORM=offscreen"};

    Comparison comparison;
    comparison.title = "Start to exit with nothing to copy";
    comparison.subjectName = "stowix /U (empty WINDOWS folder)";
    comparison.baselineName = "minimal Qt Widgets program (offscreen)";
    comparison.aimRatio = 0.7;

    int stowixStatus = 0;
    int minimalStatus = 0;
    for (int round = -1; round < options.startupRounds; ++round) {
        RemoveTree(drive + "/Stowix");
        SettleFileSystem(drive);
        const ChildRun stowix =
            RunChild({programs + "/stowix", "/U"}, StowixOptions(options.work, drive));
        stowixStatus = stowix.exitStatus;
        SettleFileSystem(drive);
        const ChildRun minimal = RunChild({programs + "/stowix-bench-minimal-qt"}, minimalOptions);
        minimalStatus = minimal.exitStatus;
        if (round >= 0)  // after the warm-up
            AddRound(comparison, stowix, minimal);
    }
    RemoveTree(drive + "/Stowix");
    PrintComparison(comparison);
    std::printf("  last round: stowix exit status %d, minimal program exit status %d\n",
                stowixStatus, minimalStatus);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status =
            ParseCommandLine(argc, argv, CommandLineOptions(options), Usage))
        return *status;
    const std::optional<ProgramBench> bench = StartProgramBench(
        "stowix-bench-backup",
        {"stowix", "stowix-make-drive", "stowix-bench-minimal-qt", "stowix-bench-restore-run"},
        options.work, argc, argv);
    if (!bench) return 1;
    options.work = bench->work.path;

    if (options.backup) CompareBackup(options, bench->programs);
    if (options.restore) CompareRestore(options, bench->programs);
    if (options.startup) CompareStartup(options, bench->programs);

    FinishWorkFolder(bench->work, options.keep);
    return 0;
}
