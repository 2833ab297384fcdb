#pragma once
// The cluster chains of files and folders as the file system makes and frees them: a new chain's
// clusters found free, its data placed in them, and only then the table changed and committed;
// a chain freed in the table. Kept apart from the folders' slots (folder_cache.h) because this is
// the allocation table's side of every change, and the one place that commits the table or
// discards a change that failed half way.

#include "fat/fat_volume.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace stowix::fat {

// Fills count bytes of a new file's content from offset on.
using Fill = std::function<Status(qint64 offset, char* buffer, qint64 count)>;
// Puts count bytes of a new file's content, from offset on (a cluster's start), into the volume
// at a new cluster's offset and the adjacent ones after it; the rest of the last cluster is the
// placer's to fill. A failure is told for the new file.
using Place = std::function<Status(qint64 offset, qint64 count, qint64 at)>;

// Makes change (its calls of SetEntry) and commits the table. When either fails, what the change
// set is discarded (inside a batch, the batch is spoilt), so that no half-made change reaches
// the image later; the failure is told for path.
Status ChangeTable(FatVolume& volume, const QString& path, const std::function<Status()>& change);

class ChainWriter {
public:
    // volume must outlive the writer.
    explicit ChainWriter(FatVolume& volume) : m_volume(volume) {}

    // Places what fill gives through the copy buffer, the rest of the last cluster zeroed. The
    // placer refers to fill and path: both must outlive it.
    Place Filling(const Fill& fill, const QString& path);
    // A new chain of size bytes: its data placed by place into free clusters, then the chain
    // committed to the table; nothing names it yet, so a kill leaves at worst lost clusters.
    // Gives its first cluster, or 0 for an empty file.
    Result<uint32_t> WriteNewChain(qint64 size, const Place& place, const QString& path);
    // Frees the chain from first (nothing for a first cluster that names none). Call it only
    // once no entry names the chain any more.
    Status FreeChain(uint32_t first, const QString& path);

private:
    FatVolume& m_volume;
    std::vector<char> m_copyBuffer;  // a new chain's bytes on their way; CopyBufferBytes at most
};

}  // namespace stowix::fat
