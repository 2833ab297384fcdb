#include "fat/cluster_chains.h"

#include "fat/fat_errors.h"

#include <algorithm>
#include <cstring>

namespace stowix::fat {

namespace {

constexpr qint64 CopyBufferBytes = 1024 * 1024;

}  // namespace

Status ChangeTable(FatVolume& volume, const QString& path, const std::function<Status()>& change) {
    Status changed = change();
    if (changed) changed = volume.CommitTable();
    if (!changed) {
        volume.DiscardTable();
        return Failure(path, changed.reason());
    }
    return Status::Ok();
}

Place ChainWriter::Filling(const Fill& fill, const QString& path) {
    return [this, &fill, &path](qint64 offset, qint64 count, qint64 at) {
        const qint64 clusterBytes = m_volume.ClusterBytes();
        const qint64 clusters = (count + clusterBytes - 1) / clusterBytes;
        const qint64 bufferClusters =
            std::clamp<qint64>(CopyBufferBytes / clusterBytes, 1, clusters);
        m_copyBuffer.resize(size_t(bufferClusters * clusterBytes));
        char* const buffer = m_copyBuffer.data();
        for (qint64 done = 0; done < count;) {
            const qint64 bytes =
                std::min(bufferClusters * clusterBytes, (clusters * clusterBytes) - done);
            const qint64 data = std::min(bytes, count - done);
            TRY(fill(offset + done, buffer, data));
            std::memset(buffer + data, 0, size_t(bytes - data));
            if (Status put = m_volume.WriteData(at + done, buffer, bytes); !put)
                return Failure(path, put.reason());
            done += bytes;
        }
        return Status::Ok();
    };
}

Result<uint32_t> ChainWriter::WriteNewChain(qint64 size, const Place& place, const QString& path) {
    const qint64 clusterBytes = m_volume.ClusterBytes();
    if (size > 0xFFFFFFFFll)
        return Failure(path, QStringLiteral("The file is larger than the 4 GiB a FAT file "
                                            "system can hold"));
    const uint32_t count = uint32_t((size + clusterBytes - 1) / clusterBytes);
    if (count == 0) return uint32_t(0);
    Result<std::vector<uint32_t>> free = m_volume.FindFree(count);
    if (!free) return Failure(path, free.reason());
    const std::vector<uint32_t>& clusters = free.value();
    for (size_t i = 0; i < clusters.size();) {
        size_t run = 1;
        while (i + run < clusters.size() && clusters[i + run] == clusters[i] + run) ++run;
        const qint64 offset = qint64(i) * clusterBytes;
        const qint64 data = std::min(qint64(run) * clusterBytes, size - offset);
        TRY(place(offset, data, m_volume.ClusterOffset(clusters[i])));
        i += run;
    }
    TRY(ChangeTable(m_volume, path, [&] {
        for (size_t i = 0; i < clusters.size(); ++i) {
            const uint32_t next =
                i + 1 < clusters.size() ? clusters[i + 1] : m_volume.EndOfChainMark();
            TRY(m_volume.SetEntry(clusters[i], next));
        }
        return Status::Ok();
    }));
    return clusters.front();
}

Status ChainWriter::FreeChain(uint32_t first, const QString& path) {
    if (!m_volume.IsValidCluster(first)) return Status::Ok();
    Result<std::vector<uint32_t>> chain = m_volume.Chain(first, m_volume.LastCluster(), path);
    if (!chain) return Failure(path, chain.reason());
    return ChangeTable(m_volume, path, [&] {
        for (uint32_t cluster : chain.value()) TRY(m_volume.SetEntry(cluster, 0));
        return Status::Ok();
    });
}

}  // namespace stowix::fat
