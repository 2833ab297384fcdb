#include "support/bench_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/magic.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace stowix::bench {

namespace {

std::string VariableName(const std::string& assignment) {
    return assignment.substr(0, assignment.find('='));
}

// Our environment with the options' changes, built before the fork: the child only calls
// async-signal-safe functions.
std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
    std::vector<std::string> dropped = options.unsetVariables;
    for (const std::string& assignment : options.setVariables)
        dropped.push_back(VariableName(assignment));
    std::vector<std::string> result;
    for (char** variable = environ; *variable; ++variable) {
        const std::string assignment = *variable;
        if (std::find(dropped.begin(), dropped.end(), VariableName(assignment)) == dropped.end())
            result.push_back(assignment);
    }
    result.insert(result.end(), options.setVariables.begin(), options.setVariables.end());
    return result;
}

double Seconds(const struct timeval& time) { return double(time.tv_sec) + time.tv_usec / 1e6; }

// User and system time of this process and of the children it has waited for.
double ProcessorSeconds() {
    struct rusage self {};
    struct rusage children {};
    ::getrusage(RUSAGE_SELF, &self);
    ::getrusage(RUSAGE_CHILDREN, &children);
    return Seconds(self.ru_utime) + Seconds(self.ru_stime) + Seconds(children.ru_utime) +
           Seconds(children.ru_stime);
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string ShellQuoted(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789-_./=:,+") == std::string::npos)
        return text;
    std::string quoted = "'";
    for (char character : text) {
        if (character == '\'')
            quoted += "'\\''";
        else
            quoted += character;
    }
    return quoted + "'";
}

// A whole number from least up to ten million, nothing else.
bool ParseCount(const std::string& text, int least, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < least || parsed > 10000000) return false;
    value = int(parsed);
    return true;
}

}  // namespace

Option CountOption(const std::string& name, int& value, int least) {
    return {name, true,
            [&value, least](const std::string& text) { return ParseCount(text, least, value); }};
}

Option TextOption(const std::string& name, std::string& value) {
    return {name, true, [&value](const std::string& text) {
                value = text;
                return true;
            }};
}

Option FlagOption(const std::string& name, bool& flag) {
    return {name, false, [&flag](const std::string&) {
                flag = true;
                return true;
            }};
}

std::vector<Option> RunOptionList(RunOptions& options, bool withKeep) {
    std::vector<Option> list = {CountOption("--rounds", options.rounds, 1),
                                TextOption("--work", options.work)};
    if (withKeep) list.push_back(FlagOption("--keep", options.keep));
    return list;
}

std::vector<Option> DriveSizeOptionList(DriveSize& size) {
    return {CountOption("--ini-files", size.iniFiles),
            CountOption("--system-dat-mb", size.systemDatMb)};
}

std::vector<Option> JoinedOptions(std::initializer_list<std::vector<Option>> lists) {
    std::vector<Option> joined;
    for (const std::vector<Option>& list : lists)
        joined.insert(joined.end(), list.begin(), list.end());
    return joined;
}

std::optional<int> ParseCommandLine(int argc, char** argv, const std::vector<Option>& options,
                                    const char* usage) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const Option& o) { return o.name == argument; });
        bool taken = option != options.end();
        if (taken && option->takesValue)
            taken = i + 1 < argc && option->take(argv[++i]);
        else if (taken)
            taken = option->take(std::string());
        if (!taken) {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    return std::nullopt;
}

std::optional<WorkFolder> MakeWorkFolder(const std::string& benchName, const std::string& given) {
    WorkFolder work{given, false};
    if (work.path.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern =
            std::string(temporary && *temporary ? temporary : "/tmp") + "/" + benchName + ".XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return std::nullopt;
        }
        work = {pattern, true};
    }
    if (::mkdir(work.path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(work.path.c_str());
        return std::nullopt;
    }
    return work;
}

