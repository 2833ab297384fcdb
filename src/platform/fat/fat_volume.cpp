#include "platform/fat/fat_volume.h"

#include "platform/fat/byte_order.h"
#include "platform/fat/image_format.h"
#include "platform/fat/image_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace stowix::fat {

namespace {

constexpr uint32_t BlockBytes = 4096;
constexpr size_t CachedBlocks = 256;  // 1 MiB of the table at most, beyond uncommitted changes

QString Check(const QString& name)
{
    return QStringLiteral(" Check it first, for example with fsck.fat on the partition (on a "
                          "copy of %1, or after the program that uses it has ended).")
        .arg(name);
}

}  // namespace

Result<FatVolume> FatVolume::Open(int fd, bool writable, qint64 offset, qint64 length,
                                  QString name)
{
    unsigned char boot[512];
    if (Status read = ReadExactly(fd, offset, boot, sizeof boot); !read)
        return Status::Fail(name + QStringLiteral(": ") + read.reason());
    if (!LooksLikeFatBootSector(boot) || boot[510] != 0x55 || boot[511] != 0xAA)
        return Status::Fail(name + QStringLiteral(": no FAT file system was found"));

    FatVolume volume;
    volume.m_fd = fd;
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
    const QString damaged = volume.m_name + QStringLiteral(": the FAT file system's boot sector "
                                                           "is damaged");
    if (fatSectors == 0 || metaSectors >= total)
        return Status::Fail(damaged);
    volume.m_clusterBytes = sectorsPerCluster * volume.m_sectorBytes;
    volume.m_clusterCount = uint32_t((total - metaSectors) / sectorsPerCluster);
    if (volume.m_clusterCount < 4085)
        volume.m_type = FatType::Fat12;
    else if (volume.m_clusterCount < 65525)
        volume.m_type = FatType::Fat16;
    else
        volume.m_type = FatType::Fat32;

    volume.m_fatOffset = qint64(reserved) * volume.m_sectorBytes;
    volume.m_fatBytes = qint64(fatSectors) * volume.m_sectorBytes;
    volume.m_rootOffset = volume.m_fatOffset + qint64(volume.m_fatCount) * volume.m_fatBytes;
    volume.m_dataOffset = volume.m_rootOffset + qint64(rootSectors) * volume.m_sectorBytes;
    const qint64 entryBits = volume.m_type == FatType::Fat12 ? 12
                             : volume.m_type == FatType::Fat16 ? 16 : 32;
    if ((qint64(volume.m_clusterCount) + 2) * entryBits > volume.m_fatBytes * 8 ||
        qint64(total) * volume.m_sectorBytes > length)
        return Status::Fail(damaged);

    switch (volume.m_type) {
    case FatType::Fat12:
        volume.m_endOfChain = 0xFF8;
        volume.m_endOfChainMark = 0xFFF;
        volume.m_bootDirty = (boot[37] & 1) != 0;
        break;
    case FatType::Fat16:
        volume.m_endOfChain = 0xFFF8;
        volume.m_endOfChainMark = 0xFFFF;
        volume.m_bootDirty = (boot[37] & 1) != 0;
        break;
    case FatType::Fat32: {
        volume.m_endOfChain = 0x0FFFFFF8;
        volume.m_endOfChainMark = 0x0FFFFFFF;
        volume.m_bootDirty = (boot[65] & 1) != 0;
        const uint16_t flags = Le16(boot + 40);
        volume.m_mirrored = (flags & 0x80) == 0;
        volume.m_activeFat = volume.m_mirrored ? 0 : (flags & 0x0F);
        if (volume.m_activeFat >= volume.m_fatCount)
            return Status::Fail(damaged);
        volume.m_rootCluster = Le32(boot + 44);
        volume.m_fsInfoSector = Le16(boot + 48);
        volume.m_rootEntries = 0;
        if (!volume.IsValidCluster(volume.m_rootCluster))
            return Status::Fail(damaged);
        break;
    }
    }
    return volume;
}

Status FatVolume::Read(qint64 volumeOffset, void* buffer, qint64 size)
{
    if (Status read = ReadExactly(m_fd, m_offset + volumeOffset, buffer, size); !read)
        return Status::Fail(m_name + QStringLiteral(": ") + read.reason());
    return Status::Ok();
}

Status FatVolume::Write(qint64 volumeOffset, const void* buffer, qint64 size)
{
    return WriteExactly(m_fd, m_offset + volumeOffset, buffer, size);
}

