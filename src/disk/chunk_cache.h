#pragma once
// Recently read stretches of a disk that answers over a socket, kept so that the FAT engine's
// many small reads (table blocks, folder clusters, small files lying side by side) cost one
// request a chunk rather than one each. Chunks are aligned, a fixed size, and the least recently
// used goes first; writes go through to the disk and into the chunks they touch, so what is kept
// is always what the disk holds. A forked child keeps a copy as it was at the fork, as it keeps
// the rest of the engine's memory.

#include "services/result.h"

#include <QtGlobal>

#include <functional>
#include <list>
#include <unordered_map>
#include <vector>

namespace stowix::fat {

class ChunkCache {
public:
    // Reads [offset, offset + size) of the disk into buffer, whole.
    using Reader = std::function<Status(qint64 offset, void* buffer, qint64 size)>;

    ChunkCache(qint64 diskSize, Reader read) : m_diskSize(diskSize), m_read(std::move(read)) {}

    // A read of a chunk's size or more goes to the disk directly; smaller ones through chunks.
    Status Read(qint64 offset, void* buffer, qint64 size);
    // Called after a write reached the disk: the chunks it touches take its bytes.
    void Wrote(qint64 offset, const void* buffer, qint64 size);
    // Forgets every chunk: after a write that failed, what the disk holds is not known.
    void Clear() {
        m_chunks.clear();
        m_ages.clear();
    }

    static constexpr qint64 ChunkBytes = 64 * 1024;
    static constexpr size_t MaxChunks = 64;  // 4 MiB

private:
    Result<std::vector<char>*> Chunk(qint64 index);

    struct Entry {
        std::vector<char> bytes;
        std::list<qint64>::iterator age;
    };
    qint64 m_diskSize = 0;
    Reader m_read;
    std::unordered_map<qint64, Entry> m_chunks;
    std::list<qint64> m_ages;  // least recently used first
};

}  // namespace stowix::fat
