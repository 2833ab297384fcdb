#pragma once
// Where the FAT file system lies on a disk (open_disk.h has told the container formats from raw
// disks, and serves them through qemu-nbd). It reads the disk's first and last sectors and takes:
//   - a whole disk with an MBR: the first FAT partition (types 01, 04, 06, 0B, 0C, 0E), primary
//     partitions first, then the logical drives of an extended partition; or the partition the
//     caller names (1-4 primary, 5 on for logical drives, as Linux numbers them);
//   - a bare FAT volume with no partition table (floppy images and some emulators' disks);
//   - a fixed-size VHD: raw sectors followed by a 512-byte footer.
// It does not read the file system itself (fat_volume.h does).

#include "services/result.h"

#include "disk/block_device.h"

#include <QString>

#include <optional>

namespace stowix::fat {

struct VolumeSpan {
    qint64 offset = 0;  // in bytes from the start of the image file
    qint64 length = 0;  // in bytes
};

// device: the disk, open for reading. imageName names it in messages.
Result<VolumeSpan> FindFatVolume(BlockDevice& device, std::optional<int> partition,
                                 const QString& imageName);

// True when this sector starts a FAT volume: a jump instruction and a sane BIOS parameter block.
bool LooksLikeFatBootSector(const unsigned char* sector);

}  // namespace stowix::fat
