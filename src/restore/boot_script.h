#pragma once
// The boot script WinStart.Bat in the Windows folder, which Windows 95 and 98 run at start before
// the graphical system comes up. It moves the registry files that a restore staged in the backup
// root into the Windows folder, gives them their usual attributes and deletes them from the root;
// once nothing is staged it does nothing. It does not deal with staging the files (restore_run.h).

#include "fs/file_system.h"

#include <QString>

#include <vector>

namespace stowix {

// windowsFolder + "\WinStart.Bat".
QString BootScriptPath(const QString& windowsFolder);

// The ten lines of the script, without line ends. windowsFolder is written as given: no quotes
// are added and no separator is added or removed.
std::vector<QString> BootScriptLines(const QString& windowsFolder);

// Replaces any file of the script's name, whatever its attributes and content, with the ten
// lines in the ANSI code page, each ended by CR LF. The old script gives way in one step: a
// program stopped meanwhile leaves the old script or the new one, never neither. A Windows folder
// whose name that code page cannot hold is refused, with the old script left as it was. A failure
// is handed back with the host's reason: without the script the staged registry files are never
// put in place, so the restore command must tell the user instead of offering a restart.
Status WriteBootScript(FileSystem& files, const QString& windowsFolder);

}  // namespace stowix
