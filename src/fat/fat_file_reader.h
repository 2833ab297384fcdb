#pragma once
// A file of the image read in pieces, as the file system's OpenForReading gives it out. Kept
// apart from the file system because a reader lives on its own: it may outlast the call that
// made it, and sees changes made to the image since through the volume's count of writes.
//
// It follows the chain as far as each read needs. Small reads are served from up to
// ReadAheadBytes of adjacent clusters read at once, kept only while nothing has been written to
// the image since.

#include "fat/fat_volume.h"
#include "fs/file_system.h"

#include <QString>

#include <memory>
#include <vector>

namespace stowix::fat {

class FatFileReader final : public FileReader {
public:
    // volume: kept alive by the reader. first: the file's first cluster; size: in bytes. path
    // names the file in failures.
    FatFileReader(std::shared_ptr<FatVolume> volume, uint32_t first, qint64 size, QString path)
        : m_volume(std::move(volume)),
          m_first(first),
          m_size(size),
          m_path(std::move(path)),
          m_cluster(first) {}

    qint64 Size() const override { return m_size; }
    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override;

private:
    static constexpr qint64 ReadAheadBytes = 128 * 1024;

    // Moves m_cluster to the cluster at this position in the chain.
    Status SeekCluster(qint64 index);
    // How many clusters from m_cluster on lie one after another, as far as want bytes go.
    Result<qint64> AdjacentRun(qint64 want);
    // A chain that ends before the file does, or leaves the volume.
    Status ChainDamage();

    std::shared_ptr<FatVolume> m_volume;
    uint32_t m_first;
    qint64 m_size;
    QString m_path;
    qint64 m_index = 0;  // the position in the chain of m_cluster
    uint32_t m_cluster;
    std::vector<char> m_ahead;  // the file's bytes from m_aheadOffset on
    qint64 m_aheadOffset = 0;
    uint64_t m_aheadWrites = 0;  // the volume's Writes() when they were read
};

}  // namespace stowix::fat
