#pragma once
// Thin wrappers over the host calls that the C library of Debian 12 does not wrap, or wraps in a
// way that follows links: opening beneath a folder (openat2), and the *at forms of the extended
// attribute calls. Each gives the host's convention back: -1 with errno set on failure.
// They do not know about drives or DOS paths.

#include "hostfs/unique_fd.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace stowix::posix {

// Opens path (relative to dirFd) without ever leaving dirFd: a component or link that would lead
// above it fails with EXDEV, as does an absolute link. With followLast false a final symbolic
// link is opened itself (flags should then hold O_PATH). With noLinks, a link anywhere in the
// path fails with ELOOP. Where the kernel has no openat2, the path is walked as
// OpenBeneathByWalk does.
UniqueFd OpenBeneath(int dirFd, const char* path, int flags, bool followLast = true,
                     bool noLinks = false);

// The same open for a kernel without openat2: one component at a time, each opened without
// following a link, so that nothing leads out of dirFd. The walk cannot tell where a link would
// lead without following it, so a link anywhere in the path (a final one too, unless followLast
// is false) fails with ELOOP, and ".." with EXDEV.
UniqueFd OpenBeneathByWalk(int dirFd, const char* path, int flags, bool followLast);

// One entry, named by a folder descriptor and a name in it. An empty name stands for the entry
// that dirFd itself refers to (which may be an O_PATH descriptor). A final link is never
// followed by these calls.
struct EntryRef {
    int dirFd;
    const char* name;
};

int StatEntry(EntryRef entry, struct stat* info);
ssize_t GetExtendedAttribute(EntryRef entry, const char* attribute, void* value, size_t size);
int SetExtendedAttribute(EntryRef entry, const char* attribute, const void* value, size_t size);
int RemoveExtendedAttribute(EntryRef entry, const char* attribute);
int ChangeMode(EntryRef entry, mode_t mode);
// Opens the entry for an ioctl (read-only, never blocking on a pipe, never a controlling tty).
UniqueFd OpenForControl(EntryRef entry);

// "/proc/self/fd/N" or "/proc/self/fd/N/name": the path by which calls that have no *at form
// reach an entry.
std::string DescriptorPath(EntryRef entry);

}  // namespace stowix::posix
