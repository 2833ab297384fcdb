#pragma once
// A folder as Windows' file search shows it: the entries that match a wildcard pattern and an
// attribute mask, in the host's own order, and the deletion of every file that matches a
// pattern. Plain files are always taken; read-only, hidden and system files only when their bits
// are in the mask; folders, with "." and ".." (except in a drive's root), only with the folder
// bit. Links inside the drive count as what they point to; links out of it, or to nothing, and
// devices, pipes and sockets are not shown.
//
// A mask that takes every kind of file (read-only, hidden and system all set) reads no
// attributes: each entry then carries the folder bit alone, so that such a listing costs no more
// than the folder read itself. Otherwise each entry carries its full attribute value.

#include "fs/file_system.h"
#include "hostfs/path_resolver.h"

#include <functional>
#include <vector>

namespace stowix::posix {

// pattern: a DOS path whose last component is the wildcard ("C:\WINDOWS\*.Ini"). A folder that
// does not exist gives an empty list.
Result<std::vector<FolderEntry>> ListFolderEntries(PathResolver& resolver, const QString& pattern,
                                                   int mask);

// The files (no folders) that ListFolderEntries gives, each with its size from one look at it;
// each look at a plain file is kept in the resolver's SeenFiles for a copy that follows. A link,
// or a file that cannot be looked at in its folder, gets its size from readFacts (nothing when
// that fails: the file is left out).
Result<std::vector<FileSize>> ListFileSizesIn(
    PathResolver& resolver, const QString& pattern, int mask,
    const std::function<Result<FileFacts>(const QString&)>& readFacts);

// Deletes every file (never a folder) that matches; a read-only file is refused as on Windows.
// Fails when a matching file could not be deleted, after trying all the others.
Status DeleteMatchingFiles(PathResolver& resolver, const QString& pattern);

}  // namespace stowix::posix
