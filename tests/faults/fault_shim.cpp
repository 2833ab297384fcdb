// A fault injector preloaded (LD_PRELOAD) into stowix or stowix-boot. It stands between the
// program and the C library's file calls and, as its environment asks, makes the host behave as
// a failing one would. It needs no privilege and no special file system, so the fault suite runs
// the same everywhere. Paths are the host paths that the descriptors lead to (/proc/self/fd).
//
//   STOWIX_FAULT_FULL_PREFIX, STOWIX_FAULT_FULL_BYTES
//       A disk that fills up: writes into files under the prefix succeed for this many bytes in
//       all, then fail with ENOSPC (a write that crosses the limit is cut short first, as the
//       kernel does). Covers write, pwrite, writev, copy_file_range, sendfile and fallocate.
//       Room reserved by fallocate counts against the limit once; writes inside it (at a known
//       offset: pwrite, copy_file_range) then succeed and count no more, as on a real disk.
//   STOWIX_FAULT_EIO_SUFFIX
//       A medium error: reads from a file whose path ends with this text fail with EIO (read,
//       pread, readv, and copy_file_range and sendfile from it).
//   STOWIX_FAULT_KILL_PREFIX, STOWIX_FAULT_KILL_AT
//       A kill: the program's changes under the prefix are counted (each write of at most 64 KiB,
//       so that a large copy is many steps; each rename, link, unlink, folder creation, mode,
//       time or extended-attribute change and each flush), and before the change with this
//       number (from 1) the process sends itself SIGKILL.
//   STOWIX_FAULT_COUNT_FILE
//       Where the number of such changes is written when the program ends normally, so that a
//       test can choose kill points inside a whole run.
//   STOWIX_FAULT_BYTES_FILE
//       Where the number of bytes written under the full prefix is written at the end, so that
//       a test can choose where the disk fills.
//   STOWIX_FAULT_GROW_SUFFIX
//       A file written to while it is copied: the first read from a file whose path ends with
//       this text (read, pread, copy_file_range or sendfile from it) first appends a line to it.
//   STOWIX_FAULT_SWAP_SUFFIX, STOWIX_FAULT_SWAP_TARGET
//       A link swapped in by another user: right before the first mode change (fchmodat, chmod)
//       of an entry whose path ends with the suffix, the entry is renamed aside (to its name and
//       ".swapped") and a symbolic link to the target takes its name.
//   STOWIX_FAULT_SWAP_ON_UNLINK
//       With the two above, the swap comes instead right after the first removal (unlink,
//       unlinkat) of an entry inside the swapped one: a folder is swapped for a link while the
//       program empties it.
//   STOWIX_FAULT_SYNC_LOG
//       Each syncfs, fsync and fdatasync appends the path of its descriptor, one a line, to this
//       file, so that a test sees which file systems were flushed.
//
// It does not deal with system calls made without the C library (openat2, getdents64): those
// only find and open files, which the faults above do not concern.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t StepBytes = 64 * 1024;  // the most one counted write moves in kill mode

struct Config {
    const char* fullPrefix = nullptr;
    long long fullBytes = -1;  // < 0: no disk-full fault
    const char* eioSuffix = nullptr;
    const char* killPrefix = nullptr;
    long long killAt = -1;  // < 1: count only
    const char* countFile = nullptr;
    const char* bytesFile = nullptr;
    const char* growSuffix = nullptr;
    const char* swapSuffix = nullptr;
    const char* swapTarget = nullptr;
    bool swapOnUnlink = false;
    const char* syncLog = nullptr;
};

Config g_config;
std::atomic<long long> g_written{0};
std::atomic<long long> g_changes{0};

// The byte ranges that fallocate reserved in files under the full prefix (the program writes
// one image file there), from one thread.
struct Reservation {
    long long start = 0;
    long long end = 0;
};
Reservation g_reserved[4096];
int g_reservedCount = 0;

bool InsideReserved(long long offset, size_t size) {
    if (offset < 0) return false;
    for (int i = 0; i < g_reservedCount; ++i) {
        if (g_reserved[i].start <= offset && offset + (long long)size <= g_reserved[i].end)
            return true;
    }
    return false;
}

void NoteReserved(long long offset, long long length) {
    if (g_reservedCount < int(sizeof g_reserved / sizeof g_reserved[0]))
        g_reserved[g_reservedCount++] = {offset, offset + length};
}

