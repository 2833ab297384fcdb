#pragma once
// The exit statuses of every command. A tool whose natural convention differs (stowix-diff as
// diff, stowix-check as a checking tool) follows that convention and says so in its man page.

namespace stowix::ExitStatus {

constexpr int Done = 0;             // done, complete
constexpr int CannotRun = 1;        // no display for the window, or a wrong command line
constexpr int NothingDone = 2;      // no drive C:, no Windows folder, no such set
constexpr int Incomplete = 3;       // a file was not copied, or the run was not recorded
constexpr int RegistryDamaged = 4;  // the set is complete but a registry file in it is damaged
constexpr int AnotherCopy = 5;      // another copy of the program works on the drive

}  // namespace stowix::ExitStatus
