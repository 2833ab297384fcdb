// stowix-bench-ini-values: `stowix-diff SET` where one INI key holds a great many values, against
// `sort` of the same two files.
//
// A drive folder is made by hand, with no generated drive around it: the set's WIN.INI holds one
// key of [386Enh] written N times (short values that repeat, so that a million fit in the 4 MiB
// that is compared key by key) and "old"; the drive's WIN.INI the same values in the reverse
// order and "new". The comparison must find that one value was taken and one added, whatever the
// order. The baseline is `sort` of both files, which reads and orders every line of them, the
// least a tool that compares them as lists of lines does. Rounds alternate after one warm-up of
// each; the medians and the peak memory are compared. The aim is a few seconds for a million
// values, in memory of a small multiple of the files.

#include "support/bench_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace stowix::bench;

namespace {

struct Options {
    int values = 1'000'000;
    int rounds = 5;
    std::string work;  // empty: a fresh folder under $TMPDIR (or /tmp), removed at the end
    bool keep = false;
};

const char Usage[] =
    "Usage: stowix-bench-ini-values [--values N] [--rounds N] [--work FOLDER] [--keep]\n"
    "  --values N     values of the one key (default 1000000)\n"
    "  --rounds N     timed rounds of each side, alternating (default 5)\n"
    "  --work FOLDER  where the drive is made (default: a new folder under\n"
    "                 $TMPDIR or /tmp, removed at the end unless --keep)\n";

const char SetName[] = "1-1-99 1;00;00 AM";

// [386Enh] with one key written count times, one character each, then the last value.
bool WriteIni(const std::string& path, int count, bool reversed, const char* last) {
    static const char Characters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::ofstream file(path, std::ios::binary);
    file << "[386Enh]\n";
    for (int i = 0; i < count; ++i) {
        const int value = reversed ? count - 1 - i : i;
        file << "d=" << Characters[value % 36] << '\n';
    }
    file << "d=" << last << '\n';
    return bool(file);
}

int Run(const Options& options, const std::string& programs) {
    const std::string drive = options.work + "/c";
    const std::string set = drive + "/Stowix/" + SetName;
    for (const std::string& folder : {drive, drive + "/WINDOWS", drive + "/Stowix", set})
        ::mkdir(folder.c_str(), 0755);
    const std::string older = set + "/WIN.INI";
    const std::string newer = drive + "/WINDOWS/WIN.INI";
    if (!WriteIni(older, options.values, false, "old") ||
        !WriteIni(newer, options.values, true, "new")) {
        std::fprintf(stderr, "stowix-bench-ini-values: the INI files could not be written\n");
        return 1;
    }

    const ChildOptions stowix = StowixOptions(options.work, drive);
    Comparison comparison;
    comparison.title = "Comparison of one INI key of " + std::to_string(options.values) +
                       " values, reversed, one taken and one added";
    comparison.subjectName = "stowix-diff SET";
    comparison.baselineName = "sort (both files)";
    int diffStatus = 0;
    for (int round = -1; round < options.rounds; ++round) {
        const ChildRun subject = RunChild({programs + "/stowix-diff", SetName}, stowix);
        const ChildRun baseline = RunChild({"sort", older, newer});
        diffStatus = subject.exitStatus;
        if (round >= 0) AddRound(comparison, subject, baseline);  // after the warm-up
    }
    // The aim is seconds, not a ratio: shown as the ratio that three seconds make.
    comparison.aimRatio = 3.0 / std::max(Median(comparison.baselineSeconds), 1e-6);
    PrintComparison(comparison);
    const double seconds = Median(comparison.subjectSeconds);
    std::printf("  stowix-diff %.2f s, peak %ld MiB   aim within 3 s: %s\n", seconds,
                Median(comparison.subjectPeakKb) / 1024, seconds <= 3.0 ? "met" : "MISSED");
    std::printf("  last round: stowix-diff exit status %d (1: differences found)\n", diffStatus);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const std::vector<Option> commandLine = {
        CountOption("--values", options.values, 1),
        CountOption("--rounds", options.rounds, 1),
        TextOption("--work", options.work),
        FlagOption("--keep", options.keep),
    };
    if (const std::optional<int> status = ParseCommandLine(argc, argv, commandLine, Usage))
        return *status;
    const std::optional<ProgramBench> bench =
        StartProgramBench("stowix-bench-ini-values", {"stowix-diff"}, options.work, argc, argv);
    if (!bench) return 1;
    options.work = bench->work.path;
    const int status = Run(options, bench->programs);
    FinishWorkFolder(bench->work, options.keep);
    return status;
}
