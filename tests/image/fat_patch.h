#pragma once
// The raw places of a FAT16 or FAT32 volume's entries and table, read from its boot sector, so
// that a test can damage a volume that mtools made, on purpose and byte by byte, the way a
// crash or a faulty tool would. Paths are of short names ("WINDOWS\WIN.INI"), without a drive.

#include "image/mtools_image.h"

#include <cstdint>
#include <vector>

namespace stowix::test {

class FatPatch {
public:
    explicit FatPatch(MtoolsImage& image);

    uint32_t ClusterBytes() const { return m_clusterBytes; }
    uint32_t LastCluster() const { return m_clusterCount + 1; }
    uint32_t EndMark() const { return m_fat32 ? 0x0FFFFFFF : 0xFFFF; }
    uint32_t BadMark() const { return m_fat32 ? 0x0FFFFFF7 : 0xFFF7; }

    // The volume offset of a path's 32-byte entry; -1 when there is none.
    qint64 EntryOffset(const QString& path) const;
    uint32_t FirstCluster(const QString& path) const;
    void SetFirstCluster(const QString& path, uint32_t cluster);
    uint32_t Size(const QString& path) const;
    void SetSize(const QString& path, uint32_t size);
    // The table's entry for a cluster (the first copy), and a change of it in every copy.
    uint32_t Next(uint32_t cluster) const;
    void SetNext(uint32_t cluster, uint32_t value);
    // The clusters of a chain, as far as it goes soundly.
    std::vector<uint32_t> Chain(uint32_t first) const;
    // The volume offset of a cluster's bytes.
    qint64 ClusterOffset(uint32_t cluster) const {
        return m_dataOffset + qint64(cluster - 2) * m_clusterBytes;
    }
    // Overwrites a cluster with zeros, as a lost write or a faulty tool leaves it.
    void ZeroCluster(uint32_t cluster);
    // The table's second entry, where Windows keeps the dirty bit.
    bool DirtyBitSet() const;

private:
    qint64 FindIn(uint32_t folderCluster, const QByteArray& shortName) const;

    MtoolsImage& m_image;
    bool m_fat32 = true;
    uint32_t m_clusterBytes = 0;
    uint32_t m_clusterCount = 0;
    uint32_t m_fatCount = 2;
    qint64 m_fatOffset = 0;
    qint64 m_fatBytes = 0;
    qint64 m_rootOffset = 0;  // FAT16's fixed root
    uint32_t m_rootEntries = 0;
    uint32_t m_rootCluster = 0;
    qint64 m_dataOffset = 0;
};

}  // namespace stowix::test
