#pragma once
// The first sector of a FAT volume and FAT32's FSInfo sector, as they lie on the disk. The boot
// sector starts with the BIOS parameter block every FAT type shares; what follows it differs
// between FAT12/FAT16 and FAT32, so each has a whole-sector record of its own, read from the same
// bytes once the type is known. Kept here so that this is the one place that knows where a field
// lies: the rest of the engine names the fields.

#include "disk/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace stowix::fat {

constexpr int BootSectorBytes = 512;

// The fields every FAT type shares, from the start of the sector.
struct BiosParameterBlock {
    uint8_t jump[3];  // 0xEB or 0xE9 first
    char oemName[8];
    Le16Field bytesPerSector;
    uint8_t sectorsPerCluster;
    Le16Field reservedSectors;  // the boot sector and those after it, before the first table
    uint8_t tableCount;
    Le16Field rootEntries;   // 0 on FAT32, whose root folder is a cluster chain
    Le16Field totalSectors;  // 0 when the count needs 32 bits (totalSectorsLarge)
    uint8_t media;
    Le16Field tableSectors;  // 0 on FAT32 (tableSectorsLarge)
    Le16Field sectorsPerTrack;
    Le16Field heads;
    Le32Field hiddenSectors;
    Le32Field totalSectorsLarge;

    uint32_t TotalSectors() const {
        return totalSectors.Get() != 0 ? totalSectors.Get() : totalSectorsLarge.Get();
    }
};
static_assert(sizeof(BiosParameterBlock) == 36);
static_assert(alignof(BiosParameterBlock) == 1);

// The extended fields that follow the parameters: the dirty flag, the serial number, the label.
struct ExtendedBootFields {
    uint8_t driveNumber;
    uint8_t flags;      // bit 0: Windows NT's dirty flag, set while the volume is in use
    uint8_t signature;  // 0x29 when serial, label and type follow
    Le32Field serial;
    char label[11];
    char typeName[8];

    static constexpr uint8_t Dirty = 0x01;
    bool IsDirty() const { return (flags & Dirty) != 0; }
};
static_assert(sizeof(ExtendedBootFields) == 26);

struct BootSector16 {  // FAT12 and FAT16
    BiosParameterBlock parameters;
    ExtendedBootFields extended;
    uint8_t code[448];
    uint8_t signature[2];  // 0x55 0xAA
};
static_assert(sizeof(BootSector16) == BootSectorBytes);
static_assert(alignof(BootSector16) == 1);
static_assert(offsetof(BootSector16, extended) == 36);
static_assert(std::is_trivially_copyable_v<BootSector16>);

struct BootSector32 {
    BiosParameterBlock parameters;
    Le32Field tableSectors;
    Le16Field mirrorFlags;  // bit 7 set: only the table activeTable names is kept up to date
    Le16Field version;
    Le32Field rootCluster;
    Le16Field fsInfoSector;  // 0 or 0xFFFF: none
    Le16Field backupBootSector;
    uint8_t reserved[12];
    ExtendedBootFields extended;
    uint8_t code[420];
    uint8_t signature[2];  // 0x55 0xAA

    static constexpr uint16_t NotMirrored = 0x80;
    static constexpr uint16_t ActiveTableMask = 0x0F;
    bool Mirrored() const { return (mirrorFlags.Get() & NotMirrored) == 0; }
    uint32_t ActiveTable() const { return mirrorFlags.Get() & ActiveTableMask; }
};
static_assert(sizeof(BootSector32) == BootSectorBytes);
static_assert(alignof(BootSector32) == 1);
static_assert(offsetof(BootSector32, extended) == 64);
static_assert(std::is_trivially_copyable_v<BootSector32>);

inline bool HasBootSignature(const uint8_t (&signature)[2]) {
    return signature[0] == 0x55 && signature[1] == 0xAA;
}

// FAT32's hints for finding free clusters: how many are free and the last one taken, either
// 0xFFFFFFFF when unknown.
struct FsInfoSector {
    Le32Field leadSignature;  // LeadMark
    uint8_t reserved1[480];
    Le32Field structSignature;  // StructMark
    Le32Field freeCount;
    Le32Field lastTaken;
    uint8_t reserved2[12];
    Le32Field trailSignature;

    static constexpr uint32_t LeadMark = 0x41615252;
    static constexpr uint32_t StructMark = 0x61417272;
    static constexpr uint32_t Unknown = 0xFFFFFFFF;
    bool IsValid() const {
        return leadSignature.Get() == LeadMark && structSignature.Get() == StructMark;
    }
};
static_assert(sizeof(FsInfoSector) == BootSectorBytes);
static_assert(alignof(FsInfoSector) == 1);
static_assert(offsetof(FsInfoSector, freeCount) == 488);
static_assert(offsetof(FsInfoSector, lastTaken) == 492);
// The free count and the hint are written together, as one stretch.
static_assert(offsetof(FsInfoSector, lastTaken) == offsetof(FsInfoSector, freeCount) + 4);

}  // namespace stowix::fat
