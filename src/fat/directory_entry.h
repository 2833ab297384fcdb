#pragma once
// The 32-byte record a FAT folder is made of, as it lies on the disk: the short entry that names
// a file or folder (its 8.3 name, attribute byte, first cluster, size and times), and the
// long-name slot that carries 13 UTF-16 units of a long name in front of its short entry. Every
// slot is read as a DirectoryEntry; its attribute byte tells a long-name slot, whose layout
// LongNameSlot gives. Kept apart from the folder (fat_folder.h) so that this is the one place
// that knows where a field lies: the rest of the engine names the fields.

#include "disk/byte_order.h"
#include "fat/fat_names.h"
#include "fat/fat_times.h"
#include "fat/fat_volume.h"

#include <bit>
#include <cstdint>
#include <type_traits>

namespace stowix::fat {

namespace EntryAttribute {
constexpr uint8_t ReadOnly = 0x01;
constexpr uint8_t Hidden = 0x02;
constexpr uint8_t System = 0x04;
constexpr uint8_t VolumeLabel = 0x08;
constexpr uint8_t Folder = 0x10;
constexpr uint8_t Archive = 0x20;
constexpr uint8_t LongName = 0x0F;  // all four low bits: a long-name slot, never a file
}  // namespace EntryAttribute

constexpr int SlotBytes = 32;

// The case flags Windows NT and Linux set for a short name written in lower case.
namespace CaseFlag {
constexpr uint8_t LowerBase = 0x08;
constexpr uint8_t LowerExtension = 0x10;
}  // namespace CaseFlag

struct DirectoryEntry {
    ShortName name;      // 8 + 3 bytes in the OEM code page, padded with blanks
    uint8_t attributes;  // EntryAttribute bits
    uint8_t caseFlags;   // CaseFlag bits
    uint8_t createdTenths;
    Le16Field createdTime;
    Le16Field createdDate;
    Le16Field accessedDate;
    Le16Field firstClusterHigh;  // FAT32 only
    Le16Field writtenTime;
    Le16Field writtenDate;
    Le16Field firstClusterLow;
    Le32Field size;  // in bytes; 0 for a folder

    // The first byte of the name marks a slot that was never used (readers stop there) or a
    // deleted one; a name that starts with a real 0xE5 is stored with 0x05 instead.
    static constexpr unsigned char NeverUsedMark = 0x00;
    static constexpr unsigned char DeletedMark = 0xE5;

    // A short entry: name, attribute byte, first cluster and size, last written at written,
    // created now and last accessed today.
    static DirectoryEntry Short(const ShortName& name, uint8_t attributes, uint32_t cluster,
                                uint32_t size, FatStamp written);

    bool IsNeverUsed() const { return name[0] == NeverUsedMark; }
    bool IsFree() const { return name[0] == NeverUsedMark || name[0] == DeletedMark; }
    void MarkDeleted() { name[0] = DeletedMark; }
    bool IsLongName() const { return (attributes & 0x3F) == EntryAttribute::LongName; }
    // FAT12 and FAT16 keep other things in the high half of the first cluster.
    uint32_t FirstCluster(FatType type) const;
    void SetFirstCluster(uint32_t cluster);
    FatStamp Written() const { return {writtenTime.Get(), writtenDate.Get()}; }
    void SetWritten(FatStamp stamp);
};
static_assert(sizeof(DirectoryEntry) == SlotBytes);
static_assert(alignof(DirectoryEntry) == 1);
static_assert(std::is_trivially_copyable_v<DirectoryEntry>);

struct LongNameSlot {
    uint8_t order;  // the part's number from 1, with LastPart on the name's last part
    Le16Field units1[5];
    uint8_t attributes;  // EntryAttribute::LongName
    uint8_t type;        // 0
    uint8_t checksum;    // ShortNameChecksum of the short entry the name belongs to
    Le16Field units2[6];
    Le16Field firstCluster;  // 0
    Le16Field units3[2];

    static constexpr int Units = 13;  // UTF-16 units of the name in each slot
    static constexpr uint8_t LastPart = 0x40;

    int Order() const { return order & 0x1F; }
    bool IsLastPart() const { return (order & LastPart) != 0; }
    void GetUnits(char16_t* units) const;  // Units of them, in order
    void SetUnits(const char16_t* units);
};
static_assert(sizeof(LongNameSlot) == SlotBytes);
static_assert(alignof(LongNameSlot) == 1);

inline LongNameSlot AsLongName(const DirectoryEntry& slot) {
    return std::bit_cast<LongNameSlot>(slot);
}
inline DirectoryEntry AsSlot(const LongNameSlot& slot) {
    return std::bit_cast<DirectoryEntry>(slot);
}

}  // namespace stowix::fat
