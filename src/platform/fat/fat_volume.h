#pragma once
// One FAT12, FAT16 or FAT32 file system inside an image file: its boot sector's parameters, the
// file allocation table, and the bytes of its clusters. Memory stays bounded whatever the size
// of the volume: the table is read through a small cache of 4 KiB blocks, and nothing else of the
// volume is held.
//
// Writing follows one order so that a kill at any moment leaves at worst lost clusters:
// callers write data into clusters that no entry references yet, then change the table with
// SetEntry and CommitTable (which writes the first copy of the table, then every other copy),
// and only then the directory entry that makes the clusters part of a file. Freed clusters are
// committed after the entry that let go of them. FAT32's free-cluster count is marked unknown
// before the first change, as the format allows, so that it can never be wrong.
//
// It refuses to write to a volume whose dirty flag is set, whose table copies disagree, or whose
// table mirroring is switched off: such a volume needs fsck.fat first.

#include "platform/result.h"

#include <QString>

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

namespace stowix::fat {

enum class FatType { Fat12, Fat16, Fat32 };

class FatVolume {
public:
    // fd: the image, open for reading (and writing, when writable). The volume lies at offset,
    // length bytes long. name: the image as messages name it.
    static Result<FatVolume> Open(int fd, bool writable, qint64 offset, qint64 length,
                                  QString name);

    FatType Type() const { return m_type; }
    uint32_t ClusterBytes() const { return m_clusterBytes; }
    // The highest valid cluster number; clusters are numbered from 2.
    uint32_t LastCluster() const { return m_clusterCount + 1; }
    bool IsValidCluster(uint32_t cluster) const
    {
        return cluster >= 2 && cluster <= LastCluster();
    }
    // FAT32's root folder's first cluster; 0 on FAT12 and FAT16, whose root is a fixed region.
    uint32_t RootCluster() const { return m_rootCluster; }
    qint64 FixedRootOffset() const { return m_rootOffset; }   // in bytes from the volume start
    uint32_t FixedRootEntries() const { return m_rootEntries; }
    qint64 ClusterOffset(uint32_t cluster) const
    {
        return m_dataOffset + qint64(cluster - 2) * m_clusterBytes;
    }
    const QString& Name() const { return m_name; }

    // The table's entry for a cluster.
    Result<uint32_t> Entry(uint32_t cluster);
    bool IsEndOfChain(uint32_t value) const { return value >= m_endOfChain; }
    // The clusters of a chain from its first, in order. Fails for a chain that loops, leaves the
    // volume, or meets a free or bad cluster.
    Result<std::vector<uint32_t>> Chain(uint32_t first);

    Status Read(qint64 volumeOffset, void* buffer, qint64 size);
    Status Write(qint64 volumeOffset, const void* buffer, qint64 size);

    // Whether changes may be made; the reason why not, for the user, otherwise. The first call
    // reads the whole table once to compare its copies, a block at a time.
    Status CheckWritable();
    // count free clusters, from after the last one taken on; nothing is changed, so the same
    // call gives the same clusters until SetEntry takes them.
    // Fails with the host's "No space left on device" when there are not so many.
    Result<std::vector<uint32_t>> FindFree(uint32_t count);
    // Changes one table entry in the cache; CommitTable writes it.
    Status SetEntry(uint32_t cluster, uint32_t value);
    uint32_t EndOfChainMark() const { return m_endOfChainMark; }
    // Writes the changed blocks to the first table copy, then to the others.
    Status CommitTable();
    // Forgets changes not yet committed.
    void DiscardTable();
    // Makes every write so far durable.
    Status Flush();

    // An empty volume; only Open gives a usable one.
    FatVolume() = default;

private:
    struct Block {
        std::vector<unsigned char> bytes;
        bool dirty = false;
        std::list<uint32_t>::iterator age;
    };
    Result<Block*> TableBlock(uint32_t index);
    Status ReadTableByte(qint64 offset, unsigned char& byte);
    Status WriteTableByte(qint64 offset, unsigned char byte);
    Status CompareTableCopies();
    Status InvalidateFreeCount();

    int m_fd = -1;  // non-owning; the file system owns the image
    bool m_writable = false;
    qint64 m_offset = 0;
    QString m_name;
    FatType m_type = FatType::Fat16;
    uint32_t m_sectorBytes = 512;
    uint32_t m_clusterBytes = 0;
    uint32_t m_clusterCount = 0;
    uint32_t m_fatCount = 2;
    qint64 m_fatOffset = 0;   // the first copy, in bytes from the volume start
    qint64 m_fatBytes = 0;    // one copy
    uint32_t m_activeFat = 0;
    bool m_mirrored = true;
    qint64 m_rootOffset = 0;
    uint32_t m_rootEntries = 0;
    uint32_t m_rootCluster = 0;
    qint64 m_dataOffset = 0;
    uint32_t m_endOfChain = 0;      // values from this on end a chain
    uint32_t m_endOfChainMark = 0;  // the value written to end one
    uint32_t m_fsInfoSector = 0;
    bool m_bootDirty = false;

    std::unordered_map<uint32_t, Block> m_blocks;
    std::list<uint32_t> m_ages;  // least recently used first
    uint32_t m_nextFree = 2;
    enum class Writability { Unknown, Yes, No };
    Writability m_writability = Writability::Unknown;
    QString m_whyNotWritable;
    bool m_freeCountInvalidated = false;
};

}  // namespace stowix::fat