template <typename F>
F Real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

using WriteFn = ssize_t (*)(int, const void*, size_t);
using PwriteFn = ssize_t (*)(int, const void*, size_t, off_t);
using WritevFn = ssize_t (*)(int, const struct iovec*, int);
using ReadFn = ssize_t (*)(int, void*, size_t);
using PreadFn = ssize_t (*)(int, void*, size_t, off_t);
using ReadvFn = ssize_t (*)(int, const struct iovec*, int);
using CopyRangeFn = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned);
using SendfileFn = ssize_t (*)(int, int, off_t*, size_t);
using FallocateFn = int (*)(int, int, off_t, off_t);
using RenameatFn = int (*)(int, const char*, int, const char*);
using Renameat2Fn = int (*)(int, const char*, int, const char*, unsigned);
using RenameFn = int (*)(const char*, const char*);
using LinkatFn = int (*)(int, const char*, int, const char*, int);
using UnlinkatFn = int (*)(int, const char*, int);
using PathFn = int (*)(const char*);
using MkdiratFn = int (*)(int, const char*, mode_t);
using MkdirFn = int (*)(const char*, mode_t);
using FchmodatFn = int (*)(int, const char*, mode_t, int);
using FchmodFn = int (*)(int, mode_t);
using ChmodFn = int (*)(const char*, mode_t);
using UtimensatFn = int (*)(int, const char*, const struct timespec*, int);
using FutimensFn = int (*)(int, const struct timespec*);
using FdFn = int (*)(int);
using FsetxattrFn = int (*)(int, const char*, const void*, size_t, int);
using SetxattrFn = int (*)(const char*, const char*, const void*, size_t, int);
using ExitFn = void (*)(int);

struct RealCalls {
    WriteFn write;
    PwriteFn pwrite, pwrite64;
    WritevFn writev;
    ReadFn read;
    PreadFn pread, pread64;
    ReadvFn readv;
    CopyRangeFn copyFileRange;
    SendfileFn sendfile, sendfile64;
    FallocateFn fallocate, fallocate64;
    RenameatFn renameat;
    Renameat2Fn renameat2;
    RenameFn rename;
    LinkatFn linkat;
    UnlinkatFn unlinkat;
    PathFn unlink, rmdir;
    MkdiratFn mkdirat;
    MkdirFn mkdir;
    FchmodatFn fchmodat;
    FchmodFn fchmod;
    ChmodFn chmod;
    UtimensatFn utimensat;
    FutimensFn futimens;
    FdFn fsync, fdatasync, syncfs;
    FsetxattrFn fsetxattr;
    SetxattrFn setxattr, lsetxattr;
    ExitFn exitUnderscore;
};

RealCalls g_real;

long long NumberFrom(const char* name) {
    const char* text = std::getenv(name);
    if (!text || !*text) return -1;
    return std::strtoll(text, nullptr, 10);
}

const char* TextFrom(const char* name) {
    const char* text = std::getenv(name);
    return text && *text ? text : nullptr;
}

