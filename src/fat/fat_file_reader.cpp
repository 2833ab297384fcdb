#include "fat/fat_file_reader.h"

#include "fat/fat_errors.h"

#include <algorithm>
#include <cstring>

namespace stowix::fat {

Result<qint64> FatFileReader::ReadAt(qint64 offset, char* buffer, qint64 size) {
    if (offset >= m_size || size <= 0) return qint64(0);
    size = std::min(size, m_size - offset);
    FatVolume& volume = *m_volume;
    if (m_aheadWrites != volume.Writes()) m_ahead.clear();
    if (offset >= m_aheadOffset && offset < m_aheadOffset + qint64(m_ahead.size())) {
        const qint64 length = std::min(size, m_aheadOffset + qint64(m_ahead.size()) - offset);
        std::memcpy(buffer, m_ahead.data() + (offset - m_aheadOffset), size_t(length));
        return length;
    }
    const qint64 clusterBytes = volume.ClusterBytes();
    const qint64 index = offset / clusterBytes;
    TRY(SeekCluster(index));
    // The run of adjacent clusters from this one, as far as the read (or the read-ahead) and
    // the file go.
    const qint64 start = index * clusterBytes;
    const qint64 within = offset - start;
    const bool ahead = size < ReadAheadBytes;
    const qint64 want = std::min(ahead ? ReadAheadBytes : within + size, m_size - start);
    const qint64 run = TRY(AdjacentRun(want));
    const qint64 span = std::min(run * clusterBytes, want);
    if (!ahead) {
        const qint64 length = span - within;
        if (Status read = volume.Read(volume.ClusterOffset(m_cluster) + within, buffer, length);
            !read)
            return Failure(m_path, read.reason());
        return length;
    }
    m_ahead.resize(size_t(span));
    if (Status read = volume.Read(volume.ClusterOffset(m_cluster), m_ahead.data(), span); !read) {
        m_ahead.clear();
        return Failure(m_path, read.reason());
    }
    m_aheadOffset = start;
    m_aheadWrites = volume.Writes();
    const qint64 length = std::min(size, span - within);
    std::memcpy(buffer, m_ahead.data() + within, size_t(length));
    return length;
}

Status FatFileReader::SeekCluster(qint64 index) {
    if (index < m_index) {
        m_index = 0;
        m_cluster = m_first;
    }
    while (m_index < index) {
        Result<uint32_t> next = m_volume->Entry(m_cluster);
        if (!next) return Failure(m_path, next.reason());
        if (!m_volume->IsValidCluster(next.value())) return ChainDamage();
        m_cluster = next.value();
        ++m_index;
    }
    if (!m_volume->IsValidCluster(m_cluster)) return ChainDamage();
    return Status::Ok();
}

Result<qint64> FatFileReader::AdjacentRun(qint64 want) {
    const qint64 clusterBytes = m_volume->ClusterBytes();
    qint64 run = 1;
    for (uint32_t cluster = m_cluster; run * clusterBytes < want; ++run, ++cluster) {
        Result<uint32_t> next = m_volume->Entry(cluster);
        if (!next) return Failure(m_path, next.reason());
        if (next.value() != cluster + 1) break;
    }
    return run;
}

Status FatFileReader::ChainDamage() {
    return m_volume->Damaged(m_path + QStringLiteral(": its cluster chain ends before the file "
                                                     "does, or is broken"));
}

}  // namespace stowix::fat
