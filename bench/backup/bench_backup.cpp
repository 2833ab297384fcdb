// stowix-bench-backup: the whole program against plain host tools, side by side.
//   backup:  `stowix /U` on a large generated drive against `cp -p` of the same fifteen groups
//            of files followed by `sync -f` on the destination. The baseline's file list is
//            built beforehand (untimed) with the same case-insensitive match, in group order,
//            a later group's file replacing an earlier one of the same name as in a set.
//   startup: `stowix /U` on a drive with nothing to copy (an empty WINDOWS folder) against a
//            minimal Qt Widgets program (offscreen QApplication, one window, then exit).
// Both report the median wall time and the peak resident memory (wait4's ru_maxrss) of each
// side; rounds alternate after one warm-up of each, every set is removed between rounds, and
// the file system's dirty data is written out (untimed) before each timed run.

#include "support/bench_support.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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
    bool backup = true;
    bool startup = true;
};

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: stowix-bench-backup [--ini-files N] [--system-dat-mb N] [--rounds N]\n"
               "                           [--startup-rounds N]\n"
               "                           [--work FOLDER] [--keep] [--only backup|startup]\n"
               "  --ini-files N      extra INI files on the generated drive (default 20000)\n"
               "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 64)\n"
               "  --rounds N         timed backup rounds of each side, alternating (default 5)\n"
               "  --startup-rounds N timed start-up rounds of each side (default 21)\n"
               "  --work FOLDER      where the drives are made (default: a new folder under\n"
               "                     $TMPDIR or /tmp, removed at the end unless --keep); a\n"
               "                     drive that a kept work folder holds is used again\n",
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
        else if (argument == "--only" && hasValue) {
            const std::string which = argv[++i];
            options.backup = which == "backup";
            options.startup = which == "startup";
        } else
            return false;
    }
    return options.iniFiles >= 0 && options.systemDatMb >= 0;
}

std::string Upper(std::string text)
{
    for (char& character : text)
        character = char(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names in folder that match pattern without regard to case, files only, in folder order.
std::vector<std::string> MatchingFiles(const std::string& folder, const char* pattern)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (::fnmatch(pattern, entry->d_name, FNM_CASEFOLD) == 0 &&
            IsRegularFile(folder + "/" + entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
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

void CompareBackup(const Options& options, const std::string& programs)
{
    const std::string drive = options.work + "/drive";
    // A drive that a kept work folder holds from a run with the same options is used again:
    // making it takes longer than a round.
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
            return;
        }
        WriteText(madeWith, wanted);
    }
    const std::vector<std::string> files = BackupFileList(drive);
    const std::string baselineSet = drive + "/BASELINE-SET";

    std::vector<std::string> copy = {"cp", "-p", "-t", baselineSet, "--"};
    copy.insert(copy.end(), files.begin(), files.end());
    ChildOptions inDrive;
    inDrive.workingFolder = drive;

    Comparison comparison;
    comparison.title = "Backup of " + std::to_string(files.size()) + " files (SYSTEM.DAT " +
                       std::to_string(options.systemDatMb) + " MiB), flushed to disk";
    comparison.subjectName = "stowix /U";
    comparison.baselineName = "cp -p (same files) + sync -f";
    comparison.aimRatio = 1.25;

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
    comparison.aimRatio = 1.5;

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
    for (const char* program : {"stowix", "stowix-make-drive", "stowix-bench-minimal-qt"}) {
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
    ::mkdir((options.work + "/runtime").c_str(), 0700);

    std::printf("stowix-bench-backup: work folder %s (%s)\n", options.work.c_str(),
                FileSystemName(options.work).c_str());
    std::printf("reproduce: %s\n", CommandLine(argc, argv).c_str());
    std::fflush(stdout);

    if (options.backup)
        CompareBackup(options, programs);
    if (options.startup)
        CompareStartup(options, programs);

    if (madeWork && !options.keep)
        RemoveTree(options.work);
    else
        std::printf("\nwork folder kept: %s\n", options.work.c_str());
    return 0;
}
