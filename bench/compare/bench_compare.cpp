// stowix-bench-compare: `stowix-diff SET` against `diff -r` of the same files.
//
// A generated drive is backed up once with `stowix /U`; then the drive is changed as an
// experiment would change it (a driver line added to SYSTEM.INI, the registry SYSTEM.DAT
// replaced by its older copy SYSTEM.DA0, WIN.INI made read-only). The subject is the whole
// comparison of the set with the drive, process start included; the baseline is `diff -r` of
// the set's folder against a folder of links to the same files on the drive (made untimed),
// which reads every byte of both sides. Rounds alternate after one warm-up of each; the medians
// are compared. The aim is a comparison within a second.

#include "support/bench_support.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace stowix::bench;

namespace {

struct Options {
    int iniFiles = 0;
    int systemDatMb = 2;
    int rounds = 11;
    std::string work;  // empty: a fresh folder under $TMPDIR (or /tmp), removed at the end
    bool keep = false;
};

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: stowix-bench-compare [--ini-files N] [--system-dat-mb N] [--rounds N]\n"
               "                            [--work FOLDER] [--keep]\n"
               "  --ini-files N      extra INI files on the generated drive (default 0)\n"
               "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 2, as the generator)\n"
               "  --rounds N         timed rounds of each side, alternating (default 11)\n"
               "  --work FOLDER      where the drive is made (default: a new folder under\n"
               "                     $TMPDIR or /tmp, removed at the end unless --keep)\n",
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
        else if (argument == "--work" && hasValue)
            options.work = argv[++i];
        else if (argument == "--keep")
            options.keep = true;
        else
            return false;
    }
    return options.iniFiles >= 0 && options.systemDatMb >= 0;
}

// The names in a folder (files and folders), in folder order.
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

// The name in folder that equals name without regard to case, or "".
std::string FindName(const std::string& folder, const std::string& name)
{
    for (const std::string& candidate : Names(folder))
        if (::strcasecmp(candidate.c_str(), name.c_str()) == 0)
            return candidate;
    return {};
}

bool EndsWithSys(const std::string& name)
{
    return name.size() >= 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".sys") == 0;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const std::string& path, const std::string& bytes)
{
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out);
}

// What an experiment changes on the drive. False when the drive lacks what it changes.
bool ChangeDrive(const std::string& windows)
{
    std::string systemIni = ReadAll(windows + "/SYSTEM.INI");
    const std::string section = "[386Enh]\r\n";
    const size_t at = systemIni.find(section);
    if (at == std::string::npos)
        return false;
    systemIni.insert(at + section.size(), "device=C:\\WINDOWS\\SYSTEM\\NEWDRV.VXD\r\n");
    const std::string olderRegistry = ReadAll(windows + "/SYSTEM.DA0");
    if (olderRegistry.empty())
        return false;
    return WriteAll(windows + "/SYSTEM.INI", systemIni) &&
           WriteAll(windows + "/SYSTEM.DAT", olderRegistry) &&
           ::chmod((windows + "/WIN.INI").c_str(), 0444) == 0;
}

ChildOptions StowixOptions(const std::string& work, const std::string& drive)
{
    ChildOptions options;
    options.setVariables = {"STOWIX_DRIVE_C=" + drive, "XDG_CONFIG_HOME=" + work + "/config",
                            "XDG_RUNTIME_DIR=" + work + "/runtime"};
    options.unsetVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WINEPREFIX",
                              "STOWIX_WINDOWS_FOLDER", "STOWIX_RESTART_COMMAND"};
    return options;
}

