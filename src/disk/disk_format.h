#pragma once
// What kind of disk a drive's file is, told from its own signature, never from its name: a raw
// disk (or bare FAT volume), a fixed VHD (raw sectors and a footer), one of the container formats
// that QEMU's block layer reads (qcow2, VDI, VMDK, dynamic and differencing VHD, VHDX, and their
// older kin qcow and QED), or a file that is no disk Stowix can use (an archive, a CD image, or a
// snapshot whose parent QEMU's block layer would not follow: a differencing VHD, which QEMU would
// serve without its parent's data, and a VirtualBox differencing VDI, which it does not read).
// The container's QEMU format name is what qemu-nbd is told, so that QEMU never guesses.

#include <QString>

#include <cstddef>

namespace stowix::fat {

struct DiskFormat {
    enum class Kind {
        Raw,        // the FAT engine reads the file itself
        FixedVhd,   // likewise; the footer is no part of the disk
        Container,  // served by qemu-nbd with qemuFormat
        Unusable,   // refused: description says what it is
    };
    Kind kind = Kind::Raw;
    QString qemuFormat;   // "qcow2", "vdi", "vmdk", "vpc", "vhdx", "qcow", "qed"
    QString description;  // for messages: "qcow2 disk", "dynamic VHD", "gzip archive"
    QString advice;       // for an unusable file: what the user can do instead
};

// How many bytes of the file's start DetectDiskFormat looks at (less when the file is smaller).
constexpr std::size_t DiskFormatHeadBytes = 64 * 1024;

// head: the file's first bytes (DiskFormatHeadBytes, or the whole file when it is smaller);
// tail: its last 512 bytes (null when the file is smaller than that).
DiskFormat DetectDiskFormat(const unsigned char* head, std::size_t headSize,
                            const unsigned char* tail);

}  // namespace stowix::fat