__attribute__((constructor)) void Load() {
    g_real.write = Real<WriteFn>("write");
    g_real.pwrite = Real<PwriteFn>("pwrite");
    g_real.pwrite64 = Real<PwriteFn>("pwrite64");
    g_real.writev = Real<WritevFn>("writev");
    g_real.read = Real<ReadFn>("read");
    g_real.pread = Real<PreadFn>("pread");
    g_real.pread64 = Real<PreadFn>("pread64");
    g_real.readv = Real<ReadvFn>("readv");
    g_real.copyFileRange = Real<CopyRangeFn>("copy_file_range");
    g_real.sendfile = Real<SendfileFn>("sendfile");
    g_real.sendfile64 = Real<SendfileFn>("sendfile64");
    g_real.fallocate = Real<FallocateFn>("fallocate");
    g_real.fallocate64 = Real<FallocateFn>("fallocate64");
    g_real.renameat = Real<RenameatFn>("renameat");
    g_real.renameat2 = Real<Renameat2Fn>("renameat2");
    g_real.rename = Real<RenameFn>("rename");
    g_real.linkat = Real<LinkatFn>("linkat");
    g_real.unlinkat = Real<UnlinkatFn>("unlinkat");
    g_real.unlink = Real<PathFn>("unlink");
    g_real.rmdir = Real<PathFn>("rmdir");
    g_real.mkdirat = Real<MkdiratFn>("mkdirat");
    g_real.mkdir = Real<MkdirFn>("mkdir");
    g_real.fchmodat = Real<FchmodatFn>("fchmodat");
    g_real.fchmod = Real<FchmodFn>("fchmod");
    g_real.chmod = Real<ChmodFn>("chmod");
    g_real.utimensat = Real<UtimensatFn>("utimensat");
    g_real.futimens = Real<FutimensFn>("futimens");
    g_real.fsync = Real<FdFn>("fsync");
    g_real.fdatasync = Real<FdFn>("fdatasync");
    g_real.syncfs = Real<FdFn>("syncfs");
    g_real.fsetxattr = Real<FsetxattrFn>("fsetxattr");
    g_real.setxattr = Real<SetxattrFn>("setxattr");
    g_real.lsetxattr = Real<SetxattrFn>("lsetxattr");
    g_real.exitUnderscore = Real<ExitFn>("_exit");

    g_config.fullPrefix = TextFrom("STOWIX_FAULT_FULL_PREFIX");
    g_config.fullBytes = NumberFrom("STOWIX_FAULT_FULL_BYTES");
    g_config.eioSuffix = TextFrom("STOWIX_FAULT_EIO_SUFFIX");
    g_config.killPrefix = TextFrom("STOWIX_FAULT_KILL_PREFIX");
    g_config.killAt = NumberFrom("STOWIX_FAULT_KILL_AT");
    g_config.countFile = TextFrom("STOWIX_FAULT_COUNT_FILE");
    g_config.bytesFile = TextFrom("STOWIX_FAULT_BYTES_FILE");
    g_config.growSuffix = TextFrom("STOWIX_FAULT_GROW_SUFFIX");
    g_config.swapSuffix = TextFrom("STOWIX_FAULT_SWAP_SUFFIX");
    g_config.swapTarget = TextFrom("STOWIX_FAULT_SWAP_TARGET");
    g_config.swapOnUnlink = TextFrom("STOWIX_FAULT_SWAP_ON_UNLINK") != nullptr;
    g_config.syncLog = TextFrom("STOWIX_FAULT_SYNC_LOG");
}

// The host path behind a descriptor, or behind a name relative to one; empty when unknown.
struct HostPath {
    char text[4096];
};

HostPath PathOfFd(int fd) {
    HostPath path{};
    char link[64];
    if (fd == AT_FDCWD) {
        if (!::getcwd(path.text, sizeof path.text)) path.text[0] = '\0';
        return path;
    }
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path.text, sizeof path.text - 1);
    path.text[length > 0 ? length : 0] = '\0';
    return path;
}

HostPath PathAt(int dirFd, const char* name) {
    // The program reaches some entries through its descriptors as /proc/self/fd/N/name.
    constexpr char ProcFds[] = "/proc/self/fd/";
    if (name && std::strncmp(name, ProcFds, sizeof ProcFds - 1) == 0) {
        char* rest = nullptr;
        const long fd = std::strtol(name + sizeof ProcFds - 1, &rest, 10);
        return PathAt(int(fd), *rest == '/' ? rest + 1 : rest);
    }
    if (name && name[0] == '/') {
        HostPath path{};
        std::snprintf(path.text, sizeof path.text, "%s", name);
        return path;
    }
    HostPath path = PathOfFd(dirFd);
    if (name && *name) {
        const size_t used = std::strlen(path.text);
        std::snprintf(path.text + used, sizeof path.text - used, "/%s", name);
    }
    return path;
}

// The folder prefix itself or anything inside it: "/w/c" holds "/w/c/X" but not "/w/config".
bool Under(const HostPath& path, const char* prefix) {
    if (!prefix) return false;
    const size_t length = std::strlen(prefix);
    return std::strncmp(path.text, prefix, length) == 0 &&
           (path.text[length] == '\0' || path.text[length] == '/');
}

bool EndsWith(const HostPath& path, const char* suffix) {
    if (!suffix) return false;
    const size_t length = std::strlen(path.text);
    const size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::strcmp(path.text + length - suffixLength, suffix) == 0;
}

bool KillMode() { return g_config.killPrefix != nullptr; }

