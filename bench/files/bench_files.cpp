// stowix-bench-files: the listing and the group copy against plain host tools, side by side on
// the same files.
//   listing: FindFiles over a folder of many files ("*.*", and "*.Ini" over mixed-case names)
//            against an opendir/readdir loop that collects the same names (for "*.Ini" it
//            selects them with the C library's fnmatch, FNM_CASEFOLD).
//   copy:    CopyMatchingFiles of many small files into an empty folder against cp -p -R of
//            the same files into an empty folder.
// Rounds alternate subject and baseline after one warm-up of each, so both meet the same page
// cache; the destination is emptied and the file system's dirty data written out (untimed)
// before every copy, on both sides.

#include "files/listing.h"
#include "files/progress_stepper.h"
#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"
#include "support/bench_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace stowix;
using namespace stowix::bench;

namespace {

// The work folder, when none is given: a fresh one under $TMPDIR (or /tmp), removed at the end.
struct Options : RunOptions {
    Options() : RunOptions(7) {}
    int listFiles = 100000;
    int copyFiles = 20000;
    bool listing = true;
    bool copying = true;
};

const char Usage[] =
    "Usage: stowix-bench-files [--files N] [--copy-files N] [--rounds N]\n"
    "                          [--work FOLDER] [--keep] [--only list|copy]\n"
    "  --files N       files in the listed folder (default 100000)\n"
    "  --copy-files N  small files copied (default 20000)\n"
    "  --rounds N      timed rounds of each side, alternating (default 7)\n"
    "  --work FOLDER   where the drive is made (default: a new folder under\n"
    "                  $TMPDIR or /tmp, removed at the end unless --keep); files\n"
    "                  that a kept work folder holds are used again\n";

std::vector<Option> CommandLineOptions(Options& options) {
    return JoinedOptions({RunOptionList(options),
                          {
                              CountOption("--files", options.listFiles, 1),
                              CountOption("--copy-files", options.copyFiles, 1),
                              {"--only", true,
                               [&options](const std::string& which) {
                                   options.listing = which == "list";
                                   options.copying = which == "copy";
                                   return options.listing || options.copying;
                               }},
                          }});
}

bool WriteFile(const std::string& path, const std::string& contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = contents.empty() ||
                         ::write(fd, contents.data(), contents.size()) == ssize_t(contents.size());
    return ::close(fd) == 0 && written;
}

// Names as a Windows folder holds them after years of use: upper, lower and mixed case, with
// and without extensions; three in eight are INI files of some case.
std::string ListedName(int index) {
    static const char* const extensions[] = {".INI", ".ini", ".Ini", ".TXT",
                                             ".dll", ".DAT", "",     ".Inf"};
    static const char* const stems[] = {"SETUP", "config", "Driver", "mscfg"};
    char name[64];
    std::snprintf(name, sizeof name, "%s%06d%s", stems[(index / 8) % 4], index,
                  extensions[index % 8]);
    return name;
}

int CountEntries(const std::string& folder) { return int(FolderNames(folder).size()); }

bool MakeListedFolder(const std::string& folder, int count) {
    // A folder that a kept work folder already holds is used again: making it takes longer
    // than the measurements.
    if (CountEntries(folder) == count + 1) return true;
    RemoveTree(folder);
    if (::mkdir(folder.c_str(), 0755) != 0) return false;
    for (int i = 0; i < count; ++i)
        if (!WriteFile(folder + "/" + ListedName(i), std::string())) return false;
    // A folder among the files: neither side lists it.
    return ::mkdir((folder + "/SUBFOLDER.INI").c_str(), 0755) == 0;
}

// Small configuration files of 200 bytes to 4 KiB.
bool MakeCopySource(const std::string& folder, int count) {
    if (CountEntries(folder) == count) return true;
    RemoveTree(folder);
    if (::mkdir(folder.c_str(), 0755) != 0) return false;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i % 3 ? "CFG%05d.INI" : "App%05d.ini", i);
        std::string contents = "[Settings]\r\n";
        const size_t size = 200 + size_t(i * 7919) % 3900;
        while (contents.size() < size)
            contents += "Key" + std::to_string(contents.size()) + "=Value\r\n";
        if (!WriteFile(folder + "/" + name, contents)) return false;
    }
    return true;
}

