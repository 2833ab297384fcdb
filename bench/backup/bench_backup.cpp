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
// per copied file (where strace is installed).

#include "support/bench_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace stowix::bench;

namespace {

struct Options {
    int iniFiles = 20000;
    int systemDatMb = 64;
    int rounds = 5;
    int startupRounds = 21;
    std::string work;  // empty: a fresh folder under $TMPDIR (or /tmp), removed at the end
    bool keep = false;
    bool countCalls = true;
    bool backup = true;
    bool restore = true;
    bool startup = true;
};

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: stowix-bench-backup [--ini-files N] [--system-dat-mb N] [--rounds N]\n"
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
               "  --no-strace        no run under strace -c -f to count the system calls\n",
               to);
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--ini-files" && hasValue)
            options.iniFiles = std::atoi(argv[++i]);
        else if (argument == "--system-dat-mb" && hasValue)
            options.systemDatMb = std::atoi(argv[++i]);
        else if (argument == "--rounds" && hasValue)
            options.rounds = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--startup-rounds" && hasValue)
            options.startupRounds = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--work" && hasValue)
            options.work = argv[++i];
        else if (argument == "--keep")
            options.keep = true;
        else if (argument == "--no-strace")
            options.countCalls = false;
        else if (argument == "--only" && hasValue) {
            const std::string which = argv[++i];
            options.backup = which == "backup";
            options.restore = which == "restore";
            options.startup = which == "startup";
            if (!options.backup && !options.restore && !options.startup)
                return false;
        } else
            return false;
    }
    return options.iniFiles >= 0 && options.systemDatMb >= 0;
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The first folder in the drive's root named WINDOWS in any case, as stored.
std::string WindowsFolderName(const std::string& drive)
{
    for (const std::string& name : std::vector<std::string>{"WINDOWS", "windows", "Windows"})
        if (IsFolder(drive + "/" + name))
            return name;
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
std::vector<std::string> BackupFileList(const std::string& drive)
{
    struct Group {
        bool inWindowsFolder;
        const char* pattern;
    };
    static const Group groups[] = {
        {false, "Autoexec.Bat"}, {false, "Command.Com"},   {false, "*.Sys"},
        {true, "System.Dat"},    {true, "System.Da0"},     {true, "User.Dat"},
        {true, "User.Da0"},      {true, "*.Bat"},          {true, "*.Com"},
        {true, "*.Grp"},         {true, "*.Ini"},          {true, "*.Pif"},
        {true, "*.Pwl"},         {true, "ShellIconCache"}, {true, "TTFcache"},
    };
    const std::string windows = WindowsFolderName(drive);
    std::vector<std::string> paths;
    std::map<std::string, size_t> byName;  // upper-cased set name -> index in paths
    for (const Group& group : groups) {
        if (group.inWindowsFolder && windows.empty())
            continue;
        const std::string prefix = group.inWindowsFolder ? windows + "/" : std::string();
        for (const std::string& name : MatchingFiles(drive + "/" + prefix, group.pattern)) {
            const auto [at, added] = byName.emplace(Upper(name), paths.size());
            if (added)
                paths.push_back(prefix + name);
            else
                paths[at->second] = prefix + name;
        }
    }
    return paths;
}

std::string ReadText(const std::string& path)
{
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[256];
        while (const size_t got = std::fread(buffer, 1, sizeof buffer, file))
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

void WriteText(const std::string& path, const std::string& text)
{
    if (std::FILE* file = std::fopen(path.c_str(), "w")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

int CountFiles(const std::string& folder)
{
    int count = 0;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_type != DT_DIR)
                ++count;
        ::closedir(dir);
    }
    return count;
}

// The one set under drive's Stowix folder, or "" when there is none.
std::string OnlySet(const std::string& drive)
{
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

// The runtime folder that stowix keeps its lock in lies on a memory file system, as a desktop
// session's (/run/user/<uid>) does: at `runtime` a link to a new folder in /dev/shm, which comes
// back to be removed at the end. Where /dev/shm is missing, `runtime` is a plain folder and
// nothing comes back.
std::string MakeSessionRuntimeFolder(const std::string& runtime)
{
    RemoveTree(runtime);
    std::string pattern = "/dev/shm/stowix-bench-runtime.XXXXXX";
    if (::mkdtemp(pattern.data()) && ::symlink(pattern.c_str(), runtime.c_str()) == 0)
        return pattern;
    ::mkdir(runtime.c_str(), 0700);
    return {};
}

// How stowix is started for an unattended run: its own settings and runtime folders, no
// display, this drive as C:.
ChildOptions StowixOptions(const std::string& work, const std::string& drive)
{
    ChildOptions options;
    options.setVariables = {"STOWIX_DRIVE_C=" + drive, "XDG_CONFIG_HOME=" + work + "/config",
                            "XDG_RUNTIME_DIR=" + work + "/runtime"};
    options.unsetVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WINEPREFIX",
                              "STOWIX_WINDOWS_FOLDER", "STOWIX_RESTART_COMMAND"};
    return options;
}

// The baseline's copy: the attributes that a copy keeps (the DOS attributes live in an
// extended attribute), without ownership, which the program does not copy either.
std::vector<std::string> CopyCommand(const std::string& destination,
                                     const std::vector<std::string>& sources)
{
    std::vector<std::string> copy = {"cp", "--preserve=mode,timestamps,xattr", "-t", destination,
                                     "--"};
    copy.insert(copy.end(), sources.begin(), sources.end());
    return copy;
}

// The large generated drive, made when a kept work folder does not hold one made with the same
// options; "" when it could not be made.
std::string LargeDrive(const Options& options, const std::string& programs)
{
    const std::string drive = options.work + "/drive";
    // Making it takes longer than a round.
    const std::string madeWith = options.work + "/drive-options";
    const std::string wanted = std::to_string(options.iniFiles) + " " +
                               std::to_string(options.systemDatMb) + "\n";
    if (ReadText(madeWith) != wanted || !IsFolder(drive)) {
        std::printf("making the drive (--ini-files %d --system-dat-mb %d) ...\n",
                    options.iniFiles, options.systemDatMb);
        std::fflush(stdout);
        RemoveTree(madeWith);
        RemoveTree(drive);
        const ChildRun made = RunChild({programs + "/stowix-make-drive", "--ini-files",
                                        std::to_string(options.iniFiles), "--system-dat-mb",
                                        std::to_string(options.systemDatMb), drive});
        if (made.exitStatus != 0) {
            std::fprintf(stderr, "stowix-make-drive failed (%d)\n", made.exitStatus);
            return std::string();
        }
        WriteText(madeWith, wanted);
    }
    return drive;
}

// Prints the system calls per copied file of one more run of each side under strace.
void PrintCallsPerFile(const char* subjectName, std::optional<long> subjectCalls,
                       const char* baselineName, std::optional<long> baselineCalls, size_t files)
{
    if (!subjectCalls || !baselineCalls || files == 0) {
        std::printf("  system calls per copied file: not counted (is strace installed?)\n");
        return;
    }
    std::printf("  system calls per copied file (strace -c -f, one more run each): %s %.1f "
                "(%ld calls / %zu files), %s %.1f (%ld calls)   aim at most 14: %s\n",
                subjectName, double(*subjectCalls) / double(files), *subjectCalls, files,
                baselineName, double(*baselineCalls) / double(files), *baselineCalls,
                double(*subjectCalls) / double(files) <= 14.0 ? "met" : "MISSED");
}

void CompareBackup(const Options& options, const std::string& programs)
{
    const std::string drive = LargeDrive(options, programs);
    if (drive.empty())
        return;
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
        const ChildRun stowix = RunChild({programs + "/stowix", "/U"},
                                         StowixOptions(options.work, drive));
        stowixStatus = stowix.exitStatus;
        setFiles = CountFiles(OnlySet(drive));
        RemoveTree(drive + "/Stowix");

        RemoveTree(baselineSet);
        ::mkdir(baselineSet.c_str(), 0700);
        SettleFileSystem(drive);
        const ChildRun copied = RunChild(copy, inDrive);
        const ChildRun synced = RunChild({"sync", "-f", baselineSet});
        baselineStatus = copied.exitStatus != 0 ? copied.exitStatus : synced.exitStatus;
        baselineFiles = CountFiles(baselineSet);
        RemoveTree(baselineSet);
        if (round < 0)
            continue;  // the warm-up
        comparison.subjectSeconds.push_back(stowix.seconds);
        comparison.subjectCpuSeconds.push_back(stowix.cpuSeconds);
        comparison.subjectPeakKb.push_back(stowix.peakKb);
        comparison.baselineSeconds.push_back(copied.seconds + synced.seconds);
        comparison.baselineCpuSeconds.push_back(copied.cpuSeconds + synced.cpuSeconds);
        comparison.baselinePeakKb.push_back(std::max(copied.peakKb, synced.peakKb));
    }
    PrintComparison(comparison);
    const double peakMb = Median(comparison.subjectPeakKb) / 1024.0;
    std::printf("  stowix peak memory %.1f MB   aim under 80 MB: %s\n", peakMb,
                peakMb < 80 ? "met" : "MISSED");
    std::printf("  last round: stowix exit status %d, set of %d files; cp/sync exit status %d, "
                "%d files\n",
                stowixStatus, setFiles, baselineStatus, baselineFiles);

    if (options.countCalls) {
        const std::string countFile = options.work + "/strace-count";
        RemoveTree(drive + "/Stowix");
        SettleFileSystem(drive);
        const std::optional<long> stowixCalls = CountSystemCalls(
            {programs + "/stowix", "/U"}, StowixOptions(options.work, drive), countFile);
        RemoveTree(drive + "/Stowix");
        RemoveTree(baselineSet);
        ::mkdir(baselineSet.c_str(), 0700);
        SettleFileSystem(drive);
        const std::optional<long> copyCalls = CountSystemCalls(copy, inDrive, countFile);
        RemoveTree(baselineSet);
        PrintCallsPerFile("stowix /U", stowixCalls, "cp", copyCalls, files.size());
    }
}

// Where a restore run puts the files of a set: the groups of the run in their order, each with
// its destination.
enum class RestoreTarget { DriveRoot, WindowsFolder, BackupRoot };

struct RestoreCopies {
    size_t count = 0;  // copies the run makes (a file of two groups counts twice)
    // Host source paths per destination folder, each file once, for the baseline's cp.
    std::map<std::string, std::vector<std::string>> byDestination;
};

RestoreCopies RestoreFileList(const std::string& drive, const std::string& set)
{
    struct Group {
        const char* pattern;
        RestoreTarget target;
    };
    static const Group groups[] = {
        {"Autoexec.Bat", RestoreTarget::DriveRoot}, {"Command.Com", RestoreTarget::DriveRoot},
        {"Config.Sys", RestoreTarget::DriveRoot},   {"*.Sys", RestoreTarget::DriveRoot},
        {"*.Bat", RestoreTarget::WindowsFolder},    {"*.Com", RestoreTarget::WindowsFolder},
        {"*.Ini", RestoreTarget::WindowsFolder},    {"*.Grp", RestoreTarget::WindowsFolder},
        {"*.Pif", RestoreTarget::WindowsFolder},    {"*.Pwl", RestoreTarget::WindowsFolder},
        {"ShellIconCache", RestoreTarget::WindowsFolder},
        {"TTFcache", RestoreTarget::WindowsFolder}, {"*.Da?", RestoreTarget::BackupRoot},
    };
    const std::string windows = drive + "/" + WindowsFolderName(drive);
    RestoreCopies copies;
    std::map<std::string, std::set<std::string>> seen;
    for (const Group& group : groups) {
        const std::string destination = group.target == RestoreTarget::DriveRoot ? drive
                                        : group.target == RestoreTarget::WindowsFolder
                                            ? windows
                                            : drive + "/Stowix";
        for (const std::string& name : MatchingFiles(set, group.pattern)) {
            ++copies.count;
            if (seen[destination].insert(Upper(name)).second)
                copies.byDestination[destination].push_back(set + "/" + name);
        }
    }
    return copies;
}

// Takes the staged registry files out of the backup root, so that each run stages them anew.
void RemoveStagedRegistry(const std::string& drive)
{
    for (const std::string& name : MatchingFiles(drive + "/Stowix", "*.Da?"))
        RemoveTree(drive + "/Stowix/" + name);
}

struct BaselineRun {
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
    int exitStatus = 0;
};

// cp of every destination's files, then sync -f of the drive.
BaselineRun RestoreByCopying(const RestoreCopies& copies, const std::string& drive)
{
    BaselineRun run;
    for (const auto& [destination, sources] : copies.byDestination) {
        const ChildRun copied = RunChild(CopyCommand(destination, sources));
        run.seconds += copied.seconds;
        run.cpuSeconds += copied.cpuSeconds;
        run.peakKb = std::max(run.peakKb, copied.peakKb);
        if (run.exitStatus == 0)
            run.exitStatus = copied.exitStatus;
    }
    const ChildRun synced = RunChild({"sync", "-f", drive});
    run.seconds += synced.seconds;
    run.cpuSeconds += synced.cpuSeconds;
    if (run.exitStatus == 0)
        run.exitStatus = synced.exitStatus;
    return run;
}

void CompareRestore(const Options& options, const std::string& programs)
{
    const std::string drive = LargeDrive(options, programs);
    if (drive.empty())
        return;
    // The set to restore: one backup of the drive, made untimed.
    RemoveTree(drive + "/Stowix");
    const ChildRun backup = RunChild({programs + "/stowix", "/U"},
                                     StowixOptions(options.work, drive));
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
        const BaselineRun copied = RestoreByCopying(copies, drive);
        baselineStatus = copied.exitStatus;
        if (round < 0)
            continue;  // the warm-up
        comparison.subjectSeconds.push_back(restored.seconds);
        comparison.subjectCpuSeconds.push_back(restored.cpuSeconds);
        comparison.subjectPeakKb.push_back(restored.peakKb);
        comparison.baselineSeconds.push_back(copied.seconds);
        comparison.baselineCpuSeconds.push_back(copied.cpuSeconds);
        comparison.baselinePeakKb.push_back(copied.peakKb);
    }
    PrintComparison(comparison);
    std::printf("  last round: restore exit status %d; cp/sync exit status %d\n", stowixStatus,
                baselineStatus);

    if (options.countCalls) {
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
            copyCalls = calls && copyCalls ? std::optional<long>(*copyCalls + *calls)
                                           : std::nullopt;
        }
        PrintCallsPerFile("restore run", restoreCalls, "cp", copyCalls, copies.count);
    }
    RemoveTree(drive + "/Stowix");
}

