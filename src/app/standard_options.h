#pragma once
// The options that every Stowix command takes, handled in this one place before the command does
// anything else (no display, drive or settings are needed for them):
//   --help     the command's usage on standard output; ends the command with status 0;
//   --version  the command's name and the program's version on standard output; status 0;
//   --drive PATH, --drive=PATH, -C PATH
//              names drive C: (a folder, a Wine prefix or its drive_c, a disk image, a block
//              device) for this run, over STOWIX_DRIVE_C and the rest of the environment; the
//              option is taken out of argv, so the command never sees it, and the drive is
//              handed on as STOWIX_DRIVE_C, which the drive map reads and child programs inherit;
//   --other    any other argument that starts with "--" is an unknown option (unless the command
//              takes it: CommandUsage::ownOptions): the usage on standard error and the
//              command's usage status.
// A bare "--" ends the options: the arguments after it are the command's own whatever they look
// like. Every other argument is left to the command, so stowix's own switches ("/U", "/I") keep
// their meaning. It does not deal with a command's own arguments beyond telling the user, in the
// same form, that the command cannot take them (RejectCommandLine).

#include <optional>
#include <span>

namespace stowix {

struct CommandUsage {
    // The parts of the usage text, each line ended by '\n'; the shared options are listed after
    // the command's own.
    const char* name;      // as the user types it: "stowix-dir"
    const char* synopsis;  // "Usage: ..." and what the command does
    const char* options;   // the command's own options, "  /U  ..." lines; may be empty
    const char* notes;     // the Windows folder, exit statuses and the like; may be empty
    int usageStatus = 1;   // the status for a command line the command cannot take
    // Every command finds drive C: the same way, and its usage says so in one shared line,
    // unless its notes tell it in words of their own (stowix, whose argument is the drive).
    bool notesNameDrive = false;
    // The options starting with "--" that the command handles itself, such as "--json"; given
    // as "--name" they also stand for "--name=VALUE".
    std::span<const char* const> ownOptions = {};
};

// The status to end the command with at once, or nothing when the command goes on with its own
// arguments.
// argc and argv lose the drive option (argv stays ended by a null pointer).
std::optional<int> HandleStandardOptions(int& argc, char** argv, const CommandUsage& command);

// Names drive C: for the rest of this run and the programs it starts, over the environment: a
// partition chosen by the environment belonged to the drive it named, and is dropped.
void NameDriveC(const char* hostPath);

// "<name>: <problem>" and the usage on standard error; gives the command's usage status.
int RejectCommandLine(const CommandUsage& command, const char* problem);

}  // namespace stowix
