#pragma once
// A disk that is an image file read and written directly: a raw disk image, a bare FAT volume,
// a fixed VHD (whose footer lies past Size()), or a block device.

#include "disk/block_device.h"

#include <utility>

namespace stowix::fat {

class RawFileDevice final : public BlockDevice {
public:
    // fd: open for reading (and writing, when the disk is written); the device owns it.
    RawFileDevice(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    ~RawFileDevice() override;
    RawFileDevice(const RawFileDevice&) = delete;
    RawFileDevice& operator=(const RawFileDevice&) = delete;

    // Gives up the file, open, to another owner.
    int Release() { return std::exchange(m_fd, -1); }
    // Leaves the footer of a fixed VHD out of the disk.
    void SetSize(qint64 size) { m_size = size; }

    qint64 Size() const override { return m_size; }
    Status Read(qint64 offset, void* buffer, qint64 size) override;
    Status Write(qint64 offset, const void* buffer, qint64 size) override;
    Result<qint64> CopyInside(qint64 from, qint64 to, qint64 size) override;
    Status Barrier() override;
    Status Flush() override;
    Status Reserve(qint64 offset, qint64 size) override;

private:
    int m_fd = -1;
    qint64 m_size = 0;
    bool m_cannotReserve = false;  // the host's file system cannot (fallocate)
};

}  // namespace stowix::fat
