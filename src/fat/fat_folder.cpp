#include "fat/fat_folder.h"

namespace stowix::fat {

namespace {

constexpr int MaxFolderSlots = 65536;  // the largest folder FAT allows

}  // namespace

uint32_t FatFolder::MostClusters(const FatVolume& volume) {
    return uint32_t((qint64(MaxFolderSlots) * SlotBytes + volume.ClusterBytes() - 1) /
                    volume.ClusterBytes());
}

Result<FatFolder> FatFolder::Load(FatVolume& volume, uint32_t firstCluster, const QString& owner) {
    FatFolder folder;
    folder.m_firstCluster = firstCluster;
    folder.m_clusterBytes = volume.ClusterBytes();
    folder.m_type = volume.Type();
    if (firstCluster == 0) {
        folder.m_fixedOffset = volume.FixedRootOffset();
        folder.m_slots.resize(volume.FixedRootEntries());
        TRY(volume.Read(folder.m_fixedOffset, folder.m_slots.data(),
                        qint64(folder.m_slots.size()) * SlotBytes));
        return folder;
    }
    folder.m_clusters = TRY(volume.Chain(firstCluster, MostClusters(volume), owner));
    const int slotsPerCluster = int(volume.ClusterBytes() / SlotBytes);
    folder.m_slots.resize(folder.m_clusters.size() * size_t(slotsPerCluster));
    // Runs of adjacent clusters are read at once.
    for (size_t i = 0; i < folder.m_clusters.size();) {
        size_t run = 1;
        while (i + run < folder.m_clusters.size() &&
               folder.m_clusters[i + run] == folder.m_clusters[i] + run)
            ++run;
        TRY(volume.Read(volume.ClusterOffset(folder.m_clusters[i]),
                        &folder.m_slots[i * size_t(slotsPerCluster)],
                        qint64(run) * volume.ClusterBytes()));
        i += run;
    }
    return folder;
}

qint64 FatFolder::SlotOffset(const FatVolume& volume, int index) const {
    const qint64 at = qint64(index) * SlotBytes;
    if (IsFixedRoot()) return m_fixedOffset + at;
    return volume.ClusterOffset(m_clusters[size_t(at / m_clusterBytes)]) + at % m_clusterBytes;
}

bool FatFolder::Contiguous(const FatVolume& volume, int first, int count) const {
    for (int i = 1; i < count; ++i) {
        if (SlotOffset(volume, first + i) != SlotOffset(volume, first) + qint64(i) * SlotBytes)
            return false;
    }
    return true;
}

Status FatFolder::WriteSlots(FatVolume& volume, int first, int count) const {
    for (int i = 0; i < count;) {
        int run = 1;
        while (i + run < count && SlotOffset(volume, first + i + run) ==
                                      SlotOffset(volume, first + i) + qint64(run) * SlotBytes)
            ++run;
        TRY(volume.WriteFolder(SlotOffset(volume, first + i), &Slot(first + i),
                               qint64(run) * SlotBytes));
        i += run;
    }
    return Status::Ok();
}

Status FatFolder::WriteEntrySlots(FatVolume& volume, int first, int count) const {
    if (Contiguous(volume, first, count)) return WriteSlots(volume, first, count);
    TRY(WriteSlots(volume, first, count - 1));
    return WriteSlots(volume, first + count - 1, 1);
}

void FatFolder::AppendCluster(uint32_t cluster, uint32_t clusterBytes) {
    m_clusters.push_back(cluster);
    m_slots.resize(m_slots.size() + clusterBytes / SlotBytes, DirectoryEntry{});
}

std::vector<FatEntry> FatFolder::Entries(const OemCodePage& codePage) const {
    std::vector<FatEntry> entries;
    // The long name being gathered from LFN slots, last part first.
    std::vector<char16_t> units;
    int expected = 0;  // the order number the next LFN slot must carry; 0 when none is open
    int firstSlot = -1;
    uint8_t checksum = 0;
    for (int index = 0; index < SlotCount(); ++index) {
        const DirectoryEntry& slot = Slot(index);
        if (slot.IsNeverUsed()) break;
        if (slot.name[0] == DirectoryEntry::DeletedMark) {
            expected = 0;
            continue;
        }
        if (slot.IsLongName()) {
            const LongNameSlot part = AsLongName(slot);
            const int order = part.Order();
            if (part.IsLastPart() && order >= 1) {
                units.assign(size_t(order) * LongNameSlot::Units, 0xFFFF);
                expected = order;
                firstSlot = index;
                checksum = part.checksum;
            } else if (expected == 0 || order != expected || part.checksum != checksum) {
                expected = 0;
                continue;
            }
            part.GetUnits(units.data() + (order - 1) * LongNameSlot::Units);
            expected = order - 1 == 0 ? -1 : order - 1;  // -1: complete, awaiting its entry
            continue;
        }
        const bool longNameWhole = expected == -1;
        expected = 0;
        if ((slot.attributes & EntryAttribute::VolumeLabel) != 0) continue;
        FatEntry entry;
        entry.shortName = slot.name;
        entry.attributes = slot.attributes;
        entry.firstCluster = slot.FirstCluster(m_type);
        entry.size = slot.size.Get();
        entry.shortSlot = index;
        entry.firstSlot = index;
        entry.shortText =
            ShortNameText(entry.shortName, codePage, (slot.caseFlags & CaseFlag::LowerBase) != 0,
                          (slot.caseFlags & CaseFlag::LowerExtension) != 0);
        entry.name = entry.shortText;
        if (longNameWhole && ShortNameChecksum(entry.shortName) == checksum) {
            qsizetype length = 0;
            while (length < qsizetype(units.size()) && units[size_t(length)] != 0) ++length;
            entry.name = QString(reinterpret_cast<const QChar*>(units.data()), length);
            entry.firstSlot = firstSlot;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace stowix::fat
