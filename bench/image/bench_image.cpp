// stowix-bench-image: the whole program on a drive that is a disk image, against mtools.
//   backup: `stowix /U` with STOWIX_DRIVE_C naming an MBR disk image (one FAT32 partition made by
//           `stowix-make-drive --image`) against mtools doing the same copies inside the same
//           image: `mmd` of a set folder, then one `mcopy -p -m` per group of the backup, with
//           the group's pattern as mtools' own wildcard, then `sync -f` of the image, as the
//           program flushes the image before it records the set.
// Both report the median wall time and the peak resident memory (wait4's ru_maxrss) of each
// side; rounds alternate after one warm-up of each, and each round's set is removed (untimed)
// with mdeltree. Before each side the bench writes out dirty data and touches 256 MiB of memory
// (WarmFreeMemory): both sides write some 33 MiB of new page cache a round, and on a virtual
// machine whichever side met never-touched pages would pay several times the cost of its writes.
// The image's FAT volume is --image-mb large (default 2048), so the program's peak memory is that
// of a 2 GiB image.

#include "sets/backup_set_layout.h"
#include "support/bench_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace stowix::bench;
using stowix::BackupGroups;
using stowix::SetGroup;
using stowix::SetPlace;

namespace {

constexpr size_t WarmBytes = size_t(256) << 20;

struct Options {
    int iniFiles = 2000;
    int systemDatMb = 16;
    int imageMb = 2048;
    int rounds = 5;
    std::string work;  // empty: a fresh folder under $TMPDIR (or /tmp), removed at the end
    bool keep = false;
    bool noWarm = false;
};

const char Usage[] =
    "Usage: stowix-bench-image [--ini-files N] [--system-dat-mb N] [--image-mb N]\n"
    "                          [--rounds N] [--work FOLDER] [--keep] [--no-warm]\n"
    "  --ini-files N      extra INI files on the generated drive (default 2000)\n"
    "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 16)\n"
    "  --image-mb N       size of the image's FAT32 volume in MiB (default 2048)\n"
    "  --rounds N         timed rounds of each side, alternating (default 5)\n"
    "  --work FOLDER      where the image is made (default: a new folder under\n"
    "                     $TMPDIR or /tmp, removed at the end unless --keep)\n"
    "  --no-warm          no touching of 256 MiB of memory before each side\n";

std::vector<Option> CommandLineOptions(Options& options) {
    return {
        CountOption("--ini-files", options.iniFiles),
        CountOption("--system-dat-mb", options.systemDatMb),
        CountOption("--image-mb", options.imageMb),
        CountOption("--rounds", options.rounds, 1),
        TextOption("--work", options.work),
        FlagOption("--keep", options.keep),
        FlagOption("--no-warm", options.noWarm),
    };
}

ChildOptions Mtools() {
    ChildOptions options;
    options.setVariables = {"MTOOLS_SKIP_CHECK=1"};
    return options;
}

// One round of the baseline: the backup's groups in their order, each as one mcopy with the
// group's pattern as mtools' own wildcard; the sum of its commands.
ChildRun MtoolsBackup(const std::string& target) {
    ChildRun total = RunChild({"mmd", "-i", target, "::/Stowix"}, Mtools());
    total = Combined(total, RunChild({"mmd", "-i", target, "::/Stowix/BASELINE"}, Mtools()));
    for (const SetGroup& group : BackupGroups) {
        const std::string folder = group.place == SetPlace::WindowsFolder ? "WINDOWS/" : "";
        ChildRun run = RunChild({"mcopy", "-i", target, "-p", "-m", "-o",
                                 "::/" + folder + Narrow(group.pattern), "::/Stowix/BASELINE/"},
                                Mtools());
        // A group that matches nothing is no failure of the copy.
        run.exitStatus = 0;
        total = Combined(total, run);
    }
    // mtools leaves its writes in the page cache; the program's are flushed before it records
    // the set, so the baseline's are too.
    return Combined(total, RunChild({"sync", "-f", target.substr(0, target.find("@@"))}));
}

int CountSetFiles(const std::string& target, const std::string& set) {
    const std::string list = "/tmp/stowix-bench-image-list." + std::to_string(::getpid());
    const std::string command = "MTOOLS_SKIP_CHECK=1 mdir -a -b -i '" + target + "' '::/Stowix/" +
                                set + "/' 2>/dev/null | wc -l > " + list;
    RunChild({"sh", "-c", command});
    std::FILE* file = std::fopen(list.c_str(), "r");
    int count = -1;
    if (file) {
        if (std::fscanf(file, "%d", &count) != 1) count = -1;
        std::fclose(file);
    }
    std::remove(list.c_str());
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status =
            ParseCommandLine(argc, argv, CommandLineOptions(options), Usage))
        return *status;
    const std::optional<ProgramBench> bench = StartProgramBench(
        "stowix-bench-image", {"stowix", "stowix-make-drive"}, options.work, argc, argv);
    if (!bench) return 1;
    options.work = bench->work.path;
    const std::string& programs = bench->programs;
    std::printf("making the image (--ini-files %d --system-dat-mb %d --image-mb %d) ...\n",
                options.iniFiles, options.systemDatMb, options.imageMb);
    std::fflush(stdout);

    const std::string image = options.work + "/drive.img";
    if (!MakeDrive(programs, {"--ini-files", std::to_string(options.iniFiles), "--system-dat-mb",
                              std::to_string(options.systemDatMb), "--image-mb",
                              std::to_string(options.imageMb), "--image", image}))
        return 1;
    const std::string target = image + "@@1048576";
    const ChildOptions stowixOptions = StowixOptions(options.work, image);

    Comparison comparison;
    comparison.title = "Backup inside a " + std::to_string(options.imageMb) + " MiB FAT32 image (" +
                       std::to_string(options.iniFiles) + " extra INI files, SYSTEM.DAT " +
                       std::to_string(options.systemDatMb) + " MiB)";
    comparison.subjectName = "stowix /U (image as drive C:)";
    comparison.baselineName = "mtools: mmd + one mcopy per group + sync -f";
    comparison.aimRatio = 0.5;

    int stowixStatus = 0;
    int baselineStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        SettleFileSystem(options.work);
        if (!options.noWarm) WarmFreeMemory(WarmBytes);
        const ChildRun stowix = RunChild({programs + "/stowix", "/U"}, stowixOptions);
        stowixStatus = stowix.exitStatus;
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        SettleFileSystem(options.work);
        if (!options.noWarm) WarmFreeMemory(WarmBytes);
        const ChildRun baseline = MtoolsBackup(target);
        baselineStatus = baseline.exitStatus;
        if (round == options.rounds - 1)
            std::printf("last round: mtools set of %d files\n", CountSetFiles(target, "BASELINE"));
        if (round < 0) continue;
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

    FinishWorkFolder(bench->work, options.keep);
    return 0;
}
