#include "hostfs/posix_file_reader.h"

#include "hostfs/host_errors.h"

#include <unistd.h>

#include <cerrno>

namespace stowix::posix {

namespace {

class PosixFileReader final : public FileReader {
public:
    PosixFileReader(UniqueFd fd, qint64 size, QString dosPath)
        : m_fd(std::move(fd)), m_size(size), m_dosPath(std::move(dosPath)) {}

    qint64 Size() const override { return m_size; }

    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override {
        if (offset < 0 || size < 0) return HostFailure(m_dosPath, EINVAL);
        for (;;) {
            const ssize_t got = ::pread(m_fd.Get(), buffer, size_t(size), off_t(offset));
            if (got >= 0) return qint64(got);
            if (errno != EINTR) return HostFailure(m_dosPath, errno);
        }
    }

private:
    UniqueFd m_fd;
    qint64 m_size;  // in bytes
    QString m_dosPath;
};

}  // namespace

std::unique_ptr<FileReader> MakePosixFileReader(UniqueFd fd, qint64 size, QString dosPath) {
    return std::make_unique<PosixFileReader>(std::move(fd), size, std::move(dosPath));
}

}  // namespace stowix::posix
