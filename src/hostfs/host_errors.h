#pragma once
// Every failure that the posix file system reports is built here: host errors are translated in
// exactly one function, and the refusals that are the platform's own (Windows rules that the host
// would not enforce) have their fixed sentences beside it. Each reason names the DOS path.

#include "services/result.h"

#include <QString>

namespace stowix::posix {

// The host's reason for errno value hostError, after the DOS path: "C:\X\Y: No such file or
// directory". ENOENT gives a NotFound failure.
Status HostFailure(const QString& dosPath, int hostError);

enum class Refusal {
    ReadOnly,             // a read-only file cannot be deleted or replaced
    LeavesDrive,          // a symbolic link leads out of the drive
    LinkInPath,           // a change met a symbolic link in its path, which it never follows
    LinkToNothing,        // a symbolic link whose target does not exist
    NoDrive,              // the path's drive is not configured
    IsFolder,             // a file operation met a folder
    NotAFile,             // a device, pipe or socket where a file was wanted
    Exists,               // the name exists already, in some case
    DriveRoot,            // the operation cannot apply to a drive's root
    BadPath,              // the text is no path this platform understands (empty, network path)
    AttributesNotStored,  // the file system can keep neither form of the DOS attributes
    UnknownAttributes,    // bits that are no DOS attribute
};

Status RefusalFailure(const QString& dosPath, Refusal refusal);

// Windows' own refusal of a name, with the sentence from name_rules.
Status NameFailure(const QString& dosPath, const QString& sentence);

}  // namespace stowix::posix
