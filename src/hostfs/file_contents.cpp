#include "hostfs/file_contents.h"

#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace stowix::posix {

namespace {

constexpr size_t Chunk = size_t(1) << 30;  // bytes asked for in one call

// Errors that mean "not this way between these two files", not a failed copy.
bool WayRefused(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
           error == ENOTSUP || error == EBADF;
}

// Writes all of size bytes: at offset at, or at the file's own offset when at is negative. 0, or
// the host's errno.
int WriteAll(int output, const char* data, size_t size, off_t at) {
    for (size_t done = 0; done < size;) {
        const ssize_t put = at < 0 ? ::write(output, data + done, size - done)
                                   : ::pwrite(output, data + done, size - done, at + off_t(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += size_t(put);
    }
    return 0;
}

// Runs one way of copying until the end; -1 means the way was refused before any byte moved.
template <typename Call>
int CopyWith(Call call, off_t expectedSize, off_t& copied) {
    for (;;) {
        const ssize_t moved = call();
        if (moved < 0) {
            if (errno == EINTR) continue;
            if (copied == 0 && WayRefused(errno)) return -1;
            return errno;
        }
        if (moved == 0) return 0;
        copied += moved;
        // A short count once the known size is reached is the end of the file.
        if (size_t(moved) < Chunk && copied >= expectedSize) return 0;
    }
}

int CopyByReading(int input, int output) {
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(input, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        if (const int error = WriteAll(output, buffer.data(), size_t(got), -1)) return error;
    }
}

// Copies the bytes [from, to) of input to the same place in output; 0, or the host's errno.
int CopyRange(int input, int output, off_t from, off_t to) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (from < to) {
        const size_t want = size_t(std::min<off_t>(to - from, off_t(Chunk)));
        if (kernelCopy) {
            loff_t in = from;
            loff_t out = from;
            const ssize_t moved = ::copy_file_range(input, &in, output, &out, want, 0);
            if (moved > 0) {
                from += moved;
                continue;
            }
            if (moved == 0)
                return 0;  // the file was cut short meanwhile; the caller sees its new size
            if (errno == EINTR) continue;
            if (!WayRefused(errno)) return errno;
            kernelCopy = false;
        }
        if (buffer.empty()) buffer.resize(256 * 1024);
        const ssize_t got = ::pread(input, buffer.data(), std::min(want, buffer.size()), from);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        if (const int error = WriteAll(output, buffer.data(), size_t(got), from)) return error;
        from += got;
    }
    return 0;
}

// A file with holes, copied data segment by data segment, so that the holes stay holes and a
// large sparse file costs only the space of its data. -1 when the file has no hole (or the file
// system cannot tell), for the plain ways to copy it.
int CopySparse(int input, int output, off_t size) {
    if (size <= 0) return -1;
    const off_t firstHole = ::lseek(input, 0, SEEK_HOLE);
    // The probe moved the offset that the plain ways read from.
    if (::lseek(input, 0, SEEK_SET) != 0) return errno;
    if (firstHole < 0 || firstHole >= size) return -1;
    for (off_t at = 0; at < size;) {
        const off_t data = ::lseek(input, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // only a hole up to the end
            return errno;
        }
        if (data >= size) break;
        off_t hole = ::lseek(input, data, SEEK_HOLE);
        if (hole < 0) return errno;
        hole = std::min(hole, size);
        if (const int error = CopyRange(input, output, data, hole)) return error;
        at = hole;
    }
    // The length the holes at the end give.
    if (::ftruncate(output, size) != 0) return errno;
    return 0;
}

}  // namespace

bool MayHaveHoles(const struct stat& info) { return off_t(info.st_blocks) * 512 < info.st_size; }

int CopyContents(int input, int output, off_t expectedSize, bool mayHaveHoles) {
    if (mayHaveHoles) {
        if (const int sparse = CopySparse(input, output, expectedSize); sparse >= 0) return sparse;
    }
    off_t copied = 0;
    int result =
        CopyWith([&] { return ::copy_file_range(input, nullptr, output, nullptr, Chunk, 0); },
                 expectedSize, copied);
    if (result >= 0) return result;
    result =
        CopyWith([&] { return ::sendfile(output, input, nullptr, Chunk); }, expectedSize, copied);
    if (result >= 0) return result;
    return CopyByReading(input, output);
}

}  // namespace stowix::posix