// The baseline listing: what a plain C program does to get the same names.
std::vector<std::string> ReaddirNames(const std::string& folder, const char* foldedPattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_DIR) continue;  // ".", ".." and folders
        if (foldedPattern && ::fnmatch(foldedPattern, entry->d_name, FNM_CASEFOLD) != 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

class CountingStepper final : public ProgressStepper {
public:
    void StepProgress(bool, bool) override { ++m_steps; }
    int Steps() const { return m_steps; }

private:
    int m_steps = 0;
};

void CompareListing(FileSystem& files, const std::string& hostFolder, const QString& pattern,
                    const char* foldedPattern, int rounds) {
    Comparison comparison;
    comparison.title = "Listing " + std::to_string(CountEntries(hostFolder)) +
                       " entries with pattern \"" + pattern.toStdString() + "\"";
    comparison.subjectName = "FindFiles";
    comparison.baselineName =
        foldedPattern ? "opendir/readdir + fnmatch(FNM_CASEFOLD)" : "opendir/readdir";
    comparison.aimRatio = 1.2;

    int subjectCount = 0;
    size_t baselineCount = 0;
    const auto subject = [&] {
        QString folder = QStringLiteral("\\LIST");
        QString usedPattern = pattern;
        std::vector<QString> list;
        subjectCount = 0;
        if (Status listed = FindFiles(files, QStringLiteral("C:"), folder, usedPattern, list,
                                      subjectCount, false);
            !listed)
            std::fprintf(stderr, "FindFiles failed: %s\n", qPrintable(listed.reason()));
    };
    const auto baseline = [&] { baselineCount = ReaddirNames(hostFolder, foldedPattern).size(); };

    TimeAlternating(comparison, rounds, subject, baseline);
    PrintComparison(comparison);
    std::printf("  names found: FindFiles %d, baseline %zu%s\n", subjectCount, baselineCount,
                size_t(subjectCount) == baselineCount ? "" : "  (DIFFERENT)");
}

void CompareCopy(FileSystem& files, const std::string& driveFolder, int fileCount, int rounds) {
    const std::string source = driveFolder + "/SRC";
    const std::string destination = driveFolder + "/DST";

    Comparison comparison;
    comparison.title = "Copying " + std::to_string(fileCount) + " small files into an empty folder";
    comparison.subjectName = "CopyMatchingFiles";
    comparison.baselineName = "cp -p -R SRC/. DST";
    comparison.aimRatio = 1.2;

    int failures = 0;
    int steps = 0;
    int copied = 0;
    const auto emptyDestination = [&] {
        RemoveTree(destination);
        ::mkdir(destination.c_str(), 0755);
    };
    const auto subject = [&] {
        CountingStepper stepper;
        QString sourceFolder = QStringLiteral("\\SRC");
        QString pattern = QStringLiteral("*.*");
        failures =
            int(CopyMatchingFiles(files, stepper, sourceFolder, pattern, QStringLiteral("C:\\DST"))
                    .size());
        steps = stepper.Steps();
    };
    int baselineStatus = 0;
    const auto baseline = [&] {
        baselineStatus = RunChild({"cp", "-p", "-R", source + "/.", destination}).exitStatus;
    };

    for (int round = -1; round < rounds; ++round) {
        emptyDestination();
        SettleFileSystem(driveFolder);
        const Timing subjectTiming = TimeWork(subject);
        copied = CountEntries(destination);
        emptyDestination();
        SettleFileSystem(driveFolder);
        const Timing baselineTiming = TimeWork(baseline);
        if (round >= 0)  // after the warm-up
            AddRound(comparison, subjectTiming, baselineTiming);
    }
    emptyDestination();
    PrintComparison(comparison);
    std::printf(
        "  last round: CopyMatchingFiles copied %d files, %d steps, %d failures; "
        "cp exit status %d\n",
        copied, steps, failures, baselineStatus);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status =
            ParseCommandLine(argc, argv, CommandLineOptions(options), Usage))
        return *status;
    const std::optional<WorkFolder> work = MakeWorkFolder("stowix-bench-files", options.work);
    if (!work) return 1;
    const std::string drive = work->path + "/drive";
    RemoveTree(drive + "/DST");
    ::mkdir(drive.c_str(), 0755);
    PrintStart("stowix-bench-files", "drive C: =", drive, argc, argv);

    std::unique_ptr<FileSystem> files = MakePosixFileSystem(DriveMap({{QChar(u'C'), drive}}));

    if (options.listing) {
        std::printf("files to list: %d\n", options.listFiles);
        std::fflush(stdout);
        if (!MakeListedFolder(drive + "/LIST", options.listFiles)) {
            std::perror("making the listed folder");
            return 1;
        }
        CompareListing(*files, drive + "/LIST", QStringLiteral("*.*"), nullptr, options.rounds);
        CompareListing(*files, drive + "/LIST", QStringLiteral("*.Ini"), "*.ini", options.rounds);
    }
    if (options.copying) {
        std::printf("files to copy: %d\n", options.copyFiles);
        std::fflush(stdout);
        if (!MakeCopySource(drive + "/SRC", options.copyFiles)) {
            std::perror("making the files to copy");
            return 1;
        }
        CompareCopy(*files, drive, options.copyFiles, options.rounds);
    }

    FinishWorkFolder(*work, options.keep);
    return 0;
}