// Counts one change under the kill prefix, and dies before the chosen one is made.
void Change(const HostPath& path) {
    if (!Under(path, g_config.killPrefix)) return;
    const long long number = ++g_changes;
    if (g_config.killAt > 0 && number == g_config.killAt) ::kill(::getpid(), SIGKILL);
}

// Before a write of size bytes to fd (at offset, when known): counts the change, and trims the
// size to what the filling disk still takes. Returns the size to write, or -1 with errno ENOSPC.
ssize_t BeforeWrite(int fd, size_t size, long long offset = -1) {
    const bool full = g_config.fullPrefix && g_config.fullBytes >= 0;
    if (!full && !KillMode()) return ssize_t(size);
    const HostPath path = PathOfFd(fd);
    if (KillMode() && Under(path, g_config.killPrefix)) {
        Change(path);
        if (size > StepBytes) size = StepBytes;
    }
    if (full && Under(path, g_config.fullPrefix) && size > 0 && !InsideReserved(offset, size)) {
        const long long left = g_config.fullBytes - g_written.load();
        if (left <= 0) {
            errno = ENOSPC;
            return -1;
        }
        if (size_t(left) < size) size = size_t(left);
    }
    return ssize_t(size);
}

void AfterWrite(int fd, ssize_t written, long long offset = -1) {
    if (written <= 0 || !g_config.fullPrefix || g_config.fullBytes < 0) return;
    if (InsideReserved(offset, size_t(written))) return;
    if (Under(PathOfFd(fd), g_config.fullPrefix)) g_written += written;
}

std::atomic<bool> g_grown{false};
std::atomic<bool> g_swapped{false};

