#include "standard_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace stowix {
namespace {

void PrintUsage(const CommandUsage& command, std::FILE* to) {
    std::fprintf(to,
                 "%s\n"
                 "%s"
                 "  --help     show this text and end\n"
                 "  --version  show the version and end\n"
                 "\n"
                 "%s%s"
                 "The manual page tells more: man %s\n",
                 command.synopsis, command.options, command.notes, *command.notes ? "\n" : "",
                 command.name);
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

}  // namespace

std::optional<int> HandleStandardOptions(int argc, char** argv, const CommandUsage& command) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) break;
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
