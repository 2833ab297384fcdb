#include "disk/chunk_cache.h"

#include <algorithm>
#include <cstring>

namespace stowix::fat {

Result<std::vector<char>*> ChunkCache::Chunk(qint64 index) {
    if (auto found = m_chunks.find(index); found != m_chunks.end()) {
        m_ages.splice(m_ages.end(), m_ages, found->second.age);
        return &found->second.bytes;
    }
    const qint64 start = index * ChunkBytes;
    std::vector<char> bytes(size_t(std::min(ChunkBytes, m_diskSize - start)));
    TRY(m_read(start, bytes.data(), qint64(bytes.size())));
    if (m_chunks.size() >= MaxChunks) {
        m_chunks.erase(m_ages.front());
        m_ages.pop_front();
    }
    m_ages.push_back(index);
    Entry& entry = m_chunks[index];
    entry.bytes = std::move(bytes);
    entry.age = std::prev(m_ages.end());
    return &entry.bytes;
}

Status ChunkCache::Read(qint64 offset, void* buffer, qint64 size) {
    if (size >= ChunkBytes) return m_read(offset, buffer, size);
    char* at = static_cast<char*>(buffer);
    while (size > 0) {
        const qint64 index = offset / ChunkBytes;
        const qint64 within = offset - index * ChunkBytes;
        std::vector<char>* chunk = TRY(Chunk(index));
        const qint64 piece = std::min(size, qint64(chunk->size()) - within);
        std::memcpy(at, chunk->data() + within, size_t(piece));
        at += piece;
        offset += piece;
        size -= piece;
    }
    return Status::Ok();
}

void ChunkCache::Wrote(qint64 offset, const void* buffer, qint64 size) {
    const char* from = static_cast<const char*>(buffer);
    for (qint64 index = offset / ChunkBytes; index * ChunkBytes < offset + size; ++index) {
        const auto found = m_chunks.find(index);
        if (found == m_chunks.end()) continue;
        const qint64 start = index * ChunkBytes;
        const qint64 first = std::max(offset, start);
        const qint64 end = std::min(offset + size, start + qint64(found->second.bytes.size()));
        if (end > first)
            std::memcpy(found->second.bytes.data() + (first - start), from + (first - offset),
                        size_t(end - first));
    }
}

}  // namespace stowix::fat
