#pragma once
// Owns one host file descriptor and closes it when it goes out of scope. It does not report a
// failed close: callers that must know (a file just written) close explicitly with Close().

#include <unistd.h>

#include <utility>

namespace stowix::posix {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() { return std::exchange(m_fd, -1); }
    void Reset(int fd = -1) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    // Closes now and gives close's own outcome: 0, or -1 with errno set.
    int Close() { return ::close(Release()); }

private:
    int m_fd = -1;
};

}  // namespace stowix::posix