Result<FatVolume::Block*> FatVolume::TableBlock(uint32_t index)
{
    if (auto found = m_blocks.find(index); found != m_blocks.end()) {
        m_ages.splice(m_ages.end(), m_ages, found->second.age);
        return &found->second;
    }
    if (m_blocks.size() >= CachedBlocks) {
        for (auto oldest = m_ages.begin(); oldest != m_ages.end(); ++oldest) {
            auto block = m_blocks.find(*oldest);
            if (block->second.dirty)
                continue;
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
    if (Status read = Read(copy + start, block.bytes.data(), size); !read)
        return read;
    m_ages.push_back(index);
    block.age = std::prev(m_ages.end());
    return &m_blocks.emplace(index, std::move(block)).first->second;
}

Status FatVolume::ReadTableByte(qint64 offset, unsigned char& byte)
{
    Result<Block*> block = TableBlock(uint32_t(offset / BlockBytes));
    if (!block)
        return block.status();
    byte = block.value()->bytes[size_t(offset % BlockBytes)];
    return Status::Ok();
}

Status FatVolume::WriteTableByte(qint64 offset, unsigned char byte)
{
    Result<Block*> block = TableBlock(uint32_t(offset / BlockBytes));
    if (!block)
        return block.status();
    block.value()->bytes[size_t(offset % BlockBytes)] = byte;
    block.value()->dirty = true;
    return Status::Ok();
}

Result<uint32_t> FatVolume::Entry(uint32_t cluster)
{
    unsigned char bytes[4] = {};
    switch (m_type) {
    case FatType::Fat12: {
        const qint64 at = qint64(cluster) + cluster / 2;
        if (Status read = ReadTableByte(at, bytes[0]); !read)
            return read;
        if (Status read = ReadTableByte(at + 1, bytes[1]); !read)
            return read;
        const uint32_t pair = Le16(bytes);
        return (cluster & 1) ? pair >> 4 : pair & 0xFFF;
    }
    case FatType::Fat16:
        for (int i = 0; i < 2; ++i) {
            if (Status read = ReadTableByte(qint64(cluster) * 2 + i, bytes[i]); !read)
                return read;
        }
        return uint32_t(Le16(bytes));
    case FatType::Fat32:
        for (int i = 0; i < 4; ++i) {
            if (Status read = ReadTableByte(qint64(cluster) * 4 + i, bytes[i]); !read)
                return read;
        }
        return Le32(bytes) & 0x0FFFFFFF;
    }
    return uint32_t(0);
}

Status FatVolume::SetEntry(uint32_t cluster, uint32_t value)
{
    // The next search for free clusters starts after the last one taken.
    if (value != 0 && cluster >= m_nextFree)
        m_nextFree = cluster + 1 > LastCluster() ? 2 : cluster + 1;
    switch (m_type) {
    case FatType::Fat12: {
        const qint64 at = qint64(cluster) + cluster / 2;
        unsigned char bytes[2];
        for (int i = 0; i < 2; ++i) {
            if (Status read = ReadTableByte(at + i, bytes[i]); !read)
                return read;
        }
        uint32_t pair = Le16(bytes);
        pair = (cluster & 1) ? (pair & 0x000F) | ((value & 0xFFF) << 4)
                             : (pair & 0xF000) | (value & 0xFFF);
        PutLe16(bytes, uint16_t(pair));
        for (int i = 0; i < 2; ++i) {
            if (Status put = WriteTableByte(at + i, bytes[i]); !put)
                return put;
        }
        return Status::Ok();
    }
    case FatType::Fat16: {
        unsigned char bytes[2];
        PutLe16(bytes, uint16_t(value));
        for (int i = 0; i < 2; ++i) {
            if (Status put = WriteTableByte(qint64(cluster) * 2 + i, bytes[i]); !put)
                return put;
        }
        return Status::Ok();
    }
    case FatType::Fat32: {
        unsigned char bytes[4];
        for (int i = 0; i < 4; ++i) {
            if (Status read = ReadTableByte(qint64(cluster) * 4 + i, bytes[i]); !read)
                return read;
        }
        // The top four bits are reserved and keep their value.
        PutLe32(bytes, (Le32(bytes) & 0xF0000000) | (value & 0x0FFFFFFF));
        for (int i = 0; i < 4; ++i) {
            if (Status put = WriteTableByte(qint64(cluster) * 4 + i, bytes[i]); !put)
                return put;
        }
        return Status::Ok();
    }
    }
    return Status::Ok();
}

Result<std::vector<uint32_t>> FatVolume::Chain(uint32_t first)
{
    std::vector<uint32_t> clusters;
    uint32_t cluster = first;
    while (true) {
        if (!IsValidCluster(cluster) || clusters.size() > m_clusterCount)
            return Status::Fail(m_name + QStringLiteral(": a cluster chain of the FAT file "
                                                        "system is damaged.") +
                                Check(m_name));
        clusters.push_back(cluster);
        Result<uint32_t> next = Entry(cluster);
        if (!next)
            return next.status();
        if (IsEndOfChain(next.value()))
            return clusters;
        cluster = next.value();
    }
}

Status FatVolume::CompareTableCopies()
{
    constexpr qint64 Chunk = 64 * 1024;
    std::vector<unsigned char> first(Chunk), other(Chunk);
    for (uint32_t copy = 1; copy < m_fatCount; ++copy) {
        for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
            const qint64 size = std::min(Chunk, m_fatBytes - at);
            if (Status read = Read(m_fatOffset + at, first.data(), size); !read)
                return read;
            if (Status read = Read(m_fatOffset + copy * m_fatBytes + at, other.data(), size);
                !read)
                return read;
            if (std::memcmp(first.data(), other.data(), size_t(size)) != 0)
                return Status::Fail(m_name + QStringLiteral(": the copies of the file "
                                                            "allocation table disagree, so "
                                                            "Stowix will not write to it.") +
                                    Check(m_name));
        }
    }
    return Status::Ok();
}

Status FatVolume::CheckWritable()
{
    if (m_writability == Writability::Yes)
        return Status::Ok();
    if (m_writability == Writability::No)
        return Status::Fail(m_whyNotWritable);
    Status verdict = Status::Ok();
    if (!m_writable) {
        verdict = Status::Fail(m_name + QStringLiteral(": the image file is open only for "
                                                       "reading (it is not writable)"));
    } else if (!m_mirrored) {
        verdict = Status::Fail(m_name + QStringLiteral(": the copies of its file allocation "
                                                       "table are not kept alike (mirroring is "
                                                       "off), so Stowix will not write to it"));
    } else {
        Result<uint32_t> flags = Entry(1);
        if (!flags)
            return flags.status();
        const uint32_t cleanBits = m_type == FatType::Fat16   ? 0xC000u
                                   : m_type == FatType::Fat32 ? 0x0C000000u
                                                              : 0u;
        if (m_bootDirty || (flags.value() & cleanBits) != cleanBits)
            verdict = Status::Fail(m_name + QStringLiteral(": the FAT file system was not closed "
                                                           "cleanly (its dirty flag is set), so "
                                                           "Stowix will not write to it.") +
                                   Check(m_name));
        else
            verdict = CompareTableCopies();
    }
    m_writability = verdict ? Writability::Yes : Writability::No;
    m_whyNotWritable = verdict.reason();
    return verdict;
}

Status FatVolume::InvalidateFreeCount()
{
    if (m_freeCountInvalidated || m_type != FatType::Fat32 || m_fsInfoSector == 0)
        return Status::Ok();
    m_freeCountInvalidated = true;
    unsigned char info[512];
    const qint64 at = qint64(m_fsInfoSector) * m_sectorBytes;
    if (Status read = Read(at, info, sizeof info); !read)
        return read;
    if (Le32(info) != 0x41615252 || Le32(info + 484) != 0x61417272)
        return Status::Ok();
    if (Le32(info + 488) == 0xFFFFFFFF && Le32(info + 492) == 0xFFFFFFFF)
        return Status::Ok();
    unsigned char unknown[8];
    PutLe32(unknown, 0xFFFFFFFF);
    PutLe32(unknown + 4, 0xFFFFFFFF);
    return Write(at + 488, unknown, sizeof unknown);
}

Result<std::vector<uint32_t>> FatVolume::FindFree(uint32_t count)
{
    std::vector<uint32_t> found;
    found.reserve(count);
    if (count == 0)
        return found;
    const uint32_t start = IsValidCluster(m_nextFree) ? m_nextFree : 2;
    uint32_t cluster = start;
    do {
        Result<uint32_t> value = Entry(cluster);
        if (!value)
            return value.status();
        if (value.value() == 0) {
            found.push_back(cluster);
            if (found.size() == count)
                return found;
        }
        cluster = cluster == LastCluster() ? 2 : cluster + 1;
    } while (cluster != start);
    return Status::Fail(HostReason(ENOSPC));
}

Status FatVolume::CommitTable()
{
    if (Status invalidated = InvalidateFreeCount(); !invalidated)
        return invalidated;
    std::vector<uint32_t> dirty;
    for (const auto& [index, block] : m_blocks) {
        if (block.dirty)
            dirty.push_back(index);
    }
    std::sort(dirty.begin(), dirty.end());
    for (uint32_t copy = 0; copy < m_fatCount; ++copy) {
        if (!m_mirrored && copy != m_activeFat)
            continue;
        for (uint32_t index : dirty) {
            const Block& block = m_blocks.at(index);
            const qint64 at = m_fatOffset + qint64(copy) * m_fatBytes + qint64(index) * BlockBytes;
            if (Status put = Write(at, block.bytes.data(), qint64(block.bytes.size())); !put)
                return put;
        }
    }
    for (uint32_t index : dirty)
        m_blocks.at(index).dirty = false;
    return Status::Ok();
}

void FatVolume::DiscardTable()
{
    for (auto block = m_blocks.begin(); block != m_blocks.end();) {
        if (block->second.dirty) {
            m_ages.erase(block->second.age);
            block = m_blocks.erase(block);
        } else {
            ++block;
        }
    }
}

Status FatVolume::Flush()
{
    if (::fsync(m_fd) != 0)
        return Status::Fail(HostReason(errno));
    return Status::Ok();
}

}  // namespace stowix::fat
