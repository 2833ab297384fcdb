#include "hostfs/host_calls.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>
#include <vector>

// The *at forms of the extended attribute calls (Linux 6.13); the numbers are the same on every
// architecture that uses the common system call table.
#ifndef SYS_setxattrat
#define SYS_setxattrat 463
#endif
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
#ifndef SYS_removexattrat
#define SYS_removexattrat 466
#endif

namespace stowix::posix {

namespace {

struct XattrArgs {
    __u64 value;
    __u32 size;
    __u32 flags;
};

// Cleared once the kernel answers ENOSYS; then the /proc paths serve instead.
std::atomic<bool> g_xattrAtAvailable{true};
// Cleared once the kernel answers ENOSYS to openat2; then paths are walked.
std::atomic<bool> g_openat2Available{true};

bool NamesEntryInFolder(EntryRef entry) { return entry.name != nullptr && entry.name[0] != '\0'; }

// One component opened without following it. O_NOFOLLOW fails with ELOOP on a link, except with
// O_PATH, which opens the link itself: the callers check for that.
UniqueFd OpenUnfollowed(int folderFd, const std::string& name, int flags) {
    return UniqueFd(::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
}

// True, with errno ELOOP, when fd is a link itself (opened O_PATH | O_NOFOLLOW).
bool IsLinkItself(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISLNK(info.st_mode)) return false;
    errno = ELOOP;
    return true;
}

// True for a folder; otherwise false, with errno as a lookup through the entry would fail:
// ELOOP for a link, ENOTDIR for anything else.
bool IsFolder(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return true;
    errno = S_ISLNK(info.st_mode) ? ELOOP : ENOTDIR;
    return false;
}

}  // namespace

UniqueFd OpenBeneath(int dirFd, const char* path, int flags, bool followLast, bool noLinks) {
    if (!g_openat2Available.load(std::memory_order_relaxed))
        return OpenBeneathByWalk(dirFd, path, flags, followLast);
    open_how how{};
    how.flags = __u64(flags | O_CLOEXEC | (followLast ? 0 : O_NOFOLLOW));
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | (noLinks ? RESOLVE_NO_SYMLINKS : 0);
    // EAGAIN means a rename elsewhere raced with the lookup; the kernel asks for a retry.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const long fd = ::syscall(SYS_openat2, dirFd, path[0] ? path : ".", &how, sizeof how);
        if (fd >= 0) return UniqueFd(int(fd));
        if (errno == ENOSYS) {
            g_openat2Available.store(false, std::memory_order_relaxed);
            return OpenBeneathByWalk(dirFd, path, flags, followLast);
        }
        if (errno != EAGAIN && errno != EINTR) break;
    }
    return UniqueFd();
}

UniqueFd OpenBeneathByWalk(int dirFd, const char* path, int flags, bool followLast) {
    std::vector<std::string> components;
    for (std::string_view rest(path); !rest.empty();) {
        const size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            errno = EXDEV;
            return UniqueFd();
        }
        components.emplace_back(component);
    }
    if (components.empty()) return UniqueFd(::openat(dirFd, ".", flags | O_CLOEXEC));

    UniqueFd folder;
    int at = dirFd;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        folder = OpenUnfollowed(at, components[i], O_PATH);
        if (!folder.Valid() || !IsFolder(folder.Get())) return UniqueFd();
        at = folder.Get();
    }
    UniqueFd last = OpenUnfollowed(at, components.back(), flags);
    if (!last.Valid() && errno == ENOTDIR) {
        // O_PATH | O_DIRECTORY on a link says ENOTDIR; the link is named as such.
        struct stat info {};
        const bool link =
            ::fstatat(at, components.back().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode);
        errno = link ? ELOOP : ENOTDIR;
    }
    // A final link that the caller would have followed is refused, as one on the way is.
    if (last.Valid() && followLast && (flags & O_PATH) && IsLinkItself(last.Get()))
        return UniqueFd();
    return last;
}

std::string DescriptorPath(EntryRef entry) {
    std::string path = "/proc/self/fd/" + std::to_string(entry.dirFd);
    if (NamesEntryInFolder(entry)) {
        path += '/';
        path += entry.name;
    }
    return path;
}