namespace {

// The folder that the runtime folder's link leads to, or nothing when it is a plain folder.
std::string SessionFolderBehind(const std::string& runtime) {
    std::error_code error;
    if (!std::filesystem::is_symlink(runtime, error)) return {};
    return std::filesystem::read_symlink(runtime, error).string();
}

}  // namespace

void MakePrivateFolders(const std::string& work) {
    RemoveTree(work + "/config");
    ::mkdir((work + "/config").c_str(), 0700);
    // The runtime folder lies on a memory file system, as a desktop session's (/run/user/<uid>)
    // does, so that the lock kept there costs what it costs a user: a link to a new folder in
    // /dev/shm, removed by FinishWorkFolder. Where /dev/shm is missing, a plain folder.
    const std::string runtime = work + "/runtime";
    if (const std::string behind = SessionFolderBehind(runtime); !behind.empty())
        RemoveTree(behind);
    RemoveTree(runtime);
    std::string session = "/dev/shm/stowix-bench-runtime.XXXXXX";
    if (!::mkdtemp(session.data()) || ::symlink(session.c_str(), runtime.c_str()) != 0)
        ::mkdir(runtime.c_str(), 0700);
}

void FinishWorkFolder(const WorkFolder& work, bool keep) {
    if (const std::string behind = SessionFolderBehind(work.path + "/runtime"); !behind.empty()) {
        RemoveTree(behind);
        RemoveTree(work.path + "/runtime");
    }
    if (work.made && !keep)
        RemoveTree(work.path);
    else
        std::printf("\nwork folder kept: %s\n", work.path.c_str());
}

void PrintStart(const std::string& benchName, const std::string& what, const std::string& path,
                int argc, char** argv) {
    std::printf("%s: %s %s (%s)\n", benchName.c_str(), what.c_str(), path.c_str(),
                FileSystemName(path).c_str());
    std::printf("reproduce: %s\n", CommandLine(argc, argv).c_str());
    std::fflush(stdout);
}

std::optional<std::string> BuiltPrograms(const std::string& benchName,
                                         std::initializer_list<const char*> programs) {
    const std::string folder = ProgramFolder();
    bool built = true;
    for (const char* program : programs) {
        if (::access((folder + "/" + program).c_str(), X_OK) != 0) {
            std::fprintf(stderr, "%s: %s/%s is missing; build it first\n", benchName.c_str(),
                         folder.c_str(), program);
            built = false;
        }
    }
    return built ? std::optional<std::string>(folder) : std::nullopt;
}

std::optional<ProgramBench> StartProgramBench(const std::string& benchName,
                                              std::initializer_list<const char*> programs,
                                              const std::string& givenWork, int argc, char** argv) {
    const std::optional<std::string> built = BuiltPrograms(benchName, programs);
    if (!built) return std::nullopt;
    const std::optional<WorkFolder> work = MakeWorkFolder(benchName, givenWork);
    if (!work) return std::nullopt;
    MakePrivateFolders(work->path);
    PrintStart(benchName, "work folder", work->path, argc, argv);
    return ProgramBench{*built, *work};
}

ChildOptions StowixOptions(const std::string& work, const std::string& drive) {
    ChildOptions options;
    options.setVariables = {"STOWIX_DRIVE_C=" + drive, "XDG_CONFIG_HOME=" + work + "/config",
                            "XDG_RUNTIME_DIR=" + work + "/runtime"};
    options.unsetVariables = {"DISPLAY",    "WAYLAND_DISPLAY",       "QT_QPA_PLATFORM",
                              "WINEPREFIX", "STOWIX_WINDOWS_FOLDER", "STOWIX_RESTART_COMMAND"};
    return options;
}

