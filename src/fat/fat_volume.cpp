#include "fat/fat_volume.h"

#include "fat/byte_order.h"
#include "fat/image_format.h"
#include "fat/image_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace stowix::fat {

namespace {

constexpr uint32_t BlockBytes = 4096;
constexpr size_t CachedBlocks = 256;  // 1 MiB of the table at most, beyond uncommitted changes
constexpr qint64 HeldDataBytes = 1024 * 1024;  // a batch's data, held to be written in runs
// What a batch holds before CommitWhenLarge writes it out.
constexpr qint64 LargeBatchBytes = 4 * 1024 * 1024;
constexpr size_t LargeBatchBlocks = 512;
constexpr size_t LargeBatchFrees = 256 * 1024;
constexpr size_t MaxTakenRuns = 64 * 1024;  // about 3 MiB of runs at most

QString Check(const QString& name) {
    return QStringLiteral(
               " Check it first, for example with fsck.fat on the partition (on a "
               "copy of %1, or after the program that uses it has ended), or with ScanDisk.")
        .arg(name);
}

}  // namespace

Result<FatVolume> FatVolume::Open(BlockDevice& device, bool writable, qint64 offset, qint64 length,
                                  QString name) {
    unsigned char boot[512];
    if (Status read = device.Read(offset, boot, sizeof boot); !read)
        return Status::Fail(name + QStringLiteral(": ") + read.reason());
    if (!LooksLikeFatBootSector(boot) || boot[510] != 0x55 || boot[511] != 0xAA)
        return Status::Fail(name + QStringLiteral(": no FAT file system was found"));

    FatVolume volume;
    volume.m_device = &device;
    volume.m_writable = writable;
    volume.m_offset = offset;
    volume.m_name = std::move(name);
    volume.m_sectorBytes = Le16(boot + 11);
    const uint32_t sectorsPerCluster = boot[13];
    const uint32_t reserved = Le16(boot + 14);
    volume.m_fatCount = boot[16];
    volume.m_rootEntries = Le16(boot + 17);
    const uint32_t total = Le16(boot + 19) != 0 ? Le16(boot + 19) : Le32(boot + 32);
    const uint32_t fatSectors = Le16(boot + 22) != 0 ? Le16(boot + 22) : Le32(boot + 36);
    const uint32_t rootSectors =
        (volume.m_rootEntries * 32 + volume.m_sectorBytes - 1) / volume.m_sectorBytes;
    const uint64_t metaSectors =
        uint64_t(reserved) + uint64_t(volume.m_fatCount) * fatSectors + rootSectors;
    const QString damaged = volume.m_name + QStringLiteral(
                                                ": the FAT file system's boot sector "
                                                "is damaged");
    if (fatSectors == 0 || metaSectors >= total) return Status::Fail(damaged);
    volume.m_clusterBytes = sectorsPerCluster * volume.m_sectorBytes;
    volume.m_clusterCount = uint32_t((total - metaSectors) / sectorsPerCluster);
    // As Linux and dosfstools tell the type: FAT32 keeps its table's size only in the 32-bit
    // field (mkfs.fat -F 32 makes FAT32 volumes of fewer than 65,525 clusters); the others by
    // their number of clusters.
    if (Le16(boot + 22) == 0)
        volume.m_type = FatType::Fat32;
    else if (volume.m_clusterCount <= 4084)
        volume.m_type = FatType::Fat12;
    else
        volume.m_type = FatType::Fat16;

    volume.m_fatOffset = qint64(reserved) * volume.m_sectorBytes;
    volume.m_fatBytes = qint64(fatSectors) * volume.m_sectorBytes;
    volume.m_rootOffset = volume.m_fatOffset + qint64(volume.m_fatCount) * volume.m_fatBytes;
    volume.m_dataOffset = volume.m_rootOffset + qint64(rootSectors) * volume.m_sectorBytes;
    const qint64 entryBits = volume.m_type == FatType::Fat12   ? 12
                             : volume.m_type == FatType::Fat16 ? 16
                                                               : 32;
    if ((qint64(volume.m_clusterCount) + 2) * entryBits > volume.m_fatBytes * 8 ||
        qint64(total) * volume.m_sectorBytes > length)
        return Status::Fail(damaged);

    switch (volume.m_type) {
    case FatType::Fat12:
        volume.m_endOfChain = 0xFF8;
        volume.m_endOfChainMark = 0xFFF;
        volume.m_bootDirty = (boot[37] & 1) != 0;
        volume.m_serial = Le32(boot + 39);
        break;
    case FatType::Fat16:
        volume.m_endOfChain = 0xFFF8;
        volume.m_endOfChainMark = 0xFFFF;
        volume.m_bootDirty = (boot[37] & 1) != 0;
        volume.m_serial = Le32(boot + 39);
        break;
    case FatType::Fat32: {
        volume.m_endOfChain = 0x0FFFFFF8;
        volume.m_endOfChainMark = 0x0FFFFFFF;
        volume.m_bootDirty = (boot[65] & 1) != 0;
        volume.m_serial = Le32(boot + 67);
        const uint16_t flags = Le16(boot + 40);
        volume.m_mirrored = (flags & 0x80) == 0;
        volume.m_activeFat = volume.m_mirrored ? 0 : (flags & 0x0F);
        if (volume.m_activeFat >= volume.m_fatCount) return Status::Fail(damaged);
        volume.m_rootCluster = Le32(boot + 44);
        volume.m_fsInfoSector = Le16(boot + 48);
        volume.m_rootEntries = 0;
        if (!volume.IsValidCluster(volume.m_rootCluster)) return Status::Fail(damaged);
        if (Status info = volume.ReadFsInfo(); !info) return info;
        break;
    }
    }
    return volume;
}

