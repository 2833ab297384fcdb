#pragma once
// A new file written beside its destination and put in place in one step once it is complete.
// Until Commit succeeds the destination is untouched, and a PendingFile that goes out of scope
// uncommitted leaves nothing behind, so a failed write leaves the old destination as it was.
//
// Where the destination does not exist yet, the file is made without a name (O_TMPFILE) and
// linked in under the destination's name: nothing is ever visible half-written, a crash leaves no
// stray file, and it costs no more than creating the file directly. To replace an existing file,
// or where the file system has no unnamed files, it is written under a hidden, unique name
// (O_EXCL) beside the destination and renamed over it.

#include "hostfs/unique_fd.h"
#include "services/result.h"

#include <sys/types.h>

#include <string>
#include <string_view>

namespace stowix::posix {

// True for the hidden names that a PendingFile is written under: the program's own files, half
// written or left by a copy that was killed, never the user's. Listings leave them out.
bool IsPendingName(std::string_view name);

// Deletes the files that PendingFiles of processes no longer running left in a folder (opened
// O_RDONLY | O_DIRECTORY), so that they do not keep it from being removed. Files of a running
// copy are left alone.
void RemoveLeftPendingFiles(int folderFd);

class PendingFile {
public:
    // folderFd: the destination's folder (an O_PATH descriptor will do); not owned, and it must
    // outlive the PendingFile. mode: the new file's permissions before the umask. replacing: the
    // destination exists now. dosPath names the destination in a failure.
    static Result<PendingFile> Create(int folderFd, mode_t mode, bool replacing,
                                      const QString& dosPath);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    ~PendingFile();

    int Fd() const { return m_fd.Get(); }
    // Puts the file in place under name in the folder, replacing any file of that name.
    Status Commit(const std::string& name, const QString& dosPath);

private:
    PendingFile(int folderFd, UniqueFd fd, std::string temporaryName);
    // Links the unnamed file in under name; -1 with errno on failure (EEXIST when taken).
    int LinkAs(const std::string& name) const;

    int m_folderFd;
    UniqueFd m_fd;
    std::string m_temporaryName;  // the hidden name; empty for an unnamed file or once placed
};

}  // namespace stowix::posix
