// stowix-bench-registry: the registry check's cost per MiB of registry against libcreg's own
// export tool on the same file.
//   subject:  the file checked as the program checks it (CheckRegistryFile): opened through the
//             program's file system, every key and value walked with libcreg in a child process
//             with its limits
//   baseline: cregexport FILE, its output thrown away (/dev/null): libcreg's walk of the same
//             keys and values, plus the printing that the check does not do
// Files: SYSTEM.DAT trees grown with real keys to several sizes, and the generated drive's
// SYSTEM.DAT filled up to its size with free space. Rounds alternate after a warm-up of each.

#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"
#include "registry/registry_file_check.h"
#include "support/bench_support.h"

#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QFile>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace stowix;
using namespace stowix::bench;

namespace {

constexpr qsizetype MiB = 1024 * 1024;

// The work folder, when none is given: /tmp, and the files stay.
struct Options : RunOptions {
    Options() : RunOptions(3) {}
    std::vector<int> grownMegabytes{1, 4, 16};
    int paddedMegabytes = 64;
};

const char Usage[] =
    "Usage: stowix-bench-registry [--grown LIST] [--padded N] [--rounds N] [--work FOLDER]\n"
    "  --grown LIST  sizes in MiB of SYSTEM.DAT grown with keys, comma-separated\n"
    "                (default 1,4,16)\n"
    "  --padded N    size in MiB of the drive generator's SYSTEM.DAT, its rest free\n"
    "                space (default 64; 0 leaves it out)\n"
    "  --rounds N    timed rounds of each side, alternating (default 3)\n"
    "  --work FOLDER where the files are written (default: /tmp); they stay\n";

std::vector<Option> CommandLineOptions(Options& options) {
    // Its files stay in any case: no --keep.
    return JoinedOptions({RunOptionList(options, false),
                          {
                              {"--grown", true,
                               [&options](const std::string& list) {
                                   options.grownMegabytes.clear();
                                   for (const QByteArray& part :
                                        QByteArray::fromStdString(list).split(','))
                                       if (part.toInt() > 0)
                                           options.grownMegabytes.push_back(part.toInt());
                                   return true;
                               }},
                              CountOption("--padded", options.paddedMegabytes),
                          }});
}

bool WriteFile(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// One file, both sides; returns false when either side fails on it. The file lies in the work
// folder, which is drive C:.
bool Compare(FileSystem& files, const std::string& title, const std::string& work,
             const std::string& name, qint64 bytes, int rounds) {
    const std::string path = work + "/" + name;
    bool sound = true;
    const auto subject = [&] {
        const RegistryCheck check = CheckRegistryFile(files, "C:\\" + QString::fromStdString(name));
        sound = sound && check.verdict == RegistryVerdict::Sound;
    };
    int baselineStatus = 0;
    const auto baseline = [&] { baselineStatus |= RunChild({"cregexport", path}).exitStatus; };

    Comparison comparison;
    comparison.title = title;
    comparison.subjectName = "registry check";
    comparison.baselineName = "cregexport > /dev/null";
    comparison.aimRatio = 1.0;
    TimeAlternating(comparison, rounds, subject, baseline);
    PrintComparison(comparison);
    const double megabytes = double(bytes) / MiB;
    std::printf("  per MiB: %.1f ms against %.1f ms\n",
                Median(comparison.subjectSeconds) * 1000 / megabytes,
                Median(comparison.baselineSeconds) * 1000 / megabytes);
    if (!sound || baselineStatus != 0)
        std::printf("  FAILED: the check found damage or cregexport failed on a sound file\n");
    return sound && baselineStatus == 0;
}

// Writes bytes into the work folder as name and compares both sides on that file. Nothing
// (told on standard error) when the file cannot be written; else whether both sides took it.
std::optional<bool> WriteAndCompare(FileSystem& files, const std::string& title,
                                    const std::string& work, const std::string& name,
                                    const QByteArray& bytes, int rounds) {
    const std::string path = work + "/" + name;
    if (!WriteFile(path, bytes)) {
        std::fprintf(stderr, "stowix-bench-registry: cannot write %s\n", path.c_str());
        return std::nullopt;
    }
    return Compare(files, title, work, name, bytes.size(), rounds);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status =
            ParseCommandLine(argc, argv, CommandLineOptions(options), Usage))
        return *status;
    const std::string work = options.work.empty() ? std::string("/tmp") : options.work;
    PrintStart("stowix-bench-registry", "files in", work, argc, argv);

    const std::unique_ptr<FileSystem> files = MakePosixFileSystem(DriveMap({{QChar(u'C'), work}}));
    bool allSound = true;
    for (int megabytes : options.grownMegabytes) {
        const QByteArray bytes =
            tools::WriteRegistryFile(tools::Windows98SystemTree(megabytes * MiB)).bytes;
        const std::optional<bool> sound = WriteAndCompare(
            *files, "SYSTEM.DAT grown with keys to " + std::to_string(bytes.size() / 1024) + " KiB",
            work, "stowix-bench-grown-" + std::to_string(megabytes) + ".dat", bytes,
            options.rounds);
        if (!sound) return 1;
        allSound &= *sound;
    }
    if (options.paddedMegabytes > 0) {
        const QByteArray bytes =
            tools::WriteRegistryFile(tools::Windows98SystemTree(), options.paddedMegabytes * MiB)
                .bytes;
        const std::optional<bool> sound = WriteAndCompare(
            *files,
            "The generated drive's SYSTEM.DAT, " + std::to_string(options.paddedMegabytes) +
                " MiB, its rest free space",
            work, "stowix-bench-padded.dat", bytes, options.rounds);
        if (!sound) return 1;
        allSound &= *sound;
    }
    return allSound ? 0 : 1;
}