int Run(const Options& options, const std::string& programs)
{
    const std::string drive = options.work + "/drive";
    RemoveTree(drive);
    std::printf("making the drive (--ini-files %d --system-dat-mb %d) and its set ...\n",
                options.iniFiles, options.systemDatMb);
    std::fflush(stdout);
    const ChildRun made = RunChild({programs + "/stowix-make-drive", "--ini-files",
                                    std::to_string(options.iniFiles), "--system-dat-mb",
                                    std::to_string(options.systemDatMb), drive});
    if (made.exitStatus != 0) {
        std::fprintf(stderr, "stowix-make-drive failed (%d)\n", made.exitStatus);
        return 1;
    }
    const ChildOptions stowix = StowixOptions(options.work, drive);
    const ChildRun backup = RunChild({programs + "/stowix", "/U"}, stowix);
    const std::vector<std::string> sets = Names(drive + "/Stowix");
    if (backup.exitStatus != 0 || sets.size() != 1) {
        std::fprintf(stderr, "the backup failed (%d)\n", backup.exitStatus);
        return 1;
    }
    const std::string set = drive + "/Stowix/" + sets.front();
    const std::string windows = drive + "/" + FindName(drive, "WINDOWS");
    if (!ChangeDrive(windows)) {
        std::fprintf(stderr, "the generated drive lacks SYSTEM.INI's [386Enh] or SYSTEM.DA0\n");
        return 1;
    }

    // The baseline's view of the drive: a link for each file of the set, under the set's name,
    // to the file a backup took it from (a root start-up file, or the Windows folder's file of
    // that name; no Windows-folder group takes *.SYS).
    const std::string view = options.work + "/drive-view";
    RemoveTree(view);
    ::mkdir(view.c_str(), 0755);
    const std::vector<std::string> setFiles = Names(set);
    for (const std::string& name : setFiles) {
        std::string source = EndsWithSys(name) ? std::string() : FindName(windows, name);
        source = source.empty() ? drive + "/" + FindName(drive, name) : windows + "/" + source;
        if (::symlink(source.c_str(), (view + "/" + name).c_str()) != 0) {
            std::perror("symlink");
            return 1;
        }
    }

    Comparison comparison;
    comparison.title = "Comparison of a set of " + std::to_string(setFiles.size()) +
                       " files with the drive (SYSTEM.DAT " + std::to_string(options.systemDatMb) +
                       " MiB)";
    comparison.subjectName = "stowix-diff SET";
    comparison.baselineName = "diff -r (same files)";
    int diffStatus = 0;
    int baselineStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        const ChildRun subject = RunChild({programs + "/stowix-diff", sets.front()}, stowix);
        const ChildRun baseline = RunChild({"diff", "-r", set, view});
        diffStatus = subject.exitStatus;
        baselineStatus = baseline.exitStatus;
        if (round < 0)
            continue;  // the warm-up
        comparison.subjectSeconds.push_back(subject.seconds);
        comparison.subjectCpuSeconds.push_back(subject.cpuSeconds);
        comparison.subjectPeakKb.push_back(subject.peakKb);
        comparison.baselineSeconds.push_back(baseline.seconds);
        comparison.baselineCpuSeconds.push_back(baseline.cpuSeconds);
        comparison.baselinePeakKb.push_back(baseline.peakKb);
    }
    // The aim is the second, not a ratio: shown as the ratio a comparison of one second makes.
    comparison.aimRatio = 1.0 / std::max(Median(comparison.baselineSeconds), 1e-6);
    PrintComparison(comparison);
    const double seconds = Median(comparison.subjectSeconds);
    std::printf("  stowix-diff %.1f ms   aim within 1000 ms: %s\n", seconds * 1000,
                seconds <= 1.0 ? "met" : "MISSED");
    std::printf("  last round: stowix-diff exit status %d (1: differences found), diff exit "
                "status %d\n",
                diffStatus, baselineStatus);
    return 0;
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
    for (const char* program : {"stowix", "stowix-diff", "stowix-make-drive"}) {
        if (::access((programs + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "stowix-bench-compare: %s/%s is missing; build it first\n",
                         programs.c_str(), program);
            return 1;
        }
    }
    bool madeWork = false;
    if (options.work.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") +
                              "/stowix-bench-compare.XXXXXX";
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
    std::printf("stowix-bench-compare: work folder %s (%s)\n", options.work.c_str(),
                FileSystemName(options.work).c_str());
    std::printf("reproduce: %s\n", CommandLine(argc, argv).c_str());
    std::fflush(stdout);

    const int status = Run(options, programs);
    if (madeWork && !options.keep)
        RemoveTree(options.work);
    else
        std::printf("\nwork folder kept: %s\n", options.work.c_str());
    return status;
}
