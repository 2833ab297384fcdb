// stowix-bench-image: the whole program on a drive that is a disk image, against mtools.
//   backup: `stowix /U` with STOWIX_DRIVE_C naming an MBR disk image (one FAT32 partition made by
//           `stowix-make-drive --image`) against mtools doing the same copies inside the same
//           image: `mmd` of a set folder, then one `mcopy -p -m` per group of the backup, with
//           the group's pattern as mtools' own wildcard, then `sync -f` of the image, as the
//           program flushes the image before it records the set.
// Both report the median wall time and the peak resident memory (wait4's ru_maxrss) of each
// side; rounds alternate after one warm-up of each, and each round's set is removed (untimed)
// with mdeltree. The image's FAT volume is --image-mb large (default 2048), so the program's
// peak memory is that of a 2 GiB image.

#include "support/bench_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace stowix::bench;

namespace {

struct Options {
    int iniFiles = 2000;
    int systemDatMb = 16;
    int imageMb = 2048;
    int rounds = 5;
    std::string work;  // empty: a fresh folder under $TMPDIR (or /tmp), removed at the end
    bool keep = false;
};

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: stowix-bench-image [--ini-files N] [--system-dat-mb N] [--image-mb N]\n"
               "                          [--rounds N] [--work FOLDER] [--keep]\n"
               "  --ini-files N      extra INI files on the generated drive (default 2000)\n"
               "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 16)\n"
               "  --image-mb N       size of the image's FAT32 volume in MiB (default 2048)\n"
               "  --rounds N         timed rounds of each side, alternating (default 5)\n"
               "  --work FOLDER      where the image is made (default: a new folder under\n"
               "                     $TMPDIR or /tmp, removed at the end unless --keep)\n",
               to);
}

bool ParseCount(const char* text, int& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || parsed < 0 || parsed > 10000000)
        return false;
    value = int(parsed);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (argument == "--ini-files" && ParseCount(next, options.iniFiles)) {
            ++i;
        } else if (argument == "--system-dat-mb" && ParseCount(next, options.systemDatMb)) {
            ++i;
        } else if (argument == "--image-mb" && ParseCount(next, options.imageMb)) {
            ++i;
        } else if (argument == "--rounds" && ParseCount(next, options.rounds) &&
                   options.rounds > 0) {
            ++i;
        } else if (argument == "--work" && next != nullptr) {
            options.work = next;
            ++i;
        } else if (argument == "--keep") {
            options.keep = true;
        } else {
            return false;
        }
    }
    return true;
}

// The backup's groups: a folder of the drive and a pattern, in the order a backup copies them.
struct Group {
    const char* folder;
    const char* pattern;
};
const Group Groups[] = {
    {"", "Autoexec.Bat"}, {"", "Command.Com"},     {"", "*.Sys"},
    {"WINDOWS/", "System.Dat"}, {"WINDOWS/", "System.Da0"}, {"WINDOWS/", "User.Dat"},
    {"WINDOWS/", "User.Da0"},   {"WINDOWS/", "*.Bat"},      {"WINDOWS/", "*.Com"},
    {"WINDOWS/", "*.Grp"},      {"WINDOWS/", "*.Ini"},      {"WINDOWS/", "*.Pif"},
    {"WINDOWS/", "*.Pwl"},      {"WINDOWS/", "ShellIconCache"}, {"WINDOWS/", "TTFcache"},
};

ChildOptions Mtools()
{
    ChildOptions options;
    options.setVariables = {"MTOOLS_SKIP_CHECK=1"};
    return options;
}

// One round of the baseline; the sum of its commands.
ChildRun MtoolsBackup(const std::string& target)
{
    ChildRun total;
    const auto add = [&](const ChildRun& run) {
        total.seconds += run.seconds;
        total.cpuSeconds += run.cpuSeconds;
        total.peakKb = std::max(total.peakKb, run.peakKb);
        if (run.exitStatus != 0 && total.exitStatus <= 0)
            total.exitStatus = run.exitStatus;
    };
    total.exitStatus = 0;
    add(RunChild({"mmd", "-i", target, "::/Stowix"}, Mtools()));
    add(RunChild({"mmd", "-i", target, "::/Stowix/BASELINE"}, Mtools()));
    for (const Group& group : Groups) {
        // A group that matches nothing is no failure of the copy.
        ChildRun run = RunChild({"mcopy", "-i", target, "-p", "-m", "-o",
                                 std::string("::/") + group.folder + group.pattern,
                                 "::/Stowix/BASELINE/"},
                                Mtools());
        run.exitStatus = 0;
        add(run);
    }
    // mtools leaves its writes in the page cache; the program's are flushed before it records
    // the set, so the baseline's are too.
    add(RunChild({"sync", "-f", target.substr(0, target.find("@@"))}));
    return total;
}

