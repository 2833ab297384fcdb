#include "platform/posix/pending_file.h"

#include "platform/posix/host_errors.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace stowix::posix {

namespace {

std::atomic<unsigned> g_sequence{0};

}  // namespace

PendingFile::PendingFile(int folderFd, UniqueFd fd, std::string temporaryName)
    : m_folderFd(folderFd), m_fd(std::move(fd)), m_temporaryName(std::move(temporaryName))
{
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_folderFd(other.m_folderFd),
      m_fd(std::move(other.m_fd)),
      m_temporaryName(std::exchange(other.m_temporaryName, std::string()))
{
}

PendingFile::~PendingFile()
{
    if (!m_temporaryName.empty()) {
        m_fd.Reset();
        ::unlinkat(m_folderFd, m_temporaryName.c_str(), 0);
    }
}

Result<PendingFile> PendingFile::Create(int folderFd, mode_t mode, const QString& dosPath)
{
    // A leading dot hides it from Linux listings; the process id and a sequence make it unique
    // among running copies, and O_EXCL settles any clash with a name left by a crash.
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".~stowix-%d-%u.tmp", int(::getpid()),
                      g_sequence.fetch_add(1, std::memory_order_relaxed));
        UniqueFd fd(::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd.Valid())
            return PendingFile(folderFd, std::move(fd), name);
        if (errno != EEXIST)
            return HostFailure(dosPath, errno);
    }
    return HostFailure(dosPath, EEXIST);
}

Status PendingFile::Commit(const std::string& name, const QString& dosPath)
{
    if (m_fd.Close() != 0)
        return HostFailure(dosPath, errno);
    if (::renameat(m_folderFd, m_temporaryName.c_str(), m_folderFd, name.c_str()) != 0)
        return HostFailure(dosPath, errno);
    m_temporaryName.clear();
    return Status::Ok();
}

}  // namespace stowix::posix
