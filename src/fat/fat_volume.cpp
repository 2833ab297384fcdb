// The volume as a whole: its boot sector read, its bytes read and written (held in a batch where
// one is open), whether it may be written, and the dirty bit and note that mark a run in
// progress. The allocation table is allocation_table.cpp's, the batch volume_batch.cpp's.
#include "fat/fat_volume.h"

#include "disk/byte_order.h"
#include "disk/image_format.h"
#include "fat/boot_sector.h"
#include "fat/fat_errors.h"

#include <algorithm>
#include <cstring>

namespace stowix::fat {

namespace {

// The sector as one of the records that lay it out (boot_sector.h).
template <typename Record>
Record As(const unsigned char* sector) {
    static_assert(sizeof(Record) == BootSectorBytes);
    Record record;
    std::memcpy(&record, sector, sizeof record);
    return record;
}

}  // namespace

Result<FatVolume> FatVolume::Open(BlockDevice& device, bool writable, qint64 offset, qint64 length,
                                  QString name) {
    unsigned char boot[BootSectorBytes];
    if (Status read = device.Read(offset, boot, sizeof boot); !read)
        return Status::Fail(name + QStringLiteral(": ") + read.reason());
    if (!LooksLikeFatBootSector(boot) || !HasBootSignature(As<BootSector16>(boot).signature))
        return Status::Fail(name + QStringLiteral(": no FAT file system was found"));

    FatVolume volume;
    volume.m_device = &device;
    volume.m_writable = writable;
    volume.m_offset = offset;
    volume.m_name = std::move(name);
    TRY(volume.ReadLayout(boot, length));
    TRY(volume.ReadTypeFields(boot));
    return volume;
}

Status FatVolume::BootSectorDamaged() const {
    return Status::Fail(m_name + QStringLiteral(": the FAT file system's boot sector is damaged"));
}

// Where the tables, the fixed root and the clusters lie, and of which type the volume is.
Status FatVolume::ReadLayout(const unsigned char* sector, qint64 length) {
    const BiosParameterBlock boot = As<BootSector16>(sector).parameters;
    m_sectorBytes = boot.bytesPerSector.Get();
    const uint32_t sectorsPerCluster = boot.sectorsPerCluster;
    const uint32_t reserved = boot.reservedSectors.Get();
    m_fatCount = boot.tableCount;
    m_rootEntries = boot.rootEntries.Get();
    const uint32_t total = boot.TotalSectors();
    const bool fat32Table = boot.tableSectors.Get() == 0;
    const uint32_t fatSectors =
        fat32Table ? As<BootSector32>(sector).tableSectors.Get() : boot.tableSectors.Get();
    const uint32_t rootSectors = (m_rootEntries * 32 + m_sectorBytes - 1) / m_sectorBytes;
    const uint64_t metaSectors =
        uint64_t(reserved) + uint64_t(m_fatCount) * fatSectors + rootSectors;
    if (fatSectors == 0 || metaSectors >= total) return BootSectorDamaged();
    m_clusterBytes = sectorsPerCluster * m_sectorBytes;
    m_clusterCount = uint32_t((total - metaSectors) / sectorsPerCluster);
    // As Linux and dosfstools tell the type: FAT32 keeps its table's size only in the 32-bit
    // field (mkfs.fat -F 32 makes FAT32 volumes of fewer than 65,525 clusters); the others by
    // their number of clusters.
    if (fat32Table)
        m_type = FatType::Fat32;
    else if (m_clusterCount <= 4084)
        m_type = FatType::Fat12;
    else
        m_type = FatType::Fat16;

    m_fatOffset = qint64(reserved) * m_sectorBytes;
    m_fatBytes = qint64(fatSectors) * m_sectorBytes;
    m_rootOffset = m_fatOffset + qint64(m_fatCount) * m_fatBytes;
    m_dataOffset = m_rootOffset + qint64(rootSectors) * m_sectorBytes;
    const qint64 entryBits = m_type == FatType::Fat12 ? 12 : m_type == FatType::Fat16 ? 16 : 32;
    if ((qint64(m_clusterCount) + 2) * entryBits > m_fatBytes * 8 ||
        qint64(total) * m_sectorBytes > length)
        return BootSectorDamaged();
    return Status::Ok();
}

// The end-of-chain values, the dirty bit and serial number, and FAT32's own fields.
Status FatVolume::ReadTypeFields(const unsigned char* sector) {
    switch (m_type) {
    case FatType::Fat12:
    case FatType::Fat16: {
        const BootSector16 boot = As<BootSector16>(sector);
        m_endOfChain = m_type == FatType::Fat12 ? 0xFF8 : 0xFFF8;
        m_endOfChainMark = m_type == FatType::Fat12 ? 0xFFF : 0xFFFF;
        m_bootDirty = boot.extended.IsDirty();
        m_serial = boot.extended.serial.Get();
        break;
    }
    case FatType::Fat32: {
        const BootSector32 boot = As<BootSector32>(sector);
        m_endOfChain = 0x0FFFFFF8;
        m_endOfChainMark = 0x0FFFFFFF;
        m_bootDirty = boot.extended.IsDirty();
        m_serial = boot.extended.serial.Get();
        m_mirrored = boot.Mirrored();
        m_activeFat = m_mirrored ? 0 : boot.ActiveTable();
        if (m_activeFat >= m_fatCount) return BootSectorDamaged();
        m_rootCluster = boot.rootCluster.Get();
        m_fsInfoSector = boot.fsInfoSector.Get();
        m_rootEntries = 0;
        if (!IsValidCluster(m_rootCluster)) return BootSectorDamaged();
        return ReadFsInfo();
    }
    }
    return Status::Ok();
}

Status FatVolume::ReadFsInfo() {
    if (m_fsInfoSector == 0 || m_fsInfoSector == 0xFFFF || m_sectorBytes < BootSectorBytes)
        return Status::Ok();
    FsInfoSector info;
    const qint64 at = qint64(m_fsInfoSector) * m_sectorBytes;
    if (at + qint64(sizeof info) > m_fatOffset) return Status::Ok();
    TRY(Read(at, &info, sizeof info));
    if (!info.IsValid()) return Status::Ok();
    m_fsInfoOffset = at;
    // The last cluster taken, as the hint names it: the search for free ones starts after it.
    m_hint = info.lastTaken.Get();
    if (IsValidCluster(m_hint))
        m_nextFree = m_hint + 1 > LastCluster() ? 2 : m_hint + 1;
    else
        m_hint = FsInfoSector::Unknown;
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
    m_batchHasData = true;
    const auto write = [this](qint64 at, const void* bytes, qint64 count) {
        return Write(at, bytes, count);
    };
    // A large write goes out at once, after what is held (it may lie under it).
    if (size >= HeldDataBytes / 4) {
        TRY(m_heldData.WriteOut(write));
        return Write(volumeOffset, buffer, size);
    }
    ++m_writes;
    m_heldData.Hold(volumeOffset, buffer, size);
    if (m_heldData.Bytes() >= HeldDataBytes) return m_heldData.WriteOut(write);
    return Status::Ok();
}

Status FatVolume::CopyData(qint64 fromVolumeOffset, qint64 toVolumeOffset, qint64 size) {
    if (Batching()) {
        m_batchHasData = true;
        // Held data may lie under the destination (it would be written over the copy later) or
        // over the source (the copy must see it): it goes out first. Held folder slots never
        // lie over a file's clusters, but a copy that met them would read them through Read.
        const auto write = [this](qint64 at, const void* bytes, qint64 count) {
            return Write(at, bytes, count);
        };
        TRY(m_heldData.WriteOut(write));
        if (m_heldFolders.Overlaps(fromVolumeOffset, size))
            return CopyThroughBuffer(fromVolumeOffset, toVolumeOffset, size);
    }
    if (m_damaged) return Status::Fail(m_whyNotWritable);
    ++m_writes;
    qint64 copied =
        TRY(m_device->CopyInside(m_offset + fromVolumeOffset, m_offset + toVolumeOffset, size));
    if (copied < size)
        return CopyThroughBuffer(fromVolumeOffset + copied, toVolumeOffset + copied, size - copied);
    return Status::Ok();
}

// Where the device cannot copy inside the disk (an old kernel, a file system that refuses it, a
// disk served over a socket), the copy goes through the process in pieces.
Status FatVolume::CopyThroughBuffer(qint64 from, qint64 to, qint64 size) {
    std::vector<char> buffer(size_t(std::min<qint64>(size, HeldDataBytes)));
    for (qint64 done = 0; done < size;) {
        const qint64 piece = std::min<qint64>(qint64(buffer.size()), size - done);
        TRY(Read(from + done, buffer.data(), piece));
        TRY(Write(to + done, buffer.data(), piece));
        done += piece;
    }
    return Status::Ok();
}

Status FatVolume::WriteFolder(qint64 volumeOffset, const void* buffer, qint64 size) {
    if (!Batching()) {
        TRY(Reserve({{volumeOffset, size}}));
        return Write(volumeOffset, buffer, size);
    }
    ++m_writes;
    m_heldFolders.Hold(volumeOffset, buffer, size);
    return Status::Ok();
}

Status FatVolume::Damaged(const QString& what) {
    const QString reason = m_name + QStringLiteral(": the FAT file system is damaged (") + what +
                           QStringLiteral("), so Stowix will not write to it.") +
                           CheckAdvice(m_name);
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

Status FatVolume::CheckWritable() {
    if (m_writability == Writability::Yes) return Status::Ok();
    if (m_writability == Writability::No) return Status::Fail(m_whyNotWritable);
    Status verdict = Status::Ok();
    if (!m_whyReadOnly.isEmpty()) {
        verdict = Status::Fail(m_whyReadOnly);
    } else if (!m_writable) {
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
        uint32_t flags = TRY(Entry(1));
        const uint32_t cleanBits = m_type == FatType::Fat16   ? 0xC000u
                                   : m_type == FatType::Fat32 ? 0x0C000000u
                                                              : 0u;
        if (m_bootDirty || (flags & cleanBits) != cleanBits)
            verdict = Status::Fail(m_name +
                                   QStringLiteral(": the FAT file system was not closed "
                                                  "cleanly (its dirty flag is set), so "
                                                  "Stowix will not write to it.") +
                                   CheckAdvice(m_name));
        else
            verdict = CompareTableCopies(true);
    }
    m_writability = verdict ? Writability::Yes : Writability::No;
    m_whyNotWritable = verdict.reason();
    return verdict;
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

Status FatVolume::Barrier() {
    if (Status synced = m_device->Barrier(); !synced)
        return Status::Fail(m_name + QStringLiteral(": ") + synced.reason());
    return Status::Ok();
}

Status FatVolume::Finish() {
    if (Batching() || m_damaged) return Status::Ok();
    TRY(WriteFreeCount());
    if (!m_marked) return Status::Ok();
    // The clean mark goes last, after everything else is on the disk, and is on the disk
    // itself before the note goes: a run that cannot make it so does not end as done.
    TRY(Barrier());
    TRY(SetCleanBit(true));
    TRY(Barrier());
    m_marked = false;
    m_begun = false;  // a later change marks the volume again
    m_note.Remove();
    return Status::Ok();
}

Status FatVolume::BeginWriting() {
    if (m_begun) return Status::Ok();
    if (m_recovering) {
        TRY(ReclaimLost());
        TRY(MirrorFirstCopy());
        m_recovering = false;
    }
    // Without a note of its own, a dirty bit would be left for ScanDisk to check a volume that
    // only Stowix's own kill left with lost clusters: the run then sets none.
    if (m_note.Make()) {
        m_marked = true;
        TRY(SetCleanBit(false));
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
    uint32_t flags = TRY(Entry(1));
    const bool held = m_dirtyBlocks > 0;
    TRY(SetEntryNow(1, clean ? flags | bit : flags & ~bit));
    if (held) return Status::Ok();  // written with the changes held (block 0 first)
    return WriteTableNow();
}

// Clusters the table gives to a chain that no entry uses: what a kill of Stowix leaves.
Status FatVolume::ReclaimLost() {
    for (uint32_t cluster = 2; cluster <= LastCluster(); ++cluster) {
        uint32_t value = TRY(Entry(cluster));
        if (value == 0 || IsBadMark(value) || IsUsed(cluster)) continue;
        TRY(SetEntryNow(cluster, 0));
        if (m_dirtyBlocks >= LargeBatchBlocks) {
            TRY(WriteTableNow());
        }
    }
    return WriteTableNow();
}

// A kill between the table's copies leaves the later ones behind the first, which is whole.
Status FatVolume::MirrorFirstCopy() {
    constexpr qint64 Chunk = 64 * 1024;
    std::vector<unsigned char> first(Chunk), other(Chunk);
    for (qint64 at = 0; at < m_fatBytes; at += Chunk) {
        const qint64 size = std::min(Chunk, m_fatBytes - at);
        TRY(Read(m_fatOffset + at, first.data(), size));
        for (uint32_t copy = 1; copy < m_fatCount; ++copy) {
            const qint64 where = m_fatOffset + copy * m_fatBytes + at;
            TRY(Read(where, other.data(), size));
            if (std::memcmp(first.data(), other.data(), size_t(size)) == 0) continue;
            TRY(Reserve({{where, size}}));
            TRY(Write(where, first.data(), size));
        }
    }
    return Status::Ok();
}

}  // namespace stowix::fat
