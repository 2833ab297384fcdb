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
//   qcow2:  the same `stowix /U` with drive C: a qcow2 disk that `qemu-img convert` made of that
//           image (so served through qemu-nbd) against `stowix /U` on the raw image itself: what
//           the transport costs. Each round starts from the disk as made: the qcow2 file copied
//           back, the raw image's set removed with mdeltree (both untimed). The peak memory is
//           the program's with qemu-nbd's, which the program waits for.
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

// The work folder, when none is given: a fresh one under $TMPDIR (or /tmp), removed at the end.
struct Options : RunOptions, DriveSize {
    Options() : RunOptions(5), DriveSize{2000, 16} {}
    int imageMb = 2048;
    bool noWarm = false;
    std::string only;  // empty: both comparisons; "backup" or "qcow2"
};

const char Usage[] =
    "Usage: stowix-bench-image [--ini-files N] [--system-dat-mb N] [--image-mb N]\n"
    "                          [--rounds N] [--work FOLDER] [--keep] [--no-warm]\n"
    "                          [--only backup|qcow2]\n"
    "  --ini-files N      extra INI files on the generated drive (default 2000)\n"
    "  --system-dat-mb N  size of SYSTEM.DAT in MiB (default 16)\n"
    "  --image-mb N       size of the image's FAT32 volume in MiB (default 2048)\n"
    "  --rounds N         timed rounds of each side, alternating (default 5)\n"
    "  --work FOLDER      where the image is made (default: a new folder under\n"
    "                     $TMPDIR or /tmp, removed at the end unless --keep)\n"
    "  --no-warm          no touching of 256 MiB of memory before each side\n"
    "  --only WHICH       backup (against mtools) or qcow2 (against the raw image)\n";

std::vector<Option> CommandLineOptions(Options& options) {
    return JoinedOptions({RunOptionList(options),
                          DriveSizeOptionList(options),
                          {
                              CountOption("--image-mb", options.imageMb),
                              FlagOption("--no-warm", options.noWarm),
                              TextOption("--only", options.only),
                          }});
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

// Empties the caches' dirty data and, unless told not to, touches free memory: before each side.
void Settle(const Options& options) {
    SettleFileSystem(options.work);
    if (!options.noWarm) WarmFreeMemory(WarmBytes);
}

void PrintPeak(const Comparison& comparison, int imageMb) {
    const double peakMb = Median(comparison.subjectPeakKb) / 1024.0;
    std::printf("  stowix peak memory %.1f MB on a %d MiB image   aim under 60 MB: %s\n", peakMb,
                imageMb, peakMb < 60 ? "met" : "MISSED");
}

void CompareWithMtools(const Options& options, const std::string& programs,
                       const std::string& image) {
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
        Settle(options);
        const ChildRun stowix = RunChild({programs + "/stowix", "/U"}, stowixOptions);
        stowixStatus = stowix.exitStatus;
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        Settle(options);
        const ChildRun baseline = MtoolsBackup(target);
        baselineStatus = baseline.exitStatus;
        if (round == options.rounds - 1)
            std::printf("last round: mtools set of %d files\n", CountSetFiles(target, "BASELINE"));
        if (round >= 0) AddRound(comparison, stowix, baseline);
    }
    RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
    PrintComparison(comparison);
    PrintPeak(comparison, options.imageMb);
    std::printf("  last round: stowix exit status %d; mtools exit status %d\n", stowixStatus,
                baselineStatus);
}

void CompareQcow2(const Options& options, const std::string& programs, const std::string& image) {
    const std::string made = options.work + "/drive.qcow2.made";
    const std::string disk = options.work + "/drive.qcow2";
    if (RunChild({"qemu-img", "convert", "-f", "raw", "-O", "qcow2", image, made}).exitStatus !=
        0) {
        std::fprintf(stderr, "stowix-bench-image: qemu-img could not make the qcow2 disk\n");
        return;
    }
    const std::string target = image + "@@1048576";
    const ChildOptions rawOptions = StowixOptions(options.work, image);
    const ChildOptions qcow2Options = StowixOptions(options.work, disk);
    Comparison comparison;
    comparison.title = "Backup on a qcow2 disk made of that image, against the raw image itself";
    comparison.subjectName = "stowix /U (qcow2 disk as drive C:)";
    comparison.baselineName = "stowix /U (the raw image as drive C:)";
    comparison.aimRatio = 1.5;

    int qcow2Status = 0;
    int rawStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        RunChild({"cp", made, disk});
        Settle(options);
        const ChildRun qcow2 = RunChild({programs + "/stowix", "/U"}, qcow2Options);
        qcow2Status = qcow2.exitStatus;
        RunChild({"mdeltree", "-i", target, "::/Stowix"}, Mtools());
        Settle(options);
        const ChildRun raw = RunChild({programs + "/stowix", "/U"}, rawOptions);
        rawStatus = raw.exitStatus;
        if (round >= 0) AddRound(comparison, qcow2, raw);
    }
    PrintComparison(comparison);
    PrintPeak(comparison, options.imageMb);
    std::printf("  last round: exit status %d on the qcow2 disk, %d on the raw image\n",
                qcow2Status, rawStatus);
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
    if (options.only.empty() || options.only == "backup")
        CompareWithMtools(options, programs, image);
    if (options.only.empty() || options.only == "qcow2") CompareQcow2(options, programs, image);

    FinishWorkFolder(bench->work, options.keep);
    return 0;
}
