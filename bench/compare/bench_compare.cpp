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

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using namespace stowix::bench;

namespace {

// The work folder, when none is given: a fresh one under $TMPDIR (or /tmp), removed at the end.
struct Options : RunOptions, DriveSize {
    Options() : RunOptions(11), DriveSize{0, 2} {}
};

const char Usage[] =
    "Usage: stowix-bench-compare [--ini-files N] [--system-dat-mb N] [--rounds N]\n"
    "                            [--work FOLDER] [--keep]\n"
    "  --ini-files N      extra INI files on the generated drive (default 0)\n"
    "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 2, as the generator)\n"
    "  --rounds N         timed rounds of each side, alternating (default 11)\n"
    "  --work FOLDER      where the drive is made (default: a new folder under\n"
    "                     $TMPDIR or /tmp, removed at the end unless --keep)\n";

std::vector<Option> CommandLineOptions(Options& options) {
    return JoinedOptions({RunOptionList(options), DriveSizeOptionList(options)});
}

// The name in folder that equals name without regard to case, or "".
std::string FindName(const std::string& folder, const std::string& name) {
    for (const std::string& candidate : FolderNames(folder))
        if (::strcasecmp(candidate.c_str(), name.c_str()) == 0) return candidate;
    return {};
}

bool EndsWithSys(const std::string& name) {
    return name.size() >= 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".sys") == 0;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out);
}

// What an experiment changes on the drive. False when the drive lacks what it changes.
bool ChangeDrive(const std::string& windows) {
    std::string systemIni = ReadAll(windows + "/SYSTEM.INI");
    const std::string section = "[386Enh]\r\n";
    const size_t at = systemIni.find(section);
    if (at == std::string::npos) return false;
    systemIni.insert(at + section.size(), "device=C:\\WINDOWS\\SYSTEM\\NEWDRV.VXD\r\n");
    const std::string olderRegistry = ReadAll(windows + "/SYSTEM.DA0");
    if (olderRegistry.empty()) return false;
    return WriteAll(windows + "/SYSTEM.INI", systemIni) &&
           WriteAll(windows + "/SYSTEM.DAT", olderRegistry) &&
           ::chmod((windows + "/WIN.INI").c_str(), 0444) == 0;
}

// The baseline's view of the drive: a link for each file of the set, under the set's name, to the
// file a backup took it from (a root start-up file, or the Windows folder's file of that name; no
// Windows-folder group takes *.SYS).
bool MakeDriveView(const std::string& drive, const std::string& windows, const std::string& set,
                   const std::string& view) {
    RemoveTree(view);
    ::mkdir(view.c_str(), 0755);
    for (const std::string& name : FolderNames(set)) {
        std::string source = EndsWithSys(name) ? std::string() : FindName(windows, name);
        source = source.empty() ? drive + "/" + FindName(drive, name) : windows + "/" + source;
        if (::symlink(source.c_str(), (view + "/" + name).c_str()) != 0) {
            std::perror("symlink");
            return false;
        }
    }
    return true;
}

int Run(const Options& options, const std::string& programs) {
    const std::string drive = options.work + "/drive";
    RemoveTree(drive);
    std::printf("making the drive (--ini-files %d --system-dat-mb %d) and its set ...\n",
                options.iniFiles, options.systemDatMb);
    std::fflush(stdout);
    if (!MakeDrive(programs, {"--ini-files", std::to_string(options.iniFiles), "--system-dat-mb",
                              std::to_string(options.systemDatMb), drive}))
        return 1;
    const ChildOptions stowix = StowixOptions(options.work, drive);
    const ChildRun backup = RunChild({programs + "/stowix", "/U"}, stowix);
    const std::vector<std::string> sets = FolderNames(drive + "/Stowix");
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

    const std::string view = options.work + "/drive-view";
    if (!MakeDriveView(drive, windows, set, view)) return 1;

    Comparison comparison;
    comparison.title = "Comparison of a set of " + std::to_string(FolderNames(set).size()) +
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
        if (round >= 0)  // after the warm-up
            AddRound(comparison, subject, baseline);
    }
    // The aim is the second, not a ratio: shown as the ratio a comparison of one second makes.
    comparison.aimRatio = 1.0 / std::max(Median(comparison.baselineSeconds), 1e-6);
    PrintComparison(comparison);
    const double seconds = Median(comparison.subjectSeconds);
    std::printf("  stowix-diff %.1f ms   aim within 1000 ms: %s\n", seconds * 1000,
                seconds <= 1.0 ? "met" : "MISSED");
    std::printf(
        "  last round: stowix-diff exit status %d (1: differences found), diff exit "
        "status %d\n",
        diffStatus, baselineStatus);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status =
            ParseCommandLine(argc, argv, CommandLineOptions(options), Usage))
        return *status;
    const std::optional<ProgramBench> bench =
        StartProgramBench("stowix-bench-compare", {"stowix", "stowix-diff", "stowix-make-drive"},
                          options.work, argc, argv);
    if (!bench) return 1;
    options.work = bench->work.path;

    const int status = Run(options, bench->programs);
    FinishWorkFolder(bench->work, options.keep);
    return status;
}