Status FatVolume::ReadFsInfo() {
    if (m_fsInfoSector == 0 || m_fsInfoSector == 0xFFFF || m_sectorBytes < 512) return Status::Ok();
    unsigned char info[512];
    const qint64 at = qint64(m_fsInfoSector) * m_sectorBytes;
    if (at + qint64(sizeof info) > m_fatOffset) return Status::Ok();
    if (Status read = Read(at, info, sizeof info); !read) return read;
    if (Le32(info) != 0x41615252 || Le32(info + 484) != 0x61417272) return Status::Ok();
    m_fsInfoOffset = at;
    // The last cluster taken, as the hint names it: the search for free ones starts after it.
    m_hint = Le32(info + 492);
    if (IsValidCluster(m_hint))
        m_nextFree = m_hint + 1 > LastCluster() ? 2 : m_hint + 1;
    else
        m_hint = 0xFFFFFFFF;
    return Status::Ok();
}

Status FatVolume::Read(qint64 volumeOffset, void* buffer, qint64 size) {
    if (Status read = m_device->Read(m_offset + volumeOffset, buffer, size); !read)
        return Status::Fail(m_name + QStringLiteral(": ") + read.reason());
    // Held folder slots lie over held data: they are written after it.
    m_heldData.LayOver(volumeOffset, buffer, size);
    m_heldFolders.LayOver(volumeOffset, buffer, size);
    return Status::Ok();
}

Status FatVolume::Write(qint64 volumeOffset, const void* buffer, qint64 size) {
    if (m_damaged) return Status::Fail(m_whyNotWritable);
    ++m_writes;
    return m_device->Write(m_offset + volumeOffset, buffer, size);
}

Status FatVolume::WriteData(qint64 volumeOffset, const void* buffer, qint64 size) {
    if (!Batching()) return Write(volumeOffset, buffer, size);
    const auto write = [this](qint64 at, const void* bytes, qint64 count) {
        return Write(at, bytes, count);
    };
    // A large write goes out at once, after what is held (it may lie under it).
    if (size >= HeldDataBytes / 4) {
        if (Status put = m_heldData.WriteOut(write); !put) return put;
        return Write(volumeOffset, buffer, size);
    }
    ++m_writes;
    m_heldData.Hold(volumeOffset, buffer, size);
    if (m_heldData.Bytes() >= HeldDataBytes) return m_heldData.WriteOut(write);
    return Status::Ok();
}

Status FatVolume::CopyData(qint64 fromVolumeOffset, qint64 toVolumeOffset, qint64 size) {
    if (Batching()) {
        // Held data may lie under the destination (it would be written over the copy later) or
        // over the source (the copy must see it): it goes out first. Held folder slots never
        // lie over a file's clusters, but a copy that met them would read them through Read.
        const auto write = [this](qint64 at, const void* bytes, qint64 count) {
            return Write(at, bytes, count);
        };
        if (Status put = m_heldData.WriteOut(write); !put) return put;
        if (m_heldFolders.Overlaps(fromVolumeOffset, size))
            return CopyThroughBuffer(fromVolumeOffset, toVolumeOffset, size);
    }
    if (m_damaged) return Status::Fail(m_whyNotWritable);
    ++m_writes;
    Result<qint64> copied =
        m_device->CopyInside(m_offset + fromVolumeOffset, m_offset + toVolumeOffset, size);
    if (!copied) return copied.status();
    if (copied.value() < size)
        return CopyThroughBuffer(fromVolumeOffset + copied.value(), toVolumeOffset + copied.value(),
                                 size - copied.value());
    return Status::Ok();
}

