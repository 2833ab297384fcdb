#pragma once
// A new file written beside its destination under a hidden, unique name, then renamed over the
// destination in one step. Until Commit succeeds the destination is untouched; a PendingFile
// that goes out of scope uncommitted removes its file, so a failed write leaves the old
// destination as it was and nothing behind.

#include "platform/posix/unique_fd.h"
#include "platform/result.h"

#include <sys/types.h>

#include <string>

namespace stowix::posix {

class PendingFile {
public:
    // folderFd: the destination's folder (an O_PATH descriptor will do); not owned, and it must
    // outlive the PendingFile. mode: the new file's permissions before the umask. dosPath names
    // the destination in a failure.
    static Result<PendingFile> Create(int folderFd, mode_t mode, const QString& dosPath);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    ~PendingFile();

    int Fd() const { return m_fd.Get(); }
    // Closes the file (a late write error shows here) and renames it over name in the folder.
    Status Commit(const std::string& name, const QString& dosPath);

private:
    PendingFile(int folderFd, UniqueFd fd, std::string temporaryName);

    int m_folderFd;
    UniqueFd m_fd;
    std::string m_temporaryName;  // empty once committed or moved from
};

}  // namespace stowix::posix
