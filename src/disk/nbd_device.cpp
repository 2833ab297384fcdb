#include "disk/nbd_device.h"

#include "disk/qemu_nbd_start.h"

#include <libnbd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

namespace stowix::fat {

namespace {

// Large transfers go as pieces of this size, several in flight at once (below), so that
// qemu-nbd reads or writes the image for one piece while the next crosses the socket.
constexpr qint64 PieceBytes = 1024 * 1024;
constexpr size_t PiecesInFlight = 8;

QString LastError() { return QString::fromLocal8Bit(nbd_get_error()); }

// The engine writes single directory slots; QEMU's block layer takes requests smaller than the
// block size it advertises (a VHDX's 4 KiB) and merges them itself.
void AllowUnaligned(nbd_handle* handle) {
    (void)nbd_set_strict_mode(handle, nbd_get_strict_mode(handle) & ~uint32_t(LIBNBD_STRICT_ALIGN));
}

// The path of the socket qemu-nbd listens on: the peer of our connection.
std::string SocketPath(nbd_handle* handle) {
    sockaddr_un address{};
    socklen_t length = sizeof address;
    const int fd = nbd_aio_get_fd(handle);
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sun_family != AF_UNIX)
        return std::string();
    return std::string(address.sun_path);
}

}  // namespace

Result<std::unique_ptr<NbdDevice>> NbdDevice::Serve(const std::string& path,
                                                    const DiskFormat& format, bool writable,
                                                    int lockFd, const QString& name) {
    nbd_handle* handle = nbd_create();
    if (handle == nullptr) {
        ::close(lockFd);
        return Status::Fail(name + QStringLiteral(": ") + LastError());
    }
    std::unique_ptr<NbdDevice> device(new NbdDevice(handle, lockFd));
    AllowUnaligned(handle);
    if (Status started = StartQemuNbd(handle, path, format, writable, name); !started)
        return started;
    const int64_t size = nbd_get_size(handle);
    if (size < 0) return Status::Fail(name + QStringLiteral(": ") + LastError());
    device->m_size = size;
    device->m_socket = SocketPath(handle);
    NbdDevice* self = device.get();
    device->m_cache.emplace(size, [self](qint64 offset, void* buffer, qint64 count) {
        return self->ReadDirect(offset, buffer, count);
    });
    const int64_t maximum = nbd_get_block_size(handle, LIBNBD_SIZE_MAXIMUM);
    device->m_maxRequest = maximum > 0 ? std::min<qint64>(maximum, PieceBytes) : PieceBytes;
    return device;
}

NbdDevice::NbdDevice(nbd_handle* handle, int lockFd)
    : m_handle(handle), m_lockFd(lockFd), m_owner(::getpid()) {}

NbdDevice::~NbdDevice() {
    // Only the process that started qemu-nbd ends it; a child leaves the parent's connection be.
    if (::getpid() != m_owner) return;
    // A clean disconnect: qemu-nbd writes out what it holds, closes the image and ends, and
    // nbd_close waits for it.
    if (nbd_aio_is_ready(m_handle)) (void)nbd_shutdown(m_handle, 0);
    nbd_close(m_handle);
    if (m_lockFd >= 0) ::close(m_lockFd);
}

Result<nbd_handle*> NbdDevice::Connection() {
    const int self = ::getpid();
    if (self == m_owner) return m_handle;
    if (m_forked != nullptr && m_forkedIn == self) return m_forked;
    // A forked child, single-threaded: its connection lives until it exits.
    m_forked = nbd_create();
    m_forkedIn = self;
    if (m_forked == nullptr) return Status::Fail(LastError());
    AllowUnaligned(m_forked);
    if (m_socket.empty() || nbd_connect_unix(m_forked, m_socket.c_str()) != 0) {
        const QString reason =
            m_socket.empty() ? QStringLiteral("qemu-nbd's socket is unknown") : LastError();
        nbd_close(m_forked);
        m_forked = nullptr;
        return Status::Fail(reason);
    }
    return m_forked;
}

Status NbdDevice::Outside(qint64 offset, qint64 size) const {
    if (offset < 0 || size < 0 || offset + size > m_size)
        return Status::Fail(QStringLiteral("The disk ends before the file system does"));
    return Status::Ok();
}

// Runs issue(handle, from, count) over [offset, offset + size) in pieces, PiecesInFlight at
// most in flight, and returns once every piece is answered; the first failure is the answer.
// issue starts one piece and gives its cookie, or -1.
template <typename Issue>
Status NbdDevice::InPieces(qint64 offset, qint64 size, Issue issue) {
    TRY(Outside(offset, size));
    nbd_handle* const handle = TRY(Connection());
    std::deque<int64_t> inFlight;
    QString failure;
    // Waits for the oldest piece. false: the connection itself failed, and nothing more will be
    // answered on it.
    const auto retireOldest = [&]() {
        int completed = 0;
        while ((completed = nbd_aio_command_completed(handle, uint64_t(inFlight.front()))) == 0)
            if (nbd_poll(handle, -1) == -1) return false;
        if (completed == -1 && failure.isEmpty()) failure = LastError();
        inFlight.pop_front();
        return true;
    };
    for (qint64 done = 0; done < size && failure.isEmpty();) {
        if (inFlight.size() == PiecesInFlight && !retireOldest()) return Status::Fail(LastError());
        const qint64 piece = std::min(size - done, m_maxRequest);
        const int64_t cookie = issue(handle, done, piece);
        if (cookie == -1) {
            failure = LastError();
            break;
        }
        inFlight.push_back(cookie);
        done += piece;
    }
    while (!inFlight.empty())
        if (!retireOldest()) return Status::Fail(LastError());
    if (!failure.isEmpty()) return Status::Fail(failure);
    return Status::Ok();
}

Status NbdDevice::Read(qint64 offset, void* buffer, qint64 size) {
    if (Status inside = Outside(offset, size); !inside) return inside;
    return m_cache->Read(offset, buffer, size);
}

Status NbdDevice::ReadDirect(qint64 offset, void* buffer, qint64 size) {
    char* at = static_cast<char*>(buffer);
    return InPieces(offset, size, [&](nbd_handle* handle, qint64 done, qint64 piece) {
        return nbd_aio_pread(handle, at + done, size_t(piece), uint64_t(offset + done),
                             NBD_NULL_COMPLETION, 0);
    });
}

Status NbdDevice::Write(qint64 offset, const void* buffer, qint64 size) {
    const char* at = static_cast<const char*>(buffer);
    const Status written =
        InPieces(offset, size, [&](nbd_handle* handle, qint64 done, qint64 piece) {
            return nbd_aio_pwrite(handle, at + done, size_t(piece), uint64_t(offset + done),
                                  NBD_NULL_COMPLETION, 0);
        });
    if (written)
        m_cache->Wrote(offset, buffer, size);
    else
        m_cache->Clear();
    return written;
}

Result<qint64> NbdDevice::CopyInside(qint64, qint64, qint64) { return qint64(0); }

Status NbdDevice::Barrier() { return Flush(); }

Status NbdDevice::Flush() {
    Result<nbd_handle*> connection = Connection();
    if (!connection) return connection.status();
    if (nbd_flush(connection.value(), 0) != 0) return Status::Fail(LastError());
    return Status::Ok();
}

}  // namespace stowix::fat