// Where the device cannot copy inside the disk (an old kernel, a file system that refuses it, a
// disk served over a socket), the copy goes through the process in pieces.
Status FatVolume::CopyThroughBuffer(qint64 from, qint64 to, qint64 size) {
    std::vector<char> buffer(size_t(std::min<qint64>(size, HeldDataBytes)));
    for (qint64 done = 0; done < size;) {
        const qint64 piece = std::min<qint64>(qint64(buffer.size()), size - done);
        if (Status read = Read(from + done, buffer.data(), piece); !read) return read;
        if (Status put = Write(to + done, buffer.data(), piece); !put) return put;
        done += piece;
    }
    return Status::Ok();
}

Status FatVolume::WriteFolder(qint64 volumeOffset, const void* buffer, qint64 size) {
    if (!Batching()) {
        if (Status room = Reserve({{volumeOffset, size}}); !room) return room;
        return Write(volumeOffset, buffer, size);
    }
    ++m_writes;
    m_heldFolders.Hold(volumeOffset, buffer, size);
    return Status::Ok();
}

Result<FatVolume::Block*> FatVolume::TableBlock(uint32_t index) {
    if (auto found = m_blocks.find(index); found != m_blocks.end()) {
        m_ages.splice(m_ages.end(), m_ages, found->second.age);
        return &found->second;
    }
    if (m_blocks.size() >= CachedBlocks) {
        for (auto oldest = m_ages.begin(); oldest != m_ages.end(); ++oldest) {
            auto block = m_blocks.find(*oldest);
            if (block->second.dirty) continue;
            m_blocks.erase(block);
            m_ages.erase(oldest);
            break;
        }
    }
    const qint64 start = qint64(index) * BlockBytes;
    const qint64 size = std::min<qint64>(BlockBytes, m_fatBytes - start);
    Block block;
    block.bytes.resize(size_t(size));
    const qint64 copy = m_fatOffset + qint64(m_activeFat) * m_fatBytes;
    if (Status read = Read(copy + start, block.bytes.data(), size); !read) return read;
    m_ages.push_back(index);
    block.age = std::prev(m_ages.end());
    return &m_blocks.emplace(index, std::move(block)).first->second;
}

Status FatVolume::ReadTableByte(qint64 offset, unsigned char& byte) {
    Result<Block*> block = TableBlock(uint32_t(offset / BlockBytes));
    if (!block) return block.status();
    byte = block.value()->bytes[size_t(offset % BlockBytes)];
    return Status::Ok();
}

Status FatVolume::WriteTableByte(qint64 offset, unsigned char byte) {
    Result<Block*> block = TableBlock(uint32_t(offset / BlockBytes));
    if (!block) return block.status();
    block.value()->bytes[size_t(offset % BlockBytes)] = byte;
    if (!block.value()->dirty) ++m_dirtyBlocks;
    block.value()->dirty = true;
    return Status::Ok();
}

Result<FatVolume::Block*> FatVolume::EntryBlock(uint32_t cluster, size_t& within) {
    const qint64 at = qint64(cluster) * (m_type == FatType::Fat32 ? 4 : 2);
    within = size_t(at % BlockBytes);
    return TableBlock(uint32_t(at / BlockBytes));
}

Result<uint32_t> FatVolume::Entry(uint32_t cluster) {
    unsigned char bytes[4] = {};
    switch (m_type) {
    case FatType::Fat12: {
        const qint64 at = qint64(cluster) + cluster / 2;
        if (Status read = ReadTableByte(at, bytes[0]); !read) return read;
        if (Status read = ReadTableByte(at + 1, bytes[1]); !read) return read;
        const uint32_t pair = Le16(bytes);
        return (cluster & 1) ? pair >> 4 : pair & 0xFFF;
    }
    case FatType::Fat16:
    case FatType::Fat32: {
        // An entry never crosses a block: blocks are a whole number of entries.
        size_t within = 0;
        Result<Block*> block = EntryBlock(cluster, within);
        if (!block) return block.status();
        const unsigned char* at = block.value()->bytes.data() + within;
        return m_type == FatType::Fat16 ? uint32_t(Le16(at)) : Le32(at) & 0x0FFFFFFF;
    }
    }
    (void)bytes;
    return uint32_t(0);
}

Status FatVolume::SetEntry(uint32_t cluster, uint32_t value) {
    if (value == 0 && Batching()) {
        m_heldFrees.push_back(cluster);
        return Status::Ok();
    }
    return SetEntryNow(cluster, value);
}