bool MakeDrive(const std::string& programs, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {programs + "/stowix-make-drive"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ChildRun made = RunChild(argv);
    if (made.exitStatus == 0) return true;
    std::fprintf(stderr, "stowix-make-drive failed (%d)\n", made.exitStatus);
    return false;
}

void AddRound(Comparison& comparison, const ChildRun& subject, const ChildRun& baseline) {
    comparison.subjectSeconds.push_back(subject.seconds);
    comparison.subjectCpuSeconds.push_back(subject.cpuSeconds);
    comparison.subjectPeakKb.push_back(subject.peakKb);
    comparison.baselineSeconds.push_back(baseline.seconds);
    comparison.baselineCpuSeconds.push_back(baseline.cpuSeconds);
    comparison.baselinePeakKb.push_back(baseline.peakKb);
}

void AddRound(Comparison& comparison, const Timing& subject, const Timing& baseline) {
    comparison.subjectSeconds.push_back(subject.seconds);
    comparison.subjectCpuSeconds.push_back(subject.cpuSeconds);
    comparison.baselineSeconds.push_back(baseline.seconds);
    comparison.baselineCpuSeconds.push_back(baseline.cpuSeconds);
}

ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = ChildEnvironment(options);
    std::vector<char*> argumentPointers = Pointers(arguments);
    std::vector<char*> environmentPointers = Pointers(environment);

    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
            ::_exit(126);
        if (options.quiet) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execvpe(argumentPointers[0], argumentPointers.data(), environmentPointers.data());
        ::_exit(127);
    }
    if (child < 0) {
        std::perror("fork");
        return run;
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("wait4");
            return run;
        }
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ChildRun Combined(const ChildRun& first, const ChildRun& second) {
    ChildRun run;
    run.seconds = first.seconds + second.seconds;
    run.cpuSeconds = first.cpuSeconds + second.cpuSeconds;
    run.peakKb = std::max(first.peakKb, second.peakKb);
    run.exitStatus = first.exitStatus != 0 ? first.exitStatus : second.exitStatus;
    return run;
}

