#include "platform/posix/file_contents.h"

#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace stowix::posix {

namespace {

constexpr size_t Chunk = size_t(1) << 30;  // bytes asked for in one call

// Errors that mean "not this way between these two files", not a failed copy.
bool WayRefused(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == ENOTSUP || error == EBADF;
}

// Runs one way of copying until the end; -1 means the way was refused before any byte moved.
template <typename Call>
int CopyWith(Call call, off_t expectedSize, off_t& copied)
{
    for (;;) {
        const ssize_t moved = call();
        if (moved < 0) {
            if (errno == EINTR)
                continue;
            if (copied == 0 && WayRefused(errno))
                return -1;
            return errno;
        }
        if (moved == 0)
            return 0;
        copied += moved;
        // A short count once the known size is reached is the end of the file.
        if (size_t(moved) < Chunk && copied >= expectedSize)
            return 0;
    }
}

int CopyByReading(int input, int output)
{
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(input, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(output, buffer.data() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += put;
        }
    }
}

}  // namespace

int CopyContents(int input, int output, off_t expectedSize)
{
    off_t copied = 0;
    int result = CopyWith(
        [&] { return ::copy_file_range(input, nullptr, output, nullptr, Chunk, 0); },
        expectedSize, copied);
    if (result >= 0)
        return result;
    result = CopyWith([&] { return ::sendfile(output, input, nullptr, Chunk); }, expectedSize,
                      copied);
    if (result >= 0)
        return result;
    return CopyByReading(input, output);
}

}  // namespace stowix::posix