Status FatVolume::SetEntryNow(uint32_t cluster, uint32_t value) {
    Result<uint32_t> old = Entry(cluster);
    if (!old) return old.status();
    if (m_freeClusters >= 0) {
        if (old.value() == 0 && value != 0)
            --m_freeClusters;
        else if (old.value() != 0 && value == 0)
            ++m_freeClusters;
    }
    if (value != 0 && old.value() != 0 && value != old.value()) {
        const qint64 at = m_type == FatType::Fat12
                              ? qint64(cluster) * 3 / 2
                              : qint64(cluster) * (m_type == FatType::Fat32 ? 4 : 2);
        m_relinkBlocks.insert(uint32_t(at / BlockBytes));
        m_relinkBlocks.insert(uint32_t((at + 1) / BlockBytes));
    }
    if (value != 0)
        MarkUsed(cluster);
    else if (cluster / 64 < m_used.size())
        m_used[cluster / 64] &= ~(uint64_t(1) << (cluster % 64));
    // The next search for free clusters starts after the last one taken.
    if (value != 0 && old.value() == 0) {
        NoteTaken(cluster);
        m_hint = cluster;
        if (cluster >= m_nextFree) m_nextFree = cluster + 1 > LastCluster() ? 2 : cluster + 1;
    }
    switch (m_type) {
    case FatType::Fat12: {
        const qint64 at = qint64(cluster) + cluster / 2;
        unsigned char bytes[2];
        for (int i = 0; i < 2; ++i) {
            if (Status read = ReadTableByte(at + i, bytes[i]); !read) return read;
        }
        uint32_t pair = Le16(bytes);
        pair = (cluster & 1) ? (pair & 0x000F) | ((value & 0xFFF) << 4)
                             : (pair & 0xF000) | (value & 0xFFF);
        PutLe16(bytes, uint16_t(pair));
        for (int i = 0; i < 2; ++i) {
            if (Status put = WriteTableByte(at + i, bytes[i]); !put) return put;
        }
        return Status::Ok();
    }
    case FatType::Fat16:
    case FatType::Fat32: {
        size_t within = 0;
        Result<Block*> block = EntryBlock(cluster, within);
        if (!block) return block.status();
        unsigned char* at = block.value()->bytes.data() + within;
        if (m_type == FatType::Fat16)
            PutLe16(at, uint16_t(value));
        else  // the top four bits are reserved and keep their value
            PutLe32(at, (Le32(at) & 0xF0000000) | (value & 0x0FFFFFFF));
        if (!block.value()->dirty) ++m_dirtyBlocks;
        block.value()->dirty = true;
        return Status::Ok();
    }
    }
    return Status::Ok();
}

Result<std::vector<uint32_t>> FatVolume::Chain(uint32_t first, uint32_t most,
                                               const QString& owner) {
    std::vector<uint32_t> clusters;
    uint32_t cluster = first;
    while (true) {
        if (!IsValidCluster(cluster))
            return Damaged(owner + QStringLiteral(": its cluster chain leads past the volume's "
                                                  "last cluster"));
        if (clusters.size() >= most)
            return Damaged(owner + QStringLiteral(": its cluster chain is longer than it can "
                                                  "be (it loops, or its size is wrong)"));
        clusters.push_back(cluster);
        Result<uint32_t> next = Entry(cluster);
        if (!next) return next.status();
        if (next.value() == 0)
            return Damaged(owner + QStringLiteral(": a cluster of its chain is marked free"));
        if (IsBadMark(next.value()))
            return Damaged(owner + QStringLiteral(": its cluster chain meets a bad cluster"));
        if (IsEndOfChain(next.value())) return clusters;
        cluster = next.value();
    }
}

Status FatVolume::Damaged(const QString& what) {
    const QString reason = m_name + QStringLiteral(": the FAT file system is damaged (") + what +
                           QStringLiteral("), so Stowix will not write to it.") + Check(m_name);
    if (!m_damaged) {
        m_damaged = true;
        m_writability = Writability::No;
        m_whyNotWritable = reason;
        if (Batching()) m_batchSpoilt = true;
    }
    return Status::Fail(reason);
}

void FatVolume::MarkUsed(uint32_t cluster) {
    if (cluster / 64 < m_used.size()) m_used[cluster / 64] |= uint64_t(1) << (cluster % 64);
}

Status FatVolume::CompareTableCopies(bool refuseDifferences) {
    // A whole number of FAT12 entry pairs (3 bytes) and of FAT32 entries (4 bytes).
    constexpr qint64 Chunk = 48 * 1024;
    std::vector<unsigned char> first(Chunk), other(Chunk);
    int64_t free = 0;
    for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
        const qint64 size = std::min(Chunk, m_fatBytes - at);
        if (Status read = Read(m_fatOffset + at, first.data(), size); !read) return read;
        free += CountFree(at, first.data(), size);
        for (uint32_t copy = 1; copy < m_fatCount; ++copy) {
            if (Status read = Read(m_fatOffset + copy * m_fatBytes + at, other.data(), size); !read)
                return read;
            if (refuseDifferences && std::memcmp(first.data(), other.data(), size_t(size)) != 0)
                return Status::Fail(m_name +
                                    QStringLiteral(": the copies of the file "
                                                   "allocation table disagree, so "
                                                   "Stowix will not write to it.") +
                                    Check(m_name));
        }
    }
    m_freeClusters = free;
    return Status::Ok();
}

