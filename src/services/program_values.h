#pragma once

#include <QString>

namespace stowix {

// How the program was started (shell/run_mode.h reads it from the command line).
enum class RunMode {
    Window,      // the window shows at start-up and waits for the user
    Hidden,      // "/I": start-up finishes with the window hidden, then shows it and waits
    Unattended,  // "/U": one backup with the window hidden, then the program ends
};

// Values that start-up fills once and everyone else only reads.
struct ProgramValues {
    QString WindowsFolder;  // as the system reports it, e.g. "C:\WINDOWS"; no trailing backslash
    QString WindowsFolderTail;  // WindowsFolder without its drive letter and colon, e.g. "\WINDOWS"
    // The free space that a backup or a restore never uses up on drive C:, so that Windows keeps
    // room for its swap file (STOWIX_MIN_FREE_MB; 64 MiB unless set).
    qint64 MinimumFreeBytes = qint64(64) << 20;
    RunMode Mode = RunMode::Window;
    // The host folder of the Wine prefix whose drive_c drive C: is; empty for any other drive.
    // Its registry files (system.reg, user.reg, userdef.reg) are the registry of a set.
    QString WinePrefix = {};
    // The host path that names drive C: (a folder, a Wine prefix, a disk file), for the user;
    // empty when unknown.
    QString DrivePath = {};
    QString DriveName = {};  // its last part, for the window's title: "win98.qcow2"
};

// The program's version is 1.00.0103; its third part is the revision shown to the user.
constexpr int ProgramRevision = 103;

}  // namespace stowix
