#pragma once
// Opens the disk a drive's image file holds, for the FAT engine: for writing where the file
// allows it (read-only otherwise), locked against other programs (image_lock.h) before anything
// is read from it.

#include "services/result.h"

#include "disk/block_device.h"

#include <QString>

#include <memory>
#include <string>

namespace stowix::fat {

struct OpenedDisk {
    std::unique_ptr<BlockDevice> device;
    bool writable = false;
    // Why a disk that the file would let Stowix write is served for reading only (a damaged
    // container, container_check.h); empty otherwise.
    QString whyNotWritable;
};

// name: the image as messages name it. Fails with a message for the user; anotherCopy, when
// given, is set when the image is refused because another copy of Stowix works in it.
Result<OpenedDisk> OpenDisk(const std::string& hostPath, const QString& name,
                            bool* anotherCopy = nullptr);

}  // namespace stowix::fat