Result<int64_t> FatVolume::FreeClusters() {
    if (m_freeClusters >= 0) return m_freeClusters;
    // Not counted yet: no change has been made (a change counts them first, CheckWritable), so
    // the table in use on the image is the whole truth.
    constexpr qint64 Chunk = 48 * 1024;  // whole FAT12 entry pairs and FAT32 entries
    std::vector<unsigned char> bytes(Chunk);
    const qint64 table = m_fatOffset + qint64(m_activeFat) * m_fatBytes;
    int64_t free = 0;
    for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
        const qint64 size = std::min(Chunk, m_fatBytes - at);
        if (Status read = Read(table + at, bytes.data(), size); !read) return read;
        free += CountFree(at, bytes.data(), size);
    }
    m_freeClusters = free;
    return free;
}

int64_t FatVolume::CountFree(qint64 at, const unsigned char* bytes, qint64 size) const {
    int64_t free = 0;
    const auto count = [&](uint64_t cluster, uint32_t value) {
        if (value == 0 && cluster >= 2 && cluster <= LastCluster()) ++free;
    };
    switch (m_type) {
    case FatType::Fat12:
        for (qint64 i = 0; i + 2 <= size; i += 3) {
            const uint64_t cluster = uint64_t(at + i) / 3 * 2;
            count(cluster, bytes[i] | ((bytes[i + 1] & 0x0F) << 8));
            if (i + 3 <= size) count(cluster + 1, (bytes[i + 1] >> 4) | (bytes[i + 2] << 4));
        }
        break;
    case FatType::Fat16:
        for (qint64 i = 0; i + 2 <= size; i += 2) count(uint64_t(at + i) / 2, Le16(bytes + i));
        break;
    case FatType::Fat32:
        for (qint64 i = 0; i + 4 <= size; i += 4)
            count(uint64_t(at + i) / 4, Le32(bytes + i) & 0x0FFFFFFF);
        break;
    }
    return free;
}

Status FatVolume::CheckWritable() {
    if (m_writability == Writability::Yes) return Status::Ok();
    if (m_writability == Writability::No) return Status::Fail(m_whyNotWritable);
    Status verdict = Status::Ok();
    if (!m_writable) {
        verdict = Status::Fail(m_name + QStringLiteral(": the image file is open only for "
                                                       "reading (it is not writable)"));
    } else if (!m_mirrored) {
        verdict = Status::Fail(m_name + QStringLiteral(": the copies of its file allocation "
                                                       "table are not kept alike (mirroring is "
                                                       "off), so Stowix will not write to it"));
    } else if (m_recovering = m_note.Exists(); m_recovering) {
        // What a run of Stowix left is mended before the first change (BeginWriting).
        verdict = CompareTableCopies(false);
    } else {
        Result<uint32_t> flags = Entry(1);
        if (!flags) return flags.status();
        const uint32_t cleanBits = m_type == FatType::Fat16   ? 0xC000u
                                   : m_type == FatType::Fat32 ? 0x0C000000u
                                                              : 0u;
        if (m_bootDirty || (flags.value() & cleanBits) != cleanBits)
            verdict = Status::Fail(m_name +
                                   QStringLiteral(": the FAT file system was not closed "
                                                  "cleanly (its dirty flag is set), so "
                                                  "Stowix will not write to it.") +
                                   Check(m_name));
        else
            verdict = CompareTableCopies(true);
    }
    m_writability = verdict ? Writability::Yes : Writability::No;
    m_whyNotWritable = verdict.reason();
    return verdict;
}

Status FatVolume::InvalidateFreeCount() {
    if (m_freeCountInvalidated || m_fsInfoOffset < 0) return Status::Ok();
    m_freeCountInvalidated = true;
    unsigned char unknown[8];
    PutLe32(unknown, 0xFFFFFFFF);
    PutLe32(unknown + 4, 0xFFFFFFFF);
    return Write(m_fsInfoOffset + 488, unknown, sizeof unknown);
}

Status FatVolume::WriteFreeCount() {
    // Left unknown when the count was lost with a failed change.
    if (!m_freeCountInvalidated || m_fsInfoOffset < 0 || m_freeClusters < 0 || Batching())
        return Status::Ok();
    unsigned char known[8];
    PutLe32(known, uint32_t(m_freeClusters));
    PutLe32(known + 4, m_hint);
    if (Status put = Write(m_fsInfoOffset + 488, known, sizeof known); !put) return put;
    m_freeCountInvalidated = false;
    return Status::Ok();
}

