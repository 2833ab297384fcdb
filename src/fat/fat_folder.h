#pragma once
// One folder of a FAT volume held in memory while it is read or changed: its 32-byte slots
// (directory_entry.h) and the clusters they lie in (or the fixed root region of FAT12 and FAT16).
// The entries are parsed from the slots with their long names (when the LFN slots before a short
// entry are whole and carry its checksum; otherwise the short name stands). Changes are made to the
// slots here and written to the volume slot range by slot range. A folder costs its own size in
// memory, never more.

#include "dos/name_rules.h"
#include "fat/directory_entry.h"
#include "fat/fat_names.h"
#include "fat/fat_volume.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace stowix::fat {

struct FatEntry {
    QString name;       // the long name, or the short name as Windows shows it
    QString shortText;  // the short name as Windows shows it
    ShortName shortName{};
    uint8_t attributes = 0;
    uint32_t firstCluster = 0;
    uint32_t size = 0;  // in bytes; 0 for folders
    int firstSlot = 0;  // the first LFN slot, or the short entry when there is none
    int shortSlot = 0;

    bool IsFolder() const { return (attributes & EntryAttribute::Folder) != 0; }
    bool IsDotEntry() const { return IsDotOrDotDot(name); }
};

class FatFolder {
public:
    // The folder that starts at this cluster; 0 names the fixed root of FAT12 and FAT16. owner
    // names it in the damage a chain too long or broken is told as.
    static Result<FatFolder> Load(FatVolume& volume, uint32_t firstCluster, const QString& owner);
    // The most clusters a folder's chain may have on this volume.
    static uint32_t MostClusters(const FatVolume& volume);

    uint32_t FirstCluster() const { return m_firstCluster; }
    int SlotCount() const { return int(m_slots.size()); }
    DirectoryEntry& Slot(int index) { return m_slots[size_t(index)]; }
    const DirectoryEntry& Slot(int index) const { return m_slots[size_t(index)]; }
    // Where a slot lies, in bytes from the volume's start.
    qint64 SlotOffset(const FatVolume& volume, int index) const;
    // True when slots first .. first+count-1 lie one after another on the volume.
    bool Contiguous(const FatVolume& volume, int first, int count) const;
    const std::vector<uint32_t>& Clusters() const { return m_clusters; }
    bool IsFixedRoot() const { return m_firstCluster == 0; }

    // Every entry in slot order, the "." and ".." entries and hidden ones included; volume
    // labels and deleted entries left out.
    std::vector<FatEntry> Entries(const OemCodePage& codePage) const;
    // Writes slots first .. first+count-1 from memory to the volume.
    Status WriteSlots(FatVolume& volume, int first, int count) const;
    // Writes the slots of one entry, first .. first+count-1 with its short entry last: at once
    // when they lie in one piece on the volume; otherwise the long name's slots first and the
    // short entry after them, so that the short entry, which makes the file exist, changes only
    // once all of its long name has.
    Status WriteEntrySlots(FatVolume& volume, int first, int count) const;
    // Adds an empty cluster (already zeroed on disk and chained) to the folder's slots.
    void AppendCluster(uint32_t cluster, uint32_t clusterBytes);

private:
    uint32_t m_firstCluster = 0;
    std::vector<uint32_t> m_clusters;
    qint64 m_fixedOffset = 0;
    uint32_t m_clusterBytes = 0;
    FatType m_type = FatType::Fat16;
    std::vector<DirectoryEntry> m_slots;
};

}  // namespace stowix::fat
