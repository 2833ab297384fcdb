#pragma once
// Reads the entries of one open folder in the host's own order, many at a time (getdents64 with
// a larger buffer than readdir's), handing out each name as a view into its buffer. It does not
// decode names, skip "." and "..", or stat anything: callers decide what they need.

#include <sys/types.h>

#include <memory>
#include <string_view>

namespace stowix::posix {

class FolderReader {
public:
    struct Entry {
        std::string_view name;  // valid until the next call of Next
        unsigned char type;     // DT_REG, DT_DIR, DT_LNK, ... or DT_UNKNOWN
    };

    // folderFd: opened O_RDONLY | O_DIRECTORY; not owned, and read from its current offset.
    explicit FolderReader(int folderFd);

    // The next entry; false at the end or on a failure, which Error() then tells apart.
    bool Next(Entry& entry);
    // 0 after the end was reached; the host's errno value when a read failed.
    int Error() const { return m_error; }

private:
    static constexpr size_t BufferSize = 64 * 1024;

    int m_fd;
    std::unique_ptr<char[]> m_buffer;
    size_t m_filled = 0;
    size_t m_at = 0;
    int m_error = 0;
    bool m_done = false;
};

}  // namespace stowix::posix
