#pragma once
// The copies that keep DOS attributes, made with as few host calls as the usual case allows: a
// regular file copied under its stored name into a folder where the name is new or names a
// plain writable file. Each folder that several copies share is opened once for all of them,
// and a destination folder's names are looked at once for the copies made into it one after
// another (the folder is taken to change by those copies alone meanwhile, and is looked at again
// when they end); the source is opened once, and its attributes read, its contents copied, the
// copy's attributes and last-write time set on descriptors, before the copy is put in place in
// one step. A source that a listing with sizes looked at a moment before (SeenFiles) is not
// looked at again before it is read: the look after the copy proves it the same, unchanged.
// Anything less usual (a link, a name in another case, a folder or read-only file in the way, a
// kernel FAT mount, a path that does not resolve) goes the general way, `fallback`, which gives the
// same outcome through single calls. It does not list folders or report progress beyond calling
// beforeEach.

#include "fs/file_system.h"
#include "hostfs/path_resolver.h"

#include <sys/stat.h>

#include <functional>
#include <vector>

namespace stowix::posix {

// A file written to while it was copied may have given a copy that is no version of it: fails
// when the source's size or last-write time is not what it was when it was opened (before).
Status CheckUnchanged(int sourceFd, const struct stat& before, const QString& source);

std::vector<Result<bool>> CopyKeepingAttributes(
    PathResolver& resolver, const std::vector<FileCopy>& copies,
    const std::function<void(size_t)>& beforeEach,
    const std::function<Result<bool>(const FileCopy&)>& fallback);

}  // namespace stowix::posix