void CompareStartup(const Options& options, const std::string& programs)
{
    const std::string drive = options.work + "/empty-drive";
    RemoveTree(drive);
    ::mkdir(drive.c_str(), 0755);
    ::mkdir((drive + "/WINDOWS").c_str(), 0755);

    ChildOptions minimalOptions;
    minimalOptions.setVariables = {"QT_QPA_PLATFORM=offscreen"};

    Comparison comparison;
    comparison.title = "Start to exit with nothing to copy";
    comparison.subjectName = "stowix /U (empty WINDOWS folder)";
    comparison.baselineName = "minimal Qt Widgets program (offscreen)";
    comparison.aimRatio = 1.3;

    int stowixStatus = 0;
    int minimalStatus = 0;
    for (int round = -1; round < options.startupRounds; ++round) {
        RemoveTree(drive + "/Stowix");
        SettleFileSystem(drive);
        const ChildRun stowix = RunChild({programs + "/stowix", "/U"},
                                         StowixOptions(options.work, drive));
        stowixStatus = stowix.exitStatus;
        SettleFileSystem(drive);
        const ChildRun minimal = RunChild({programs + "/stowix-bench-minimal-qt"}, minimalOptions);
        minimalStatus = minimal.exitStatus;
        if (round < 0)
            continue;
        comparison.subjectSeconds.push_back(stowix.seconds);
        comparison.subjectCpuSeconds.push_back(stowix.cpuSeconds);
        comparison.subjectPeakKb.push_back(stowix.peakKb);
        comparison.baselineSeconds.push_back(minimal.seconds);
        comparison.baselineCpuSeconds.push_back(minimal.cpuSeconds);
        comparison.baselinePeakKb.push_back(minimal.peakKb);
    }
    RemoveTree(drive + "/Stowix");
    PrintComparison(comparison);
    std::printf("  last round: stowix exit status %d, minimal program exit status %d\n",
                stowixStatus, minimalStatus);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string programs = ProgramFolder();
    for (const char* program : {"stowix", "stowix-make-drive", "stowix-bench-minimal-qt",
                                "stowix-bench-restore-run"}) {
        if (::access((programs + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "stowix-bench-backup: %s/%s is missing; build it first\n",
                         programs.c_str(), program);
            return 1;
        }
    }

    bool madeWork = false;
    if (options.work.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") +
                              "/stowix-bench-backup.XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        options.work = pattern;
        madeWork = true;
    }
    ::mkdir(options.work.c_str(), 0755);
    RemoveTree(options.work + "/config");
    ::mkdir((options.work + "/config").c_str(), 0700);
    const std::string sessionFolder = MakeSessionRuntimeFolder(options.work + "/runtime");

    std::printf("stowix-bench-backup: work folder %s (%s)\n", options.work.c_str(),
                FileSystemName(options.work).c_str());
    std::printf("reproduce: %s\n", CommandLine(argc, argv).c_str());
    std::fflush(stdout);

    if (options.backup)
        CompareBackup(options, programs);
    if (options.restore)
        CompareRestore(options, programs);
    if (options.startup)
        CompareStartup(options, programs);

    if (!sessionFolder.empty())
        RemoveTree(sessionFolder);
    if (madeWork && !options.keep)
        RemoveTree(options.work);
    else
        std::printf("\nwork folder kept: %s\n", options.work.c_str());
    return 0;
}