std::optional<long> CountSystemCalls(const std::vector<std::string>& argv,
                                     const ChildOptions& options, const std::string& countFile) {
    ::unlink(countFile.c_str());
    std::vector<std::string> traced = {"strace", "-c", "-f", "-o", countFile};
    traced.insert(traced.end(), argv.begin(), argv.end());
    const ChildRun run = RunChild(traced, options);
    if (run.exitStatus < 0) return std::nullopt;
    std::FILE* table = std::fopen(countFile.c_str(), "r");
    if (!table) return std::nullopt;
    // The last line of the table: "100.00  0.014663  8  1815  262 total" (the errors column
    // may be empty); the calls are its fourth number.
    std::optional<long> calls;
    char line[512];
    while (std::fgets(line, sizeof line, table)) {
        if (!std::strstr(line, " total")) continue;
        double percent = 0;
        double seconds = 0;
        long perCall = 0;
        long count = 0;
        if (std::sscanf(line, "%lf %lf %ld %ld", &percent, &seconds, &perCall, &count) == 4)
            calls = count;
    }
    std::fclose(table);
    return calls;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

std::vector<std::string> MatchingFiles(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat info {};
        if (::fnmatch(pattern, entry->d_name, FNM_CASEFOLD) == 0 &&
            ::stat((folder + "/" + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

std::string Narrow(const char16_t* text) {
    std::string narrow;
    for (; *text; ++text) narrow += char(*text);
    return narrow;
}

std::string Upper(std::string text) {
    for (char& character : text)
        character = char(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

Timing TimeWork(const std::function<void()>& work) {
    const double cpuBefore = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    Timing timing;
    timing.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.cpuSeconds = ProcessorSeconds() - cpuBefore;
    return timing;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

long Median(std::vector<long> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RemoveTree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) return;
    // A folder without write permission keeps its entries: give the owner write on every folder
    // first (the backup root is kept to its owner; the copies may be read-only).
    if (fs::is_directory(fs::symlink_status(path, error))) {
        ::chmod(path.c_str(), 0700);
        for (auto entry = fs::recursive_directory_iterator(path, error);
             entry != fs::recursive_directory_iterator(); entry.increment(error)) {
            if (entry->is_directory(error) && !entry->is_symlink(error))
                ::chmod(entry->path().c_str(), 0700);
        }
    }
    fs::remove_all(path, error);
    if (error)
        std::fprintf(stderr, "could not remove %s: %s\n", path.c_str(), error.message().c_str());
}

void SettleFileSystem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

void WarmFreeMemory(size_t bytes) {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    const long page = ::sysconf(_SC_PAGESIZE);
    for (size_t at = 0; at < bytes; at += size_t(page)) static_cast<volatile char*>(memory)[at] = 1;
    ::munmap(memory, bytes);
}

std::string ProgramFolder() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

std::string FileSystemName(const std::string& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) return "unknown";
    switch (info.f_type) {
    case EXT4_SUPER_MAGIC: return "ext4";
    case TMPFS_MAGIC: return "tmpfs";
    case BTRFS_SUPER_MAGIC: return "btrfs";
    case XFS_SUPER_MAGIC: return "xfs";
    case OVERLAYFS_SUPER_MAGIC: return "overlay";
    case MSDOS_SUPER_MAGIC: return "vfat";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(info.f_type));
        return text;
    }
    }
}

void TimeAlternating(Comparison& comparison, int rounds, const std::function<void()>& subject,
                     const std::function<void()>& baseline) {
    subject();
    baseline();
    for (int round = 0; round < rounds; ++round) {
        const Timing subjectTiming = TimeWork(subject);
        const Timing baselineTiming = TimeWork(baseline);
        AddRound(comparison, subjectTiming, baselineTiming);
    }
}

void PrintComparison(const Comparison& comparison) {
    const double subject = Median(comparison.subjectSeconds);
    const double baseline = Median(comparison.baselineSeconds);
    const double ratio = baseline > 0 ? subject / baseline : 0;
    std::printf("\n%s (%zu rounds, alternating; medians)\n", comparison.title.c_str(),
                comparison.subjectSeconds.size());
    std::printf("  %-44s %10.1f ms", comparison.subjectName.c_str(), subject * 1000);
    if (!comparison.subjectPeakKb.empty())
        std::printf("   peak %7.1f MB", Median(comparison.subjectPeakKb) / 1024.0);
    std::printf("\n  %-44s %10.1f ms", comparison.baselineName.c_str(), baseline * 1000);
    if (!comparison.baselinePeakKb.empty())
        std::printf("   peak %7.1f MB", Median(comparison.baselinePeakKb) / 1024.0);
    std::printf("\n  ratio %.2fx   aim within %.2fx: %s\n", ratio, comparison.aimRatio,
                ratio <= comparison.aimRatio ? "met" : "MISSED");
    if (!comparison.subjectCpuSeconds.empty() && !comparison.baselineCpuSeconds.empty()) {
        const double subjectCpu = Median(comparison.subjectCpuSeconds);
        const double baselineCpu = Median(comparison.baselineCpuSeconds);
        std::printf("  processor time (user + system): %.1f ms against %.1f ms, ratio %.2fx\n",
                    subjectCpu * 1000, baselineCpu * 1000,
                    baselineCpu > 0 ? subjectCpu / baselineCpu : 0.0);
    }
    std::printf("  rounds (ms), %s / %s:", comparison.subjectName.c_str(),
                comparison.baselineName.c_str());
    for (size_t i = 0; i < comparison.subjectSeconds.size(); ++i)
        std::printf(
            " %.1f/%.1f", comparison.subjectSeconds[i] * 1000,
            i < comparison.baselineSeconds.size() ? comparison.baselineSeconds[i] * 1000 : 0.0);
    std::printf("\n");
    std::fflush(stdout);
}

std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) line += ' ';
        line += ShellQuoted(argv[i]);
    }
    return line;
}

}  // namespace stowix::bench