int CountSetFiles(const std::string& target, const std::string& set)
{
    const std::string list = "/tmp/stowix-bench-image-list." + std::to_string(::getpid());
    const std::string command = "MTOOLS_SKIP_CHECK=1 mdir -a -b -i '" + target + "' '::/Stowix/" +
                                set + "/' 2>/dev/null | wc -l > " + list;
    RunChild({"sh", "-c", command});
    std::FILE* file = std::fopen(list.c_str(), "r");
    int count = -1;
    if (file) {
        if (std::fscanf(file, "%d", &count) != 1)
            count = -1;
        std::fclose(file);
    }
    std::remove(list.c_str());
    return count;
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
    for (const char* program : {"stowix", "stowix-make-drive"}) {
        if (::access((programs + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "stowix-bench-image: %s/%s is missing; build it first\n",
                         programs.c_str(), program);
            return 1;
        }
    }
    bool madeWork = false;
    if (options.work.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") +
                              "/stowix-bench-image.XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        options.work = pattern;
        madeWork = true;
    }
    ::mkdir(options.work.c_str(), 0755);
    ::mkdir((options.work + "/config").c_str(), 0700);
    ::mkdir((options.work + "/runtime").c_str(), 0700);
    std::printf("stowix-bench-image: work folder %s (%s)\n", options.work.c_str(),
                FileSystemName(options.work).c_str());
    std::printf("reproduce: %s\n", CommandLine(argc, argv).c_str());
    std::printf("making the image (--ini-files %d --system-dat-mb %d --image-mb %d) ...\n",
                options.iniFiles, options.systemDatMb, options.imageMb);
    std::fflush(stdout);

    const std::string image = options.work + "/drive.img";
    const ChildRun made = RunChild({programs + "/stowix-make-drive", "--ini-files",
                                    std::to_string(options.iniFiles), "--system-dat-mb",
                                    std::to_string(options.systemDatMb), "--image-mb",
                                    std::to_string(options.imageMb), "--image", image});
    if (made.exitStatus != 0) {
        std::fprintf(stderr, "stowix-make-drive failed (%d)\n", made.exitStatus);
        return 1;
    }
    const std::string target = image + "@@1048576";

    ChildOptions stowixOptions;
    stowixOptions.setVariables = {"STOWIX_DRIVE_C=" + image,
                                  "XDG_CONFIG_HOME=" + options.work + "/config",
                                  "XDG_RUNTIME_DIR=" + options.work + "/runtime"};
    stowixOptions.unsetVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                    "WINEPREFIX", "STOWIX_WINDOWS_FOLDER",
                                    "STOWIX_RESTART_COMMAND"};

    Comparison comparison;
    comparison.title = "Backup inside a " + std::to_string(options.imageMb) +
                       " MiB FAT32 image (" + std::to_string(options.iniFiles) +
                       " extra INI files, SYSTEM.DAT " + std::to_string(options.systemDatMb) +
                       " MiB)";
    comparison.subjectName = "stowix /U (image as drive C:)";
    comparison.baselineName = "mtools: mmd + one mcopy per group + sync -f";
    comparison.aimRatio = 0.5;

    int stowixStatus = 0;
    int baselineStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        SettleFileSystem(options.work);
        const ChildRun stowix = RunChild({programs + "/stowix", "/U"}, stowixOptions);
        stowixStatus = stowix.exitStatus;
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        SettleFileSystem(options.work);
        const ChildRun baseline = MtoolsBackup(target);
        baselineStatus = baseline.exitStatus;
        if (round == options.rounds - 1)
            std::printf("last round: mtools set of %d files\n",
                        CountSetFiles(target, "BASELINE"));
        if (round < 0)
            continue;
        comparison.subjectSeconds.push_back(stowix.seconds);
        comparison.subjectCpuSeconds.push_back(stowix.cpuSeconds);
        comparison.subjectPeakKb.push_back(stowix.peakKb);
        comparison.baselineSeconds.push_back(baseline.seconds);
        comparison.baselineCpuSeconds.push_back(baseline.cpuSeconds);
        comparison.baselinePeakKb.push_back(baseline.peakKb);
    }
    PrintComparison(comparison);
    const double peakMb = Median(comparison.subjectPeakKb) / 1024.0;
    std::printf("  stowix peak memory %.1f MB on a %d MiB image   aim under 60 MB: %s\n", peakMb,
                options.imageMb, peakMb < 60 ? "met" : "MISSED");
    std::printf("  last round: stowix exit status %d; mtools exit status %d\n", stowixStatus,
                baselineStatus);

    if (madeWork && !options.keep)
        RemoveTree(options.work);
    else
        std::printf("\nwork folder kept: %s\n", options.work.c_str());
    return 0;
}