Result<std::vector<uint32_t>> FatVolume::FindFree(uint32_t count) {
    std::vector<uint32_t> found;
    found.reserve(count);
    if (count == 0) return found;
    const uint32_t start = IsValidCluster(m_nextFree) ? m_nextFree : 2;
    uint32_t cluster = start;
    do {
        Result<uint32_t> value = Entry(cluster);
        if (!value) return value.status();
        if (value.value() == 0 && !IsUsed(cluster)) {
            found.push_back(cluster);
            if (found.size() == count) return found;
        }
        cluster = cluster == LastCluster() ? 2 : cluster + 1;
    } while (cluster != start);
    return Status::Fail(HostReason(ENOSPC));
}

// Within each copy, the blocks whose entries only took free clusters go first and the blocks
// that link an existing chain on (a folder grown by a cluster) last: a kill between two of its
// writes then leaves at worst lost clusters, never a chain that leads into a free cluster.
Status FatVolume::WriteTable() {
    std::vector<uint32_t> dirty;
    for (const auto& [index, block] : m_blocks) {
        if (block.dirty) dirty.push_back(index);
    }
    std::sort(dirty.begin(), dirty.end());
    std::stable_partition(dirty.begin(), dirty.end(),
                          [this](uint32_t index) { return m_relinkBlocks.count(index) == 0; });
    for (uint32_t copy = 0; copy < m_fatCount; ++copy) {
        if (!m_mirrored && copy != m_activeFat) continue;
        if (Status put = WriteBlocks(m_fatOffset + qint64(copy) * m_fatBytes, dirty); !put)
            return put;
    }
    for (uint32_t index : dirty) m_blocks.at(index).dirty = false;
    m_dirtyBlocks = 0;
    m_relinkBlocks.clear();
    return Status::Ok();
}

// Runs of adjacent blocks are written at once.
Status FatVolume::WriteBlocks(qint64 table, const std::vector<uint32_t>& blocks) {
    std::vector<unsigned char> run;
    for (size_t i = 0; i < blocks.size();) {
        size_t count = 1;
        while (i + count < blocks.size() && blocks[i + count] == blocks[i] + count && count < 64)
            ++count;
        run.clear();
        for (size_t k = 0; k < count; ++k) {
            const std::vector<unsigned char>& bytes = m_blocks.at(blocks[i + k]).bytes;
            run.insert(run.end(), bytes.begin(), bytes.end());
        }
        if (Status put =
                Write(table + qint64(blocks[i]) * BlockBytes, run.data(), qint64(run.size()));
            !put)
            return put;
        i += count;
    }
    return Status::Ok();
}

// A host disk that fills up must fail a change before its first write to the table or a folder,
// not between the table's copies (which would differ) or between a file's slots: the room for
// every block of them is reserved first, where holes of a sparse image would need it.
Status FatVolume::ReserveMetadata() {
    std::vector<uint32_t> blocks;
    for (const auto& [index, block] : m_blocks) {
        if (block.dirty) blocks.push_back(index);
    }
    const qint64 entryBytes = m_type == FatType::Fat32 ? 4 : 2;
    for (uint32_t cluster : m_heldFrees) {
        const qint64 at = m_type == FatType::Fat12 ? qint64(cluster) * 3 / 2 : cluster * entryBytes;
        blocks.push_back(uint32_t(at / BlockBytes));
        blocks.push_back(uint32_t((at + 1) / BlockBytes));  // a FAT12 entry may cross blocks
    }
    std::vector<std::pair<qint64, qint64>> ranges;
    for (uint32_t copy = 0; copy < m_fatCount; ++copy) {
        const qint64 table = m_fatOffset + qint64(copy) * m_fatBytes;
        for (uint32_t index : blocks) {
            const qint64 start = qint64(index) * BlockBytes;
            if (start < m_fatBytes)
                ranges.emplace_back(table + start,
                                    std::min<qint64>(BlockBytes, m_fatBytes - start));
        }
    }
    m_heldFolders.EachRange([&](qint64 at, qint64 size) { ranges.emplace_back(at, size); });
    if (m_fsInfoOffset >= 0) ranges.emplace_back(m_fsInfoOffset, 512);
    return Reserve(std::move(ranges));
}

Status FatVolume::Reserve(std::vector<std::pair<qint64, qint64>> ranges) {
    if (!m_writable) return Status::Ok();
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 0; i < ranges.size();) {
        const qint64 start = ranges[i].first;
        qint64 end = start + ranges[i].second;
        for (++i; i < ranges.size() && ranges[i].first <= end; ++i)
            end = std::max(end, ranges[i].first + ranges[i].second);
        if (Status room = m_device->Reserve(m_offset + start, end - start); !room)
            return Status::Fail(m_name + QStringLiteral(": ") + room.reason());
    }
    return Status::Ok();
}

