#pragma once
// Whether a container disk is whole enough to be written to. A container cut short (a copy
// interrupted, a full host disk) still opens, and QEMU serves what lies past its end as zeros:
// the FAT engine would then read empty folders and write over the volume. So before anything is
// written, the container's metadata is checked the way QEMU itself checks it (qemu-img check,
// leaked clusters being harmless), and, for the formats whose own check does not look at the
// file's length (VDI, dynamic VHD), the file's length is compared with what its header says it
// holds. A container that fails is read but never written, as is a streamOptimized VMDK, which
// QEMU cannot write.

#include "services/result.h"

#include "disk/disk_format.h"

#include <QString>

#include <string>

namespace stowix::fat {

// fd: the container, open and locked by the caller; size: its length; path: its absolute path.
// Fails with the sentence for the user (what is wrong, and how to repair it) when the container
// is damaged, or how to convert it when it is a streamOptimized VMDK. A check that cannot be run
// (qemu-img missing) or that stops before it could judge the metadata (the image in use by QEMU, an
// encrypted image, a backing file missing) passes: qemu-nbd, started next, says why it cannot serve
// the disk.
Status CheckContainer(int fd, qint64 size, const std::string& path, const DiskFormat& format,
                      const QString& name);

// The length check alone: an empty string when the header and the length agree (or the format
// has no such check), otherwise what is wrong. head: the file's first bytes; tail: its last
// 512 bytes (null when it is shorter).
QString ContainerLengthProblem(const unsigned char* head, std::size_t headSize,
                               const unsigned char* tail, qint64 size, const DiskFormat& format);

}  // namespace stowix::fat
