#pragma once
// A disk in a container format (qcow2, VDI, VMDK, dynamic or differencing VHD, VHDX), read and
// written through QEMU's own block layer: libnbd starts qemu-nbd as a child of this process on a
// private socket (systemd socket activation) and speaks NBD to it. qemu-nbd is told the format,
// never left to guess it; it follows the disk's backing chain (writing only the top layer) and
// takes QEMU's image locks, so it refuses a disk that a running QEMU holds.
//
// qemu-nbd serves this one connection and ends when it closes: when the device is destroyed
// (which waits for it, so the image is free on return) or when this process dies, whose socket
// the kernel then closes. Either way qemu-nbd finishes the requests it has and closes the image
// cleanly; a kill of this process between two requests leaves the container as consistent as
// qemu-nbd leaves it (QEMU orders its own metadata writes).
//
// Flush and Barrier are NBD flushes: qemu-nbd writes out its caches and fsyncs the file.
//
// A child that this process forks (the registry check reads a file of the drive in one) must not
// speak on the parent's connection, whose replies would then go astray: the first use in another
// process makes a connection of its own to the same qemu-nbd, which serves the same disk, so the
// child sees every write the parent has made.

#include "disk/block_device.h"
#include "disk/chunk_cache.h"
#include "disk/disk_format.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

struct nbd_handle;

namespace stowix::fat {

class NbdDevice final : public BlockDevice {
public:
    // Serves the container at path (absolute) in format, read-only unless writable. lockFd: the
    // image file, open and locked by the caller; the device keeps it, and closes it after
    // qemu-nbd has ended. name names the image in messages; a failure is a sentence for the user
    // (qemu-nbd missing, the image in use by QEMU, a backing file missing, a disk QEMU cannot
    // read), and nothing has been written then.
    static Result<std::unique_ptr<NbdDevice>> Serve(const std::string& path,
                                                    const DiskFormat& format, bool writable,
                                                    int lockFd, const QString& name);
    ~NbdDevice() override;
    NbdDevice(const NbdDevice&) = delete;
    NbdDevice& operator=(const NbdDevice&) = delete;

    qint64 Size() const override { return m_size; }
    Status Read(qint64 offset, void* buffer, qint64 size) override;
    Status Write(qint64 offset, const void* buffer, qint64 size) override;
    // Nothing is copied inside: NBD has no copy that qemu-nbd serves, so the caller's buffer
    // copies it all.
    Result<qint64> CopyInside(qint64 from, qint64 to, qint64 size) override;
    Status Barrier() override;
    Status Flush() override;

private:
    NbdDevice(nbd_handle* handle, int lockFd);
    Status Outside(qint64 offset, qint64 size) const;
    Status ReadDirect(qint64 offset, void* buffer, qint64 size);
    template <typename Issue>
    Status InPieces(qint64 offset, qint64 size, Issue issue);
    // This process's connection (the first use in a forked child makes one); null, with the
    // reason in the status, when it cannot be made.
    Result<nbd_handle*> Connection();

    nbd_handle* m_handle = nullptr;
    int m_lockFd = -1;
    int m_owner = 0;                 // the process that started qemu-nbd
    std::string m_socket;            // qemu-nbd's socket, for another connection
    nbd_handle* m_forked = nullptr;  // a forked child's own connection
    int m_forkedIn = 0;              // the process that made it
    qint64 m_size = 0;
    qint64 m_maxRequest = 0;  // the largest piece: PieceBytes, or less if qemu-nbd says so
    // Every request is a round trip to qemu-nbd: small reads go through chunks.
    std::optional<ChunkCache> m_cache;
};

}  // namespace stowix::fat
