#pragma once
// What every benchmark shares: its command line and work folder, running a child program and
// learning its wall time and peak memory, timing work in this process, taking medians, and
// printing a side-by-side comparison. A benchmark never asserts: it prints its figures and the
// command that reproduces them, and says whether each ratio is within its aim. It does not
// decide what is measured.

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace stowix::bench {

// One option of a benchmark's command line: "--name VALUE", or "--name" alone for a flag.
struct Option {
    std::string name;
    bool takesValue = false;
    // Takes the value (empty for a flag); false refuses it, and with it the command line.
    std::function<bool(const std::string& value)> take;
};

// --name N: a whole number from least up to ten million, into value.
Option CountOption(const std::string& name, int& value, int least = 0);
// --name TEXT: into value.
Option TextOption(const std::string& name, std::string& value);
// --name: sets flag.
Option FlagOption(const std::string& name, bool& flag);

// The options every benchmark has: --rounds N (at least 1), --work FOLDER and, where the work
// folder is removed at the end, --keep. Each benchmark gives its own default of rounds.
struct RunOptions {
    explicit RunOptions(int defaultRounds) : rounds(defaultRounds) {}
    int rounds;
    std::string work;  // empty: the benchmark's own default folder
    bool keep = false;
};
std::vector<Option> RunOptionList(RunOptions& options, bool withKeep = true);

// The size of the generated drive, for the benchmarks that make one: --ini-files N (extra INI
// files) and --system-dat-mb N (the size of SYSTEM.DAT in MiB).
struct DriveSize {
    int iniFiles;
    int systemDatMb;
};
std::vector<Option> DriveSizeOptionList(DriveSize& size);

// Option lists joined in order, into the one list a command line is read with.
std::vector<Option> JoinedOptions(std::initializer_list<std::vector<Option>> lists);

// Reads the command line with these options. Nothing when the benchmark is to run; else the
// status it ends with: 0 after "--help" or "-h" (usage on standard output), 2 after a command
// line it refuses (usage on standard error).
std::optional<int> ParseCommandLine(int argc, char** argv, const std::vector<Option>& options,
                                    const char* usage);

// The folder a benchmark makes its drives and files in.
struct WorkFolder {
    std::string path;
    bool made = false;  // made by MakeWorkFolder: removed at the end unless kept
};

// The folder that --work named (given; made when missing), or a new one under $TMPDIR (or /tmp)
// named after the benchmark; nothing (told on standard error) when it cannot be made.
std::optional<WorkFolder> MakeWorkFolder(const std::string& benchName, const std::string& given);

// Fresh private settings and runtime folders for the programs a benchmark starts (config/ and
// runtime/ in the work folder; see StowixOptions), so that no user's settings are read or
// changed and no other running copy is met.
void MakePrivateFolders(const std::string& work);

// At the end: removes the private runtime folder, and a work folder that MakeWorkFolder made
// unless keep; otherwise says where it stays.
void FinishWorkFolder(const WorkFolder& work, bool keep);

// The first lines of every report: "BENCH: WHAT PATH (file system)" and the command line that
// reproduces the run.
void PrintStart(const std::string& benchName, const std::string& what, const std::string& path,
                int argc, char** argv);

// The folder of the running benchmark when it holds every one of programs, built; nothing
// (each missing one told on standard error) when not.
std::optional<std::string> BuiltPrograms(const std::string& benchName,
                                         std::initializer_list<const char*> programs);

// One finished child program.
struct ChildRun {
    double seconds = 0;     // wall time from just before the start to just after the end
    double cpuSeconds = 0;  // user and system time of the child (wait4's rusage)
    long peakKb = 0;        // the child's peak resident set (ru_maxrss of wait4), in KiB
    int exitStatus = -1;    // the exit status, or -1 when it did not exit normally
};

// Two child programs run one after the other, as one: their times added, the larger peak, the
// first exit status that is not 0.
ChildRun Combined(const ChildRun& first, const ChildRun& second);

// How a child is started.
struct ChildOptions {
    std::string workingFolder;              // empty: this process's own
    std::vector<std::string> setVariables;  // "NAME=value", added to (or replacing) ours
    std::vector<std::string> unsetVariables;
    bool quiet = true;  // standard output and error go to /dev/null
};

// Runs argv[0] (a path, or a name looked up on PATH) with these arguments and waits for it.
ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

// The set-up of a benchmark that starts the programs: the folder of the built programs, and the
// work folder (MakeWorkFolder) with its private folders (MakePrivateFolders); the first lines
// (PrintStart) printed. Nothing (told on standard error) when a program is missing or the work
// folder cannot be made.
struct ProgramBench {
    std::string programs;
    WorkFolder work;
};
std::optional<ProgramBench> StartProgramBench(const std::string& benchName,
                                              std::initializer_list<const char*> programs,
                                              const std::string& givenWork, int argc, char** argv);

// How stowix and its companion programs are started for an unattended run: the work folder's
// private settings and runtime folders (MakePrivateFolders), no display, drive (a host folder
// or a disk image) as C:.
ChildOptions StowixOptions(const std::string& work, const std::string& drive);

// Runs programs' stowix-make-drive with these arguments; false (told on standard error) when it
// fails.
bool MakeDrive(const std::string& programs, const std::vector<std::string>& arguments);

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

// Touches this many bytes of fresh memory and gives them back, untimed. On a virtual machine the
// host backs a guest's page only when the guest first touches it, and that first touch costs
// several times an ordinary write (on the development machine 0.5 GB/s against 4.5 GB/s for
// pages used before). Whether a timed run's new page cache lands in such pages is chance; after
// this it lands in pages the kernel has just had back, as it would on a real machine.
void WarmFreeMemory(size_t bytes);

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
    std::vector<long> subjectPeakKb;         // empty when not measured
    std::vector<long> baselinePeakKb;        // empty when not measured
    double aimRatio = 0;                     // the subject should take at most this many baselines
};

// Adds one timed round of each side: child programs, or work in this process.
void AddRound(Comparison& comparison, const ChildRun& subject, const ChildRun& baseline);
void AddRound(Comparison& comparison, const Timing& subject, const Timing& baseline);

// Work in this process: one untimed run of each side, then rounds of each, alternating, added.
void TimeAlternating(Comparison& comparison, int rounds, const std::function<void()>& subject,
                     const std::function<void()>& baseline);

// Prints the medians, their ratio, and whether the ratio is within its aim; the processor times
// too, where measured: on a busy machine they vary less than the wall times.
void PrintComparison(const Comparison& comparison);

// The names in a folder (files and folders, without "." and ".."), in the folder's own order;
// none when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);

// The files of one folder (never a folder) whose names match a shell pattern without regard to
// case, in the folder's own order.
std::vector<std::string> MatchingFiles(const std::string& folder, const char* pattern);

// A text of the program's tables (a pattern, a name) as a plain string; its characters are ASCII.
std::string Narrow(const char16_t* text);

// A text in upper case (ASCII letters only).
std::string Upper(std::string text);

// The command line that started this program, quoted for a shell, for the reproduce line.
std::string CommandLine(int argc, char** argv);

}  // namespace stowix::bench