int StatEntry(EntryRef entry, struct stat* info) {
    if (!NamesEntryInFolder(entry)) return ::fstat(entry.dirFd, info);
    return ::fstatat(entry.dirFd, entry.name, info, AT_SYMLINK_NOFOLLOW);
}

ssize_t GetExtendedAttribute(EntryRef entry, const char* attribute, void* value, size_t size) {
    if (!NamesEntryInFolder(entry)) {
        const ssize_t length = ::fgetxattr(entry.dirFd, attribute, value, size);
        if (length >= 0 || errno != EBADF) return length;
        // An O_PATH descriptor: reach the entry through /proc instead.
        return ::getxattr(DescriptorPath(entry).c_str(), attribute, value, size);
    }
    if (g_xattrAtAvailable.load(std::memory_order_relaxed)) {
        XattrArgs args{__u64(reinterpret_cast<uintptr_t>(value)), __u32(size), 0};
        const long length = ::syscall(SYS_getxattrat, entry.dirFd, entry.name, AT_SYMLINK_NOFOLLOW,
                                      attribute, &args, sizeof args);
        if (length >= 0 || errno != ENOSYS) return length;
        g_xattrAtAvailable.store(false, std::memory_order_relaxed);
    }
    return ::lgetxattr(DescriptorPath(entry).c_str(), attribute, value, size);
}

int SetExtendedAttribute(EntryRef entry, const char* attribute, const void* value, size_t size) {
    if (!NamesEntryInFolder(entry)) {
        const int result = ::fsetxattr(entry.dirFd, attribute, value, size, 0);
        if (result == 0 || errno != EBADF) return result;
        return ::setxattr(DescriptorPath(entry).c_str(), attribute, value, size, 0);
    }
    if (g_xattrAtAvailable.load(std::memory_order_relaxed)) {
        XattrArgs args{__u64(reinterpret_cast<uintptr_t>(value)), __u32(size), 0};
        const long result = ::syscall(SYS_setxattrat, entry.dirFd, entry.name, AT_SYMLINK_NOFOLLOW,
                                      attribute, &args, sizeof args);
        if (result == 0 || errno != ENOSYS) return int(result);
        g_xattrAtAvailable.store(false, std::memory_order_relaxed);
    }
    return ::lsetxattr(DescriptorPath(entry).c_str(), attribute, value, size, 0);
}

int RemoveExtendedAttribute(EntryRef entry, const char* attribute) {
    if (!NamesEntryInFolder(entry)) {
        const int result = ::fremovexattr(entry.dirFd, attribute);
        if (result == 0 || errno != EBADF) return result;
        return ::removexattr(DescriptorPath(entry).c_str(), attribute);
    }
    if (g_xattrAtAvailable.load(std::memory_order_relaxed)) {
        const long result =
            ::syscall(SYS_removexattrat, entry.dirFd, entry.name, AT_SYMLINK_NOFOLLOW, attribute);
        if (result == 0 || errno != ENOSYS) return int(result);
        g_xattrAtAvailable.store(false, std::memory_order_relaxed);
    }
    return ::lremovexattr(DescriptorPath(entry).c_str(), attribute);
}

int ChangeMode(EntryRef entry, mode_t mode) {
    if (NamesEntryInFolder(entry)) {
        // The entry is opened first, never through a final link, and its mode changed through
        // that descriptor: a link swapped in under the name after it was found cannot redirect
        // the change. A link itself has no mode to change.
        UniqueFd opened(::openat(entry.dirFd, entry.name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!opened.Valid()) return -1;
        struct stat info {};
        if (::fstat(opened.Get(), &info) != 0) return -1;
        if (S_ISLNK(info.st_mode)) {
            errno = ELOOP;
            return -1;
        }
        return ::chmod(DescriptorPath({opened.Get(), ""}).c_str(), mode);
    }
    const int result = ::fchmod(entry.dirFd, mode);
    if (result == 0 || errno != EBADF) return result;
    return ::chmod(DescriptorPath(entry).c_str(), mode);
}

UniqueFd OpenForControl(EntryRef entry) {
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (NamesEntryInFolder(entry))
        return UniqueFd(::openat(entry.dirFd, entry.name, flags | O_NOFOLLOW));
    return UniqueFd(::open(DescriptorPath(entry).c_str(), flags));
}

}  // namespace stowix::posix
