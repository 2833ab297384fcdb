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
#include "platform/file_system.h"
#include "platform/windows_api.h"

#include <memory>

namespace stowix {

// files: the program's file system, through which the Windows folder of a drive C: that is a
// disk image is found (a folder drive is read on the host directly); non-owning, it must
// outlive the result.
std::unique_ptr<WindowsApi> MakePosixWindowsApi(DriveMap drives, FileSystem* files = nullptr);

}  // namespace stowix
