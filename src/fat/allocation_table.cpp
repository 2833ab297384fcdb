// The file allocation table of a volume (FatVolume's part of it): read through a cache of
// blocks, changed entry by entry, committed to every copy in an order that a kill cannot turn
// into a chain leading into a free cluster, and counted for free clusters. Kept apart from the
// rest of the volume because it is the one structure every change goes through twice: once to
// take clusters, once to free them.
#include "fat/fat_volume.h"

#include "disk/byte_order.h"
#include "disk/image_io.h"
#include "fat/boot_sector.h"
#include "fat/fat_errors.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace stowix::fat {

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
    TRY(Read(copy + start, block.bytes.data(), size));
    m_ages.push_back(index);
    block.age = std::prev(m_ages.end());
    return &m_blocks.emplace(index, std::move(block)).first->second;
}

Status FatVolume::ReadTableByte(qint64 offset, unsigned char& byte) {
    Block* block = TRY(TableBlock(uint32_t(offset / BlockBytes)));
    byte = block->bytes[size_t(offset % BlockBytes)];
    return Status::Ok();
}

Status FatVolume::WriteTableByte(qint64 offset, unsigned char byte) {
    Block* block = TRY(TableBlock(uint32_t(offset / BlockBytes)));
    block->bytes[size_t(offset % BlockBytes)] = byte;
    if (!block->dirty) ++m_dirtyBlocks;
    block->dirty = true;
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
        TRY(ReadTableByte(at, bytes[0]));
        TRY(ReadTableByte(at + 1, bytes[1]));
        const uint32_t pair = Le16(bytes);
        return (cluster & 1) ? pair >> 4 : pair & 0xFFF;
    }
    case FatType::Fat16:
    case FatType::Fat32: {
        // An entry never crosses a block: blocks are a whole number of entries.
        size_t within = 0;
        Block* block = TRY(EntryBlock(cluster, within));
        const unsigned char* at = block->bytes.data() + within;
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
    uint32_t old = TRY(Entry(cluster));
    if (m_freeClusters >= 0) {
        if (old == 0 && value != 0)
            --m_freeClusters;
        else if (old != 0 && value == 0)
            ++m_freeClusters;
    }
    if (value != 0 && old != 0 && value != old) {
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
    if (value != 0 && old == 0) {
        NoteTaken(cluster);
        m_hint = cluster;
        if (cluster >= m_nextFree) m_nextFree = cluster + 1 > LastCluster() ? 2 : cluster + 1;
    }
    return StoreEntry(cluster, value);
}

// Puts the value into the entry's bytes in the cache, the neighbour's half byte of FAT12 and the
// reserved top bits of FAT32 kept.
Status FatVolume::StoreEntry(uint32_t cluster, uint32_t value) {
    switch (m_type) {
    case FatType::Fat12: {
        const qint64 at = qint64(cluster) + cluster / 2;
        unsigned char bytes[2];
        for (int i = 0; i < 2; ++i) {
            TRY(ReadTableByte(at + i, bytes[i]));
        }
        uint32_t pair = Le16(bytes);
        pair = (cluster & 1) ? (pair & 0x000F) | ((value & 0xFFF) << 4)
                             : (pair & 0xF000) | (value & 0xFFF);
        PutLe16(bytes, uint16_t(pair));
        for (int i = 0; i < 2; ++i) {
            TRY(WriteTableByte(at + i, bytes[i]));
        }
        return Status::Ok();
    }
    case FatType::Fat16:
    case FatType::Fat32: {
        size_t within = 0;
        Block* block = TRY(EntryBlock(cluster, within));
        unsigned char* at = block->bytes.data() + within;
        if (m_type == FatType::Fat16)
            PutLe16(at, uint16_t(value));
        else  // the top four bits are reserved and keep their value
            PutLe32(at, (Le32(at) & 0xF0000000) | (value & 0x0FFFFFFF));
        if (!block->dirty) ++m_dirtyBlocks;
        block->dirty = true;
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
        uint32_t next = TRY(Entry(cluster));
        if (next == 0)
            return Damaged(owner + QStringLiteral(": a cluster of its chain is marked free"));
        if (IsBadMark(next))
            return Damaged(owner + QStringLiteral(": its cluster chain meets a bad cluster"));
        if (IsEndOfChain(next)) return clusters;
        cluster = next;
    }
}

Status FatVolume::CompareTableCopies(bool refuseDifferences) {
    // A whole number of FAT12 entry pairs (3 bytes) and of FAT32 entries (4 bytes).
    constexpr qint64 Chunk = 48 * 1024;
    std::vector<unsigned char> first(Chunk), other(Chunk);
    int64_t free = 0;
    for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
        const qint64 size = std::min(Chunk, m_fatBytes - at);
        TRY(Read(m_fatOffset + at, first.data(), size));
        free += CountFree(at, first.data(), size);
        for (uint32_t copy = 1; copy < m_fatCount; ++copy) {
            TRY(Read(m_fatOffset + copy * m_fatBytes + at, other.data(), size));
            if (refuseDifferences && std::memcmp(first.data(), other.data(), size_t(size)) != 0)
                return Status::Fail(m_name +
                                    QStringLiteral(": the copies of the file "
                                                   "allocation table disagree, so "
                                                   "Stowix will not write to it.") +
                                    CheckAdvice(m_name));
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
        TRY(Read(table + at, bytes.data(), size));
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

Status FatVolume::InvalidateFreeCount() {
    if (m_freeCountInvalidated || m_fsInfoOffset < 0) return Status::Ok();
    m_freeCountInvalidated = true;
    unsigned char unknown[8];
    PutLe32(unknown, FsInfoSector::Unknown);
    PutLe32(unknown + 4, FsInfoSector::Unknown);
    return Write(m_fsInfoOffset + qint64(offsetof(FsInfoSector, freeCount)), unknown,
                 sizeof unknown);
}

Status FatVolume::WriteFreeCount() {
    // Left unknown when the count was lost with a failed change.
    if (!m_freeCountInvalidated || m_fsInfoOffset < 0 || m_freeClusters < 0 || Batching())
        return Status::Ok();
    unsigned char known[8];
    PutLe32(known, uint32_t(m_freeClusters));
    PutLe32(known + 4, m_hint);
    TRY(Write(m_fsInfoOffset + qint64(offsetof(FsInfoSector, freeCount)), known, sizeof known));
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
        uint32_t value = TRY(Entry(cluster));
        if (value == 0 && !IsUsed(cluster)) {
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
        TRY(WriteBlocks(m_fatOffset + qint64(copy) * m_fatBytes, dirty));
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
        TRY(Write(table + qint64(blocks[i]) * BlockBytes, run.data(), qint64(run.size())));
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

Status FatVolume::CommitTable() {
    if (Batching()) return Status::Ok();
    if (m_dirtyBlocks == 0) return Status::Ok();
    TRY(ReserveMetadata());
    TRY(InvalidateFreeCount());
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

// Writes the changed blocks of the table at once, also inside a batch: for changes that may
// precede all of the batch's (nothing of it is held yet when writing begins).
Status FatVolume::WriteTableNow() {
    if (m_dirtyBlocks == 0) return Status::Ok();
    TRY(ReserveMetadata());
    TRY(InvalidateFreeCount());
    return WriteTable();
}

}  // namespace stowix::fat
