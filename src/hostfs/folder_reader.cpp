#include "hostfs/folder_reader.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace stowix::posix {

namespace {

// The kernel's record for getdents64.
struct HostEntry {
    ino64_t inode;
    off64_t next;
    unsigned short length;
    unsigned char type;
    char name[1];
};

}  // namespace

FolderReader::FolderReader(int folderFd) : m_fd(folderFd), m_buffer(new char[BufferSize]) {}

bool FolderReader::Next(Entry& entry) {
    if (m_at >= m_filled) {
        if (m_done) return false;
        const long filled = ::syscall(SYS_getdents64, m_fd, m_buffer.get(), BufferSize);
        if (filled <= 0) {
            m_error = filled < 0 ? errno : 0;
            m_done = true;
            return false;
        }
        m_filled = size_t(filled);
        m_at = 0;
    }
    const char* record = m_buffer.get() + m_at;
    unsigned short length = 0;
    std::memcpy(&length, record + offsetof(HostEntry, length), sizeof length);
    const char* name = record + offsetof(HostEntry, name);
    entry.name = std::string_view(name, std::strlen(name));
    entry.type = static_cast<unsigned char>(record[offsetof(HostEntry, type)]);
    m_at += length;
    return true;
}

}  // namespace stowix::posix