Status FatVolume::CommitTable() {
    if (Batching()) return Status::Ok();
    if (m_dirtyBlocks == 0) return Status::Ok();
    if (Status room = ReserveMetadata(); !room) return room;
    if (Status invalidated = InvalidateFreeCount(); !invalidated) return invalidated;
    return WriteTable();
}

void FatVolume::DiscardTable() {
    if (Batching()) {
        m_batchSpoilt = true;
        return;
    }
    for (auto block = m_blocks.begin(); block != m_blocks.end();) {
        if (block->second.dirty) {
            m_ages.erase(block->second.age);
            block = m_blocks.erase(block);
        } else {
            ++block;
        }
    }
    m_dirtyBlocks = 0;
    m_relinkBlocks.clear();
    // Which of the changes reached the image is not known: the count is not written again.
    m_freeClusters = -1;
}

void FatVolume::BeginBatch() {
    // The data a batch holds grows to HeldDataBytes and at most a quarter more before it goes
    // out (WriteData).
    if (m_batchDepth++ == 0) m_heldData.Reserve(size_t(HeldDataBytes + HeldDataBytes / 4));
}

Status FatVolume::EndBatch() {
    if (m_batchDepth == 0 || --m_batchDepth > 0) return Status::Ok();
    ++m_batchDepth;  // CommitBatch writes as a batch does
    Status committed = CommitBatch();
    m_batchDepth = 0;
    m_batchSpoilt = false;
    return committed;
}

Result<bool> FatVolume::CommitWhenLarge() {
    if (!Batching() || m_batchSpoilt) return false;
    if (m_heldData.Bytes() + m_heldFolders.Bytes() < LargeBatchBytes &&
        m_dirtyBlocks < LargeBatchBlocks && m_heldFrees.size() < LargeBatchFrees)
        return false;
    if (Status committed = CommitBatch(); !committed) return committed;
    return true;
}

Status FatVolume::CommitBatch() {
    if (m_batchSpoilt) {
        AbandonBatch();
        return Status::Fail(m_name + QStringLiteral(": the changes could not be completed"));
    }
    const auto write = [this](qint64 at, const void* bytes, qint64 count) {
        return Write(at, bytes, count);
    };
    const bool frees = !m_heldFrees.empty();
    bool durableFrees = false;
    for (size_t i = 0; !durableFrees && i < m_heldFrees.size(); ++i)
        durableFrees = !TakenSinceFlush(m_heldFrees[i]);
    Status done = ReserveMetadata();
    if (done) done = m_heldData.WriteOut(write);
    if (done && (m_dirtyBlocks > 0 || frees)) done = InvalidateFreeCount();
    if (done) done = WriteTable();
    // A replaced entry must not reach the disk before its new chain, nor its old clusters be
    // free on disk before it: barriers, for a power cut (see the header).
    if (done && durableFrees) done = Barrier();
    if (done) done = m_heldFolders.WriteOut(write);
    if (done && frees) {
        if (durableFrees) done = Barrier();
        const std::vector<uint32_t> freed = std::move(m_heldFrees);
        m_heldFrees.clear();
        for (size_t i = 0; done && i < freed.size(); ++i) done = SetEntryNow(freed[i], 0);
        if (done) done = WriteTable();
    }
    if (!done) {
        AbandonBatch();
        return done;
    }
    return Status::Ok();
}

void FatVolume::AbandonBatch() {
    ++m_writes;  // what readers saw of the held bytes is gone
    m_heldData.Clear();
    m_heldFolders.Clear();
    m_heldFrees.clear();
    const int depth = m_batchDepth;
    m_batchDepth = 0;
    DiscardTable();
    m_batchDepth = depth;
    m_batchSpoilt = false;
}

Status FatVolume::Barrier() {
    if (Status synced = m_device->Barrier(); !synced)
        return Status::Fail(m_name + QStringLiteral(": ") + synced.reason());
    return Status::Ok();
}

Status FatVolume::Flush() {
    if (Batching()) {
        if (Status committed = CommitBatch(); !committed) return committed;
    }
    if (Status counted = WriteFreeCount(); !counted) return counted;
    if (Status flushed = m_device->Flush(); !flushed) return flushed;
    m_takenRuns.clear();
    m_takenOverflow = false;
    return Status::Ok();
}

