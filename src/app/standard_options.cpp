#include "standard_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace stowix {
namespace {

// Where every command but stowix finds drive C:, first to last.
constexpr const char* DriveSources =
    "Drive C: is --drive, else STOWIX_DRIVE_C, else $WINEPREFIX/drive_c, else the\n"
    "drive last chosen in the window, else ~/.wine/drive_c.\n";

void PrintUsage(const CommandUsage& command, std::FILE* to) {
    std::fprintf(to,
                 "%s\n"
                 "%s"
                 "  --drive PATH, -C PATH\n"
                 "             the Windows drive C: (a folder, Wine prefix or disk image)\n"
                 "  --help     show this text and end\n"
                 "  --version  show the version and end\n"
                 "\n"
                 "%s%s\n"
                 "The manual page tells more: man %s\n",
                 command.synopsis, command.options, command.notesNameDrive ? "" : DriveSources,
                 command.notes, command.name);
}

bool IsOwnOption(const CommandUsage& command, const char* argument) {
    for (const char* option : command.ownOptions) {
        const std::size_t length = std::strlen(option);
        if (std::strncmp(argument, option, length) == 0 &&
            (argument[length] == '\0' || argument[length] == '='))
            return true;
    }
    return false;
}

// What was printed on standard output reached it: a full disk or a closed pipe is told, not
// taken for success.
int FinishOutput(const CommandUsage& command) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", command.name,
                 std::strerror(errno));
    return command.usageStatus;
}

// The value of a drive option at argv[i], or nothing when argv[i] is none; taken says how many
// arguments it spans.
std::optional<const char*> DriveOptionAt(int argc, char** argv, int i, int& taken) {
    const char* argument = argv[i];
    if (std::strncmp(argument, "--drive=", 8) == 0) {
        taken = 1;
        return argument + 8;
    }
    if (std::strcmp(argument, "--drive") != 0 && std::strcmp(argument, "-C") != 0)
        return std::nullopt;
    taken = 2;
    if (i + 1 >= argc) return nullptr;
    return argv[i + 1];
}

void RemoveArguments(int& argc, char** argv, int at, int count) {
    for (int j = at; j + count <= argc; ++j) argv[j] = argv[j + count];
    argc -= count;
}

}  // namespace

void NameDriveC(const char* hostPath) {
    // A path typed relative to the shell's folder names the same drive for every program the
    // run starts, wherever that works.
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(hostPath, failed);
    ::setenv("STOWIX_DRIVE_C", failed ? hostPath : absolute.c_str(), 1);
    ::unsetenv("STOWIX_DRIVE_C_PARTITION");
}

std::optional<int> HandleStandardOptions(int& argc, char** argv, const CommandUsage& command) {
    for (int i = 1; i < argc;) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) break;
        int taken = 0;
        if (const std::optional<const char*> drive = DriveOptionAt(argc, argv, i, taken)) {
            if (*drive == nullptr || **drive == '\0') {
                const std::string problem = std::string(argument) + " needs the drive's path";
                return RejectCommandLine(command, problem.c_str());
            }
            NameDriveC(*drive);
            RemoveArguments(argc, argv, i, taken);
            continue;
        }
        ++i;
        if (std::strncmp(argument, "--", 2) != 0) continue;
        if (std::strcmp(argument, "--help") == 0) {
            PrintUsage(command, stdout);
            return FinishOutput(command);
        }
        if (std::strcmp(argument, "--version") == 0) {
            std::printf("%s %s\n", command.name, STOWIX_VERSION);
            return FinishOutput(command);
        }
        if (IsOwnOption(command, argument)) continue;
        const std::string problem = std::string("unknown option ") + argument;
        return RejectCommandLine(command, problem.c_str());
    }
    return std::nullopt;
}

int RejectCommandLine(const CommandUsage& command, const char* problem) {
    std::fprintf(stderr, "%s: %s\n", command.name, problem);
    PrintUsage(command, stderr);
    return command.usageStatus;
}

}  // namespace stowix
