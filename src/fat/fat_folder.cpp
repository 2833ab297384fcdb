#include "fat/fat_folder.h"

#include "fat/byte_order.h"

#include <cstring>

namespace stowix::fat {

namespace {

constexpr int MaxFolderSlots = 65536;  // the largest folder FAT allows

// The UTF-16 units of one LFN slot, in order.
void SlotUnits(const unsigned char* slot, char16_t* units) {
    static constexpr int Offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (int i = 0; i < 13; ++i) units[i] = Le16(slot + Offsets[i]);
}

}  // namespace

uint32_t SlotFirstCluster(const unsigned char* slot, FatType type) {
    const uint32_t low = Le16(slot + 26);
    return type == FatType::Fat32 ? (uint32_t(Le16(slot + 20)) << 16) | low : low;
}

void SetSlotFirstCluster(unsigned char* slot, uint32_t cluster) {
    PutLe16(slot + 20, uint16_t(cluster >> 16));
    PutLe16(slot + 26, uint16_t(cluster & 0xFFFF));
}

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
        folder.m_bytes.resize(qsizetype(volume.FixedRootEntries()) * SlotBytes);
        if (Status read =
                volume.Read(folder.m_fixedOffset, folder.m_bytes.data(), folder.m_bytes.size());
            !read)
            return read;
        return folder;
    }
    Result<std::vector<uint32_t>> chain = volume.Chain(firstCluster, MostClusters(volume), owner);
    if (!chain) return chain.status();
    folder.m_clusters = std::move(chain).value();
    const qint64 size = qint64(folder.m_clusters.size()) * volume.ClusterBytes();
    folder.m_bytes.resize(size);
    // Runs of adjacent clusters are read at once.
    for (size_t i = 0; i < folder.m_clusters.size();) {
        size_t run = 1;
        while (i + run < folder.m_clusters.size() &&
               folder.m_clusters[i + run] == folder.m_clusters[i] + run)
            ++run;
        if (Status read = volume.Read(volume.ClusterOffset(folder.m_clusters[i]),
                                      folder.m_bytes.data() + qint64(i) * volume.ClusterBytes(),
                                      qint64(run) * volume.ClusterBytes());
            !read)
            return read;
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
        if (Status put = volume.WriteFolder(SlotOffset(volume, first + i), Slot(first + i),
                                            qint64(run) * SlotBytes);
            !put)
            return put;
        i += run;
    }
    return Status::Ok();
}

void FatFolder::AppendCluster(uint32_t cluster, uint32_t clusterBytes) {
    m_clusters.push_back(cluster);
    m_bytes.append(QByteArray(qsizetype(clusterBytes), '\0'));
}

std::vector<FatEntry> FatFolder::Entries(const OemCodePage& codePage) const {
    std::vector<FatEntry> entries;
    // The long name being gathered from LFN slots, last part first.
    std::vector<char16_t> units;
    int expected = 0;  // the order number the next LFN slot must carry; 0 when none is open
    int firstSlot = -1;
    uint8_t checksum = 0;
    for (int index = 0; index < SlotCount(); ++index) {
        const unsigned char* slot = Slot(index);
        if (slot[0] == 0x00) break;
        if (slot[0] == 0xE5) {
            expected = 0;
            continue;
        }
        if ((slot[11] & 0x3F) == EntryAttribute::LongName) {
            const int order = slot[0] & 0x1F;
            if ((slot[0] & 0x40) != 0 && order >= 1) {
                units.assign(size_t(order) * 13, 0xFFFF);
                expected = order;
                firstSlot = index;
                checksum = slot[13];
            } else if (expected == 0 || order != expected || slot[13] != checksum) {
                expected = 0;
                continue;
            }
            SlotUnits(slot, units.data() + (order - 1) * 13);
            expected = order - 1 == 0 ? -1 : order - 1;  // -1: complete, awaiting its entry
            continue;
        }
        const bool longNameWhole = expected == -1;
        expected = 0;
        if ((slot[11] & EntryAttribute::VolumeLabel) != 0) continue;
        FatEntry entry;
        std::memcpy(entry.shortName.data(), slot, 11);
        entry.attributes = slot[11];
        entry.firstCluster = SlotFirstCluster(slot, m_type);
        entry.size = Le32(slot + 28);
        entry.shortSlot = index;
        entry.firstSlot = index;
        entry.shortText = ShortNameText(entry.shortName, codePage, (slot[12] & 0x08) != 0,
                                        (slot[12] & 0x10) != 0);
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
