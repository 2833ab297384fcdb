#pragma once
// The two Windows calls on a Linux host.
//   GetWindowsDirectoryA: the Windows folder as FindWindowsFolder (fs/windows_folder.h)
//     finds it on the program's file system: STOWIX_WINDOWS_FOLDER (a DOS path) when it is set,
//     else the one folder named WINDOWS, in any case, in the root of drive C:, reported as stored
//     ("C:\WINDOWS", or "C:\windows" in a Wine prefix). A folder that is missing, a file,
//     ambiguous or given oddly counts as none: the call fails, and its reason says why.
//   ExitWindowsEx: starts the shell command in STOWIX_RESTART_COMMAND (a virtual machine's
//     restart, for instance) detached, as the system call returns at once: in a session of its
//     own, with no standard input, not waited for. The request is taken when the command could
//     be started; without that variable it is refused. It never restarts the Linux host.
// Both read the environment at each call.

#include "fs/file_system.h"
#include "services/windows_api.h"

#include <memory>

namespace stowix {

// files: non-owning, outlives the result.
std::unique_ptr<WindowsApi> MakePosixWindowsApi(FileSystem& files);

}  // namespace stowix