// Appends a line to the file behind fd, once, when its path ends with the grow suffix.
void GrowOnce(int fd) {
    if (!g_config.growSuffix || g_grown.load()) return;
    const HostPath path = PathOfFd(fd);
    if (!EndsWith(path, g_config.growSuffix) || g_grown.exchange(true)) return;
    const int appender = ::open(path.text, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (appender < 0) return;
    static const char line[] = "; written while it was copied\r\n";
    (void)g_real.write(appender, line, sizeof line - 1);
    ::close(appender);
}

// Swaps a link in for the entry at path, once, when the path ends with the swap suffix.
void SwapOnce(const HostPath& path) {
    if (!g_config.swapSuffix || !g_config.swapTarget || g_swapped.load()) return;
    if (!EndsWith(path, g_config.swapSuffix) || g_swapped.exchange(true)) return;
    char aside[sizeof path.text + sizeof ".swapped"];
    std::snprintf(aside, sizeof aside, "%s.swapped", path.text);
    if (g_real.rename(path.text, aside) == 0) (void)::symlink(g_config.swapTarget, path.text);
}

// After a removal of the entry at path: swaps a link in for its folder, in that mode.
void SwapFolderOf(HostPath path) {
    if (!g_config.swapOnUnlink) return;
    char* slash = std::strrchr(path.text, '/');
    if (slash == nullptr) return;
    *slash = '\0';
    SwapOnce(path);
}

// A mode change swaps the entry itself, unless the swap waits for a removal.
bool SwapsOnModeChange() { return g_config.swapSuffix && !g_config.swapOnUnlink; }

void LogSync(int fd) {
    if (!g_config.syncLog) return;
    const HostPath path = PathOfFd(fd);
    const int log = ::open(g_config.syncLog, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) return;
    (void)g_real.write(log, path.text, std::strlen(path.text));
    (void)g_real.write(log, "\n", 1);
    ::close(log);
}

bool FailsReading(int fd) {
    GrowOnce(fd);
    if (!g_config.eioSuffix) return false;
    if (!EndsWith(PathOfFd(fd), g_config.eioSuffix)) return false;
    errno = EIO;
    return true;
}

void WriteCount();

// A program that returns from main or calls exit ends here; stowix ends through _exit, below.
__attribute__((destructor)) void Unload() { WriteCount(); }

void WriteCount() {
    char text[32];
    if (!g_config.countFile) return;
    const int fd = ::open(g_config.countFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const int length = std::snprintf(text, sizeof text, "%lld\n", g_changes.load());
    (void)g_real.write(fd, text, size_t(length));
    ::close(fd);
    if (!g_config.bytesFile) return;
    const int bytes = ::open(g_config.bytesFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (bytes < 0) return;
    const int written = std::snprintf(text, sizeof text, "%lld\n", g_written.load());
    (void)g_real.write(bytes, text, size_t(written));
    ::close(bytes);
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t size) {
    const ssize_t allowed = BeforeWrite(fd, size);
    if (allowed < 0) return -1;
    const ssize_t written = g_real.write(fd, buffer, size_t(allowed));
    AfterWrite(fd, written);
    return written;
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
    const ssize_t allowed = BeforeWrite(fd, size, offset);
    if (allowed < 0) return -1;
    const ssize_t written = g_real.pwrite(fd, buffer, size_t(allowed), offset);
    AfterWrite(fd, written, offset);
    return written;
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset) {
    const ssize_t allowed = BeforeWrite(fd, size, offset);
    if (allowed < 0) return -1;
    const ssize_t written = g_real.pwrite64(fd, buffer, size_t(allowed), offset);
    AfterWrite(fd, written, offset);
    return written;
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    size_t size = 0;
    for (int i = 0; i < count; ++i) size += parts[i].iov_len;
    const ssize_t allowed = BeforeWrite(fd, size);
    if (allowed < 0) return -1;
    ssize_t written = 0;
    if (size_t(allowed) == size) {
        written = g_real.writev(fd, parts, count);
    } else {
        // Cut short: the first parts as far as they fit, one write at a time.
        size_t left = size_t(allowed);
        for (int i = 0; i < count && left > 0; ++i) {
            const size_t piece = parts[i].iov_len < left ? parts[i].iov_len : left;
            const ssize_t put = g_real.write(fd, parts[i].iov_base, piece);
            if (put < 0) return written > 0 ? written : put;
            written += put;
            left -= size_t(put);
            if (size_t(put) < piece) break;
        }
    }
    AfterWrite(fd, written);
    return written;
}

ssize_t read(int fd, void* buffer, size_t size) {
    if (FailsReading(fd)) return -1;
    return g_real.read(fd, buffer, size);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
    if (FailsReading(fd)) return -1;
    return g_real.pread(fd, buffer, size, offset);
}

ssize_t pread64(int fd, void* buffer, size_t size, off_t offset) {
    if (FailsReading(fd)) return -1;
    return g_real.pread64(fd, buffer, size, offset);
}

ssize_t readv(int fd, const struct iovec* parts, int count) {
    if (FailsReading(fd)) return -1;
    return g_real.readv(fd, parts, count);
}

ssize_t copy_file_range(int input, loff_t* inputOffset, int output, loff_t* outputOffset,
                        size_t size, unsigned flags) {
    if (FailsReading(input)) return -1;
    const long long at = outputOffset ? (long long)*outputOffset : -1;
    const ssize_t allowed = BeforeWrite(output, size, at);
    if (allowed < 0) return -1;
    const ssize_t moved =
        g_real.copyFileRange(input, inputOffset, output, outputOffset, size_t(allowed), flags);
    AfterWrite(output, moved, at);
    return moved;
}

ssize_t sendfile(int output, int input, off_t* offset, size_t size) {
    if (FailsReading(input)) return -1;
    const ssize_t allowed = BeforeWrite(output, size);
    if (allowed < 0) return -1;
    const ssize_t moved = g_real.sendfile(output, input, offset, size_t(allowed));
    AfterWrite(output, moved);
    return moved;
}

ssize_t sendfile64(int output, int input, off_t* offset, size_t size) {
    if (FailsReading(input)) return -1;
    const ssize_t allowed = BeforeWrite(output, size);
    if (allowed < 0) return -1;
    const ssize_t moved = g_real.sendfile64(output, input, offset, size_t(allowed));
    AfterWrite(output, moved);
    return moved;
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    if (BeforeWrite(fd, size_t(length), offset) < off_t(length)) {
        errno = ENOSPC;
        return -1;
    }
    const int result = g_real.fallocate(fd, mode, offset, length);
    if (result == 0 && mode == 0 && !InsideReserved(offset, size_t(length))) {
        AfterWrite(fd, ssize_t(length));
        if (g_config.fullPrefix && Under(PathOfFd(fd), g_config.fullPrefix))
            NoteReserved(offset, length);
    }
    return result;
}

int fallocate64(int fd, int mode, off_t offset, off_t length) {
    if (BeforeWrite(fd, size_t(length), offset) < off_t(length)) {
        errno = ENOSPC;
        return -1;
    }
    const int result = g_real.fallocate64(fd, mode, offset, length);
    if (result == 0 && mode == 0 && !InsideReserved(offset, size_t(length))) {
        AfterWrite(fd, ssize_t(length));
        if (g_config.fullPrefix && Under(PathOfFd(fd), g_config.fullPrefix))
            NoteReserved(offset, length);
    }
    return result;
}

int renameat(int fromFd, const char* from, int toFd, const char* to) {
    if (KillMode()) Change(PathAt(toFd, to));
    return g_real.renameat(fromFd, from, toFd, to);
}

int renameat2(int fromFd, const char* from, int toFd, const char* to, unsigned flags) {
    if (KillMode()) Change(PathAt(toFd, to));
    return g_real.renameat2(fromFd, from, toFd, to, flags);
}

int rename(const char* from, const char* to) {
    if (KillMode()) Change(PathAt(AT_FDCWD, to));
    return g_real.rename(from, to);
}

int linkat(int fromFd, const char* from, int toFd, const char* to, int flags) {
    if (KillMode()) Change(PathAt(toFd, to));
    return g_real.linkat(fromFd, from, toFd, to, flags);
}

int unlinkat(int dirFd, const char* name, int flags) {
    if (KillMode()) Change(PathAt(dirFd, name));
    const HostPath path = g_config.swapOnUnlink ? PathAt(dirFd, name) : HostPath{};
    const int result = g_real.unlinkat(dirFd, name, flags);
    if (result == 0) SwapFolderOf(path);
    return result;
}

int unlink(const char* name) {
    if (KillMode()) Change(PathAt(AT_FDCWD, name));
    const HostPath path = g_config.swapOnUnlink ? PathAt(AT_FDCWD, name) : HostPath{};
    const int result = g_real.unlink(name);
    if (result == 0) SwapFolderOf(path);
    return result;
}

int rmdir(const char* name) {
    if (KillMode()) Change(PathAt(AT_FDCWD, name));
    return g_real.rmdir(name);
}

int mkdirat(int dirFd, const char* name, mode_t mode) {
    if (KillMode()) Change(PathAt(dirFd, name));
    return g_real.mkdirat(dirFd, name, mode);
}

int mkdir(const char* name, mode_t mode) {
    if (KillMode()) Change(PathAt(AT_FDCWD, name));
    return g_real.mkdir(name, mode);
}

int fchmodat(int dirFd, const char* name, mode_t mode, int flags) {
    if (SwapsOnModeChange()) SwapOnce(PathAt(dirFd, name));
    if (KillMode()) Change(PathAt(dirFd, name));
    return g_real.fchmodat(dirFd, name, mode, flags);
}

int fchmod(int fd, mode_t mode) {
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.fchmod(fd, mode);
}

int chmod(const char* name, mode_t mode) {
    if (SwapsOnModeChange()) SwapOnce(PathAt(AT_FDCWD, name));
    if (KillMode()) Change(PathAt(AT_FDCWD, name));
    return g_real.chmod(name, mode);
}

int utimensat(int dirFd, const char* name, const struct timespec* times, int flags) {
    if (KillMode()) Change(PathAt(dirFd, name));
    return g_real.utimensat(dirFd, name, times, flags);
}

int futimens(int fd, const struct timespec* times) {
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.futimens(fd, times);
}

int fsync(int fd) {
    LogSync(fd);
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.fsync(fd);
}

int fdatasync(int fd) {
    LogSync(fd);
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.fdatasync(fd);
}

int syncfs(int fd) {
    LogSync(fd);
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.syncfs(fd);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    if (KillMode()) Change(PathOfFd(fd));
    return g_real.fsetxattr(fd, name, value, size, flags);
}

int setxattr(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (KillMode()) Change(PathAt(AT_FDCWD, path));
    return g_real.setxattr(path, name, value, size, flags);
}

int lsetxattr(const char* path, const char* name, const void* value, size_t size, int flags) {
    if (KillMode()) Change(PathAt(AT_FDCWD, path));
    return g_real.lsetxattr(path, name, value, size, flags);
}

void _exit(int status) {
    WriteCount();
    g_real.exitUnderscore(status);
    __builtin_unreachable();
}

}  // extern "C"
