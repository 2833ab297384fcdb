#pragma once
// What every benchmark shares: running a child program and learning its wall time and peak
// memory, timing work in this process, taking medians, and printing a side-by-side comparison.
// A benchmark never asserts: it prints its figures and the command that reproduces them, and
// says whether each ratio is within its aim. It does not decide what is measured.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace stowix::bench {

// One finished child program.
struct ChildRun {
    double seconds = 0;     // wall time from just before the start to just after the end
    double cpuSeconds = 0;  // user and system time of the child (wait4's rusage)
    long peakKb = 0;        // the child's peak resident set (ru_maxrss of wait4), in KiB
    int exitStatus = -1;  // the exit status, or -1 when it did not exit normally
};

// How a child is started.
struct ChildOptions {
    std::string workingFolder;             // empty: this process's own
    std::vector<std::string> setVariables;  // "NAME=value", added to (or replacing) ours
    std::vector<std::string> unsetVariables;
    bool quiet = true;  // standard output and error go to /dev/null
};

// Runs argv[0] (a path, or a name looked up on PATH) with these arguments and waits for it.
ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

// The system calls that one run of a child program and of every process it starts make, as
// `strace -c -f` counts them; nothing when strace is not installed or its count cannot be read.
// countFile: where strace writes its table (replaced).
std::optional<long> CountSystemCalls(const std::vector<std::string>& argv,
                                     const ChildOptions& options, const std::string& countFile);

// The wall time of one call, and the processor time (user and system) that it took in this
// process and in the children it waited for, in seconds.
struct Timing {
    double seconds = 0;
    double cpuSeconds = 0;
};
Timing TimeWork(const std::function<void()>& work);

double Median(std::vector<double> values);
long Median(std::vector<long> values);

// Removes a file or a whole folder tree, read-only entries included; a missing path is fine.
void RemoveTree(const std::string& path);

// Writes the file system's dirty data out (syncfs), untimed, so that a timed run does not pay
// for the writes of the round before it.
void SettleFileSystem(const std::string& path);

// The folder of the running program, symbolic links resolved.
std::string ProgramFolder();

// The file system type of a folder, as a short word ("ext4", "tmpfs", ...), for the report.
std::string FileSystemName(const std::string& path);

// Several rounds of a subject and its baseline, run alternately.
struct Comparison {
    std::string title;
    std::string subjectName;
    std::string baselineName;
    std::vector<double> subjectSeconds;
    std::vector<double> baselineSeconds;
    std::vector<double> subjectCpuSeconds;   // empty when not measured
    std::vector<double> baselineCpuSeconds;  // empty when not measured
    std::vector<long> subjectPeakKb;   // empty when not measured
    std::vector<long> baselinePeakKb;  // empty when not measured
    double aimRatio = 0;               // the subject should take at most this many baselines
};

// Prints the medians, their ratio, and whether the ratio is within its aim; the processor times
// too, where measured: on a busy machine they vary less than the wall times.
void PrintComparison(const Comparison& comparison);

// The files of one folder (never a folder) whose names match a shell pattern without regard to
// case, in the folder's own order.
std::vector<std::string> MatchingFiles(const std::string& folder, const char* pattern);

// A text in upper case (ASCII letters only).
std::string Upper(std::string text);

// The command line that started this program, quoted for a shell, for the reproduce line.
std::string CommandLine(int argc, char** argv);

}  // namespace stowix::bench
