#pragma once
// "The disk" as the FAT engine sees it: bytes at offsets, read and written whole, made durable
// on request, and copied inside the disk where the host can do that without the process. A raw
// image file is one such disk (raw_file_device.h); a container format served by qemu-nbd is
// another (nbd_device.h). The partition table, the FAT engine and everything above them are the
// same whichever it is. Locking is part of opening a device, not of using it.

#include "services/result.h"

#include <QString>

namespace stowix::fat {

class BlockDevice {
public:
    virtual ~BlockDevice() = default;

    // The disk's size in bytes.
    virtual qint64 Size() const = 0;
    // A read past the end fails rather than giving fewer bytes. Failures give the reason as a
    // sentence, without the disk's name.
    virtual Status Read(qint64 offset, void* buffer, qint64 size) = 0;
    virtual Status Write(qint64 offset, const void* buffer, qint64 size) = 0;
    // Copies size bytes from one place of the disk to another without passing them through the
    // process, as far as the host can. Gives how many bytes it copied from the start: fewer than
    // size when the rest must go through a buffer (the caller's job).
    virtual Result<qint64> CopyInside(qint64 from, qint64 to, qint64 size) = 0;
    // Makes the data of every write so far durable (an ordering point against a power cut).
    virtual Status Barrier() = 0;
    // Makes every write so far durable, with whatever the disk keeps about itself.
    virtual Status Flush() = 0;
    // Makes sure the host has room for these bytes before they are written (holes of a sparse
    // image file), so that a full host disk fails a change before its first write. Fails only
    // for want of room; a disk that cannot reserve succeeds (its writes fail where they must).
    virtual Status Reserve(qint64 offset, qint64 size) {
        (void)offset;
        (void)size;
        return Status::Ok();
    }
};

}  // namespace stowix::fat
