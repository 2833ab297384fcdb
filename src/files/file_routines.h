#pragma once
// The routines that act on a single file or folder. Each is a thin rule over one or two file
// system calls; what matters is exactly which failures each absorbs: FileExists turns every
// failure into false, MakeFolder ignores every failure, and the copy and delete routines do
// nothing for a missing file. Every other failure reaches the caller with the host's reason.

#include "fs/file_system.h"

namespace stowix {

// True when path is not empty and its attributes can be read; true for folders as well.
bool FileExists(FileSystem& files, const QString& path);

// Writes attributes to an existing file or folder. attributes is a decimal number ("39") or any
// text holding the letters R, H, S, A; it comes back upper-cased in the caller's variable. With
// relative, the given bits are added to (or, with remove, cleared from) the current value.
// With onlyIfPresent, a missing path is left alone; without it, the failed read is reported.
Status ApplyAttributes(FileSystem& files, const QString& path, QString& attributes, bool relative,
                       bool remove, bool onlyIfPresent);

// Clears every attribute of an existing file and deletes it; a missing file is no failure. A
// link is deleted as a link, and what it leads to is left as it was.
Status DeleteFileForced(FileSystem& files, const QString& path);

// Replaces destination with a copy of source carrying the source's exact attribute value.
// A missing source leaves everything as it was and is no failure.
Status CopyKeepingAttributes(FileSystem& files, const QString& source, const QString& destination);

// Creates one folder; every failure (exists already, missing parent, invalid name) is ignored.
void MakeFolder(FileSystem& files, const QString& path);

}  // namespace stowix