void FatVolume::NoteTaken(uint32_t cluster) {
    if (m_takenOverflow) return;
    auto next = m_takenRuns.upper_bound(cluster);
    if (next != m_takenRuns.begin()) {
        auto before = std::prev(next);
        if (before->second > cluster) return;
        if (before->second == cluster) {
            before->second = cluster + 1;
            if (next != m_takenRuns.end() && next->first == cluster + 1) {
                before->second = next->second;
                m_takenRuns.erase(next);
            }
            return;
        }
    }
    if (next != m_takenRuns.end() && next->first == cluster + 1) {
        const uint32_t end = next->second;
        m_takenRuns.erase(next);
        m_takenRuns.emplace(cluster, end);
        return;
    }
    if (m_takenRuns.size() >= MaxTakenRuns) {
        m_takenRuns.clear();
        m_takenOverflow = true;
        return;
    }
    m_takenRuns.emplace(cluster, cluster + 1);
}

bool FatVolume::TakenSinceFlush(uint32_t cluster) const {
    if (m_takenOverflow) return false;
    auto next = m_takenRuns.upper_bound(cluster);
    return next != m_takenRuns.begin() && std::prev(next)->second > cluster;
}

Status FatVolume::Finish() {
    if (Batching() || m_damaged) return Status::Ok();
    if (Status counted = WriteFreeCount(); !counted) return counted;
    if (!m_marked) return Status::Ok();
    // The clean mark goes last, after everything else is on the disk.
    if (Status barrier = Barrier(); !barrier) return barrier;
    if (Status clean = SetCleanBit(true); !clean) return clean;
    m_marked = false;
    m_note.Remove();
    return Status::Ok();
}

Status FatVolume::BeginWriting() {
    if (m_begun) return Status::Ok();
    if (m_recovering) {
        if (Status reclaimed = ReclaimLost(); !reclaimed) return reclaimed;
        if (Status mirrored = MirrorFirstCopy(); !mirrored) return mirrored;
        m_recovering = false;
    }
    // Without a note of its own, a dirty bit would be left for ScanDisk to check a volume that
    // only Stowix's own kill left with lost clusters: the run then sets none.
    if (m_note.Make()) {
        m_marked = true;
        if (Status marked = SetCleanBit(false); !marked) return marked;
    }
    m_begun = true;
    return Status::Ok();
}

// The dirty bit Windows keeps in the table's second entry (FAT16 and FAT32; FAT12 has none):
// the clean-shutdown bit, cleared while the volume is in use. Written at once, ahead of any
// change held for the table: a batch's first change comes after it.
Status FatVolume::SetCleanBit(bool clean) {
    const uint32_t bit = m_type == FatType::Fat16   ? 0x8000u
                         : m_type == FatType::Fat32 ? 0x08000000u
                                                    : 0u;
    if (bit == 0) return Status::Ok();
    Result<uint32_t> flags = Entry(1);
    if (!flags) return flags.status();
    const bool held = m_dirtyBlocks > 0;
    if (Status set = SetEntryNow(1, clean ? flags.value() | bit : flags.value() & ~bit); !set)
        return set;
    if (held) return Status::Ok();  // written with the changes held (block 0 first)
    return WriteTableNow();
}

// Clusters the table gives to a chain that no entry uses: what a kill of Stowix leaves.
Status FatVolume::ReclaimLost() {
    for (uint32_t cluster = 2; cluster <= LastCluster(); ++cluster) {
        Result<uint32_t> value = Entry(cluster);
        if (!value) return value.status();
        if (value.value() == 0 || IsBadMark(value.value()) || IsUsed(cluster)) continue;
        if (Status freed = SetEntryNow(cluster, 0); !freed) return freed;
        if (m_dirtyBlocks >= LargeBatchBlocks) {
            if (Status written = WriteTableNow(); !written) return written;
        }
    }
    return WriteTableNow();
}

// Writes the changed blocks of the table at once, also inside a batch: for changes that may
// precede all of the batch's (nothing of it is held yet when writing begins).
Status FatVolume::WriteTableNow() {
    if (m_dirtyBlocks == 0) return Status::Ok();
    if (Status room = ReserveMetadata(); !room) return room;
    if (Status invalidated = InvalidateFreeCount(); !invalidated) return invalidated;
    return WriteTable();
}

// A kill between the table's copies leaves the later ones behind the first, which is whole.
Status FatVolume::MirrorFirstCopy() {
    constexpr qint64 Chunk = 64 * 1024;
    std::vector<unsigned char> first(Chunk), other(Chunk);
    for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
        const qint64 size = std::min(Chunk, m_fatBytes - at);
        if (Status read = Read(m_fatOffset + at, first.data(), size); !read) return read;
        for (uint32_t copy = 1; copy < m_fatCount; ++copy) {
            const qint64 where = m_fatOffset + copy * m_fatBytes + at;
            if (Status read = Read(where, other.data(), size); !read) return read;
            if (std::memcmp(first.data(), other.data(), size_t(size)) == 0) continue;
            if (Status room = Reserve({{where, size}}); !room) return room;
            if (Status put = Write(where, first.data(), size); !put) return put;
        }
    }
    return Status::Ok();
}

}  // namespace stowix::fat
