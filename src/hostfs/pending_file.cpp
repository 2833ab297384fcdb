#include "hostfs/pending_file.h"

#include "hostfs/folder_reader.h"
#include "hostfs/host_errors.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

namespace stowix::posix {

namespace {

std::atomic<unsigned> g_sequence{0};

constexpr std::string_view PendingPrefix = ".~stowix-";
constexpr std::string_view PendingSuffix = ".tmp";

// A hidden name beside the destination: a leading dot hides it from Linux listings, and the
// process id and a sequence keep running copies apart.
std::string TemporaryName() {
    static const int processId = int(::getpid());
    char name[64];
    std::snprintf(name, sizeof name, ".~stowix-%d-%u.tmp", processId,
                  g_sequence.fetch_add(1, std::memory_order_relaxed));
    return name;
}

// The process id in a pending name, or 0 when the name is not one.
int ProcessOf(std::string_view name) {
    if (!name.starts_with(PendingPrefix) || !name.ends_with(PendingSuffix)) return 0;
    const std::string_view middle = name.substr(
        PendingPrefix.size(), name.size() - PendingPrefix.size() - PendingSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == middle.size()) return 0;
    int process = 0;
    const auto [end, error] = std::from_chars(middle.data(), middle.data() + dash, process);
    if (error != std::errc() || end != middle.data() + dash || process <= 0) return 0;
    unsigned sequence = 0;
    const char* last = middle.data() + middle.size();
    const auto [sequenceEnd, sequenceError] =
        std::from_chars(middle.data() + dash + 1, last, sequence);
    return sequenceError == std::errc() && sequenceEnd == last ? process : 0;
}

}  // namespace

bool IsPendingName(std::string_view name) { return ProcessOf(name) != 0; }

void RemoveLeftPendingFiles(int folderFd) {
    // Names first, deletions after: a folder is not changed while it is being read.
    std::vector<std::string> left;
    FolderReader reader(folderFd);
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        const int process = ProcessOf(entry.name);
        // kill(0) fails with ESRCH only when no such process exists.
        if (process != 0 && entry.type != DT_DIR && ::kill(process, 0) != 0 && errno == ESRCH)
            left.emplace_back(entry.name);
    }
    for (const std::string& name : left) ::unlinkat(folderFd, name.c_str(), 0);
}

PendingFile::PendingFile(int folderFd, UniqueFd fd, std::string temporaryName)
    : m_folderFd(folderFd), m_fd(std::move(fd)), m_temporaryName(std::move(temporaryName)) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_folderFd(other.m_folderFd),
      m_fd(std::move(other.m_fd)),
      m_temporaryName(std::exchange(other.m_temporaryName, std::string())) {}

PendingFile::~PendingFile() {
    m_fd.Reset();  // an unnamed file vanishes here
    if (!m_temporaryName.empty()) ::unlinkat(m_folderFd, m_temporaryName.c_str(), 0);
}

Result<PendingFile> PendingFile::Create(int folderFd, mode_t mode, bool replacing,
                                        const QString& dosPath) {
    if (!replacing) {
        UniqueFd fd(::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (fd.Valid()) return PendingFile(folderFd, std::move(fd), std::string());
        // Only a file system without unnamed files gets the named way; anything else is real.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return HostFailure(dosPath, errno);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName();
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
        UniqueFd fd(::openat(folderFd, name.c_str(), flags, mode));
        if (fd.Valid()) return PendingFile(folderFd, std::move(fd), std::move(name));
        if (errno != EEXIST) return HostFailure(dosPath, errno);
    }
    return HostFailure(dosPath, EEXIST);
}

int PendingFile::LinkAs(const std::string& name) const {
    if (::linkat(m_fd.Get(), "", m_folderFd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM) return -1;
    // Without CAP_DAC_READ_SEARCH the kernel takes the descriptor only through /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
    return ::linkat(AT_FDCWD, self.c_str(), m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW);
}

Status PendingFile::Commit(const std::string& name, const QString& dosPath) {
    if (m_temporaryName.empty()) {
        if (LinkAs(name) == 0) {
            if (m_fd.Close() != 0) return HostFailure(dosPath, errno);
            return Status::Ok();
        }
        if (errno != EEXIST) return HostFailure(dosPath, errno);
        // The name was taken meanwhile: link in under a hidden name and rename over it.
        for (int attempt = 0; attempt < 100 && m_temporaryName.empty(); ++attempt) {
            std::string temporary = TemporaryName();
            if (LinkAs(temporary) == 0)
                m_temporaryName = std::move(temporary);
            else if (errno != EEXIST)
                return HostFailure(dosPath, errno);
        }
        if (m_temporaryName.empty()) return HostFailure(dosPath, EEXIST);
    }
    // A late write error (on a network file system) shows at close.
    if (m_fd.Close() != 0) return HostFailure(dosPath, errno);
    if (::renameat(m_folderFd, m_temporaryName.c_str(), m_folderFd, name.c_str()) != 0)
        return HostFailure(dosPath, errno);
    m_temporaryName.clear();
    return Status::Ok();
}

}  // namespace stowix::posix
