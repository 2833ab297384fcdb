#pragma once
// The two Windows calls on a Linux host.
//   GetWindowsDirectoryA: STOWIX_WINDOWS_FOLDER (a DOS path, given without a trailing
//     backslash) when it is set; else the first folder named WINDOWS, in any case, in the root
//     of drive C:, reported as stored ("C:\WINDOWS", or "C:\windows" in a Wine prefix).
//   ExitWindowsEx: runs the shell command in STOWIX_RESTART_COMMAND (a virtual machine's
//     restart, for instance) and takes the request when it exits with status 0; without that
//     variable it refuses. It never restarts the Linux host.
// Both read the environment at each call.

#include "platform/drive_map.h"
#include "platform/windows_api.h"

#include <memory>

namespace stowix {

std::unique_ptr<WindowsApi> MakePosixWindowsApi(DriveMap drives);

}  // namespace stowix
