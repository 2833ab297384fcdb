// The calls of FatImageFileSystem that copy files inside the image: one at a time, or a group as
// one batch. A small file's data is read and held with the batch's other data; a large one is
// copied by the host's kernel, cluster run by cluster run, without passing through the process.
#include "fat/fat_errors.h"
#include "fat/fat_file_system.h"

namespace stowix::fat {

namespace {

// A file this large is copied inside the image by the host's kernel; smaller ones are read and
// their data held, to be written with the batch's other data in few writes.
constexpr qint64 CopyInKernelBytes = 256 * 1024;

// A step of a copy: count bytes that lie at at in the volume, done bytes into the copy.
using RunStep = std::function<Status(qint64 done, qint64 at, qint64 count)>;

// The bytes of a chain from offset on, in runs of adjacent clusters: take is called for each.
Status EachRun(const FatVolume& volume, const std::vector<uint32_t>& chain, qint64 offset,
               qint64 count, const RunStep& take) {
    const qint64 clusterBytes = volume.ClusterBytes();
    for (qint64 done = 0; done < count;) {
        const size_t index = size_t((offset + done) / clusterBytes);
        size_t run = 1;
        while (index + run < chain.size() && qint64(run) * clusterBytes < count - done &&
               chain[index + run] == chain[index] + run)
            ++run;
        const qint64 bytes = std::min(qint64(run) * clusterBytes, count - done);
        TRY(take(done, volume.ClusterOffset(chain[index]), bytes));
        done += bytes;
    }
    return Status::Ok();
}

}  // namespace

Status FatImageFileSystem::CopyFile(const QString& source, const QString& destination) {
    const Placed from = TRY(LocateFile(source));
    return CopyPlaced(from, source, destination, EntryAttribute::Archive);
}

// The plain way reads and writes attributes around CopyFile: five lookups of a path and two
// more directory writes for each file. Here each side is looked up once and the new entry gets
// the source's attributes as it is written, with the same outcome: a read-only, hidden or
// system file is replaced (the old file keeps its attributes when the copy fails), a folder is
// not, and a missing source copies nothing.
Result<bool> FatImageFileSystem::CopyFileKeepingAttributes(const QString& source,
                                                           const QString& destination) {
    if (source.isEmpty()) return false;
    Result<Found> from = Locate(source);
    if (!from || (!from.value().IsRoot() && !from.value().entry)) return false;
    if (from.value().IsRoot() || from.value().entry->IsFolder())
        return Refuse(source, Refusal::IsFolder);
    const Placed placed{from.value().folder, *from.value().entry};

    std::optional<int> oldAttributes;
    if (Result<Found> to = Locate(destination); to && (to.value().IsRoot() || to.value().entry)) {
        if (to.value().IsRoot() || to.value().entry->IsFolder())
            return Status::Fail(destination + QStringLiteral(" is a folder"));
        // Only a read-only file refuses to be replaced.
        if (to.value().entry->attributes & EntryAttribute::ReadOnly) {
            oldAttributes = to.value().entry->attributes & KnownAttributes;
            TRY(WriteAttributes(destination, 0));
        }
    }
    const uint8_t attributes =
        uint8_t(placed.entry.attributes & (Attribute::KindBits | Attribute::Archive));
    if (Status copied = CopyPlaced(placed, source, destination, attributes); !copied) {
        if (oldAttributes) (void)WriteAttributes(destination, *oldAttributes);
        return copied;
    }
    return true;
}

Result<std::vector<uint32_t>> FatImageFileSystem::FileChain(const FatEntry& entry,
                                                            const QString& path) {
    if (entry.size == 0) return std::vector<uint32_t>();
    const qint64 clusterBytes = Volume().ClusterBytes();
    const uint32_t needed = uint32_t((qint64(entry.size) + clusterBytes - 1) / clusterBytes);
    std::vector<uint32_t> chain = TRY(Volume().Chain(entry.firstCluster, needed, path));
    if (chain.size() < needed)
        return Volume().Damaged(path + QStringLiteral(": its cluster chain ends before the "
                                                      "file does"));
    return chain;
}

Status FatImageFileSystem::CopyPlaced(const Placed& from, const QString& source,
                                      const QString& destination, uint8_t attributes) {
    const FatEntry entry = from.entry;
    const std::vector<uint32_t> chain = TRY(FileChain(entry, source));
    const DirectoryEntry slot = TRY(m_folders.ShortEntry(from.folder, entry.shortSlot, source));
    const FatStamp written = slot.Written();

    FatVolume& volume = Volume();
    if (entry.size < CopyInKernelBytes) {
        const Fill fill = [&](qint64 offset, char* buffer, qint64 count) {
            return EachRun(volume, chain, offset, count, [&](qint64 done, qint64 at, qint64 bytes) {
                if (Status read = volume.Read(at, buffer + done, bytes); !read)
                    return Failure(source, read.reason());
                return Status::Ok();
            });
        };
        return PutFile(destination, entry.size, m_chains.Filling(fill, destination), written,
                       attributes);
    }
    // Whole clusters, the rest of the last one as the source has it.
    const qint64 clusterBytes = volume.ClusterBytes();
    const Place copy = [&](qint64 offset, qint64 count, qint64 to) {
        const qint64 clusters = (count + clusterBytes - 1) / clusterBytes;
        return EachRun(volume, chain, offset, clusters * clusterBytes,
                       [&](qint64 done, qint64 at, qint64 bytes) {
                           if (Status copied = volume.CopyData(at, to + done, bytes); !copied)
                               return Failure(destination, copied.reason());
                           return Status::Ok();
                       });
    };
    return PutFile(destination, entry.size, copy, written, attributes);
}

std::vector<Result<bool>> FatImageFileSystem::CopyFilesKeepingAttributes(
    const std::vector<FileCopy>& copies, const std::function<void(size_t)>& beforeEach) {
    std::vector<Result<bool>> results;
    results.reserve(copies.size());
    FatVolume& volume = Volume();
    // The copies from this one on are not yet on the image when a write of the batch fails.
    size_t unwritten = 0;
    const auto lost = [&](const Status& failure) {
        m_folders.ForgetAll();
        for (size_t i = unwritten; i < results.size(); ++i) {
            if (results[i]) results[i] = Failure(copies[i].destination, failure.reason());
        }
        unwritten = results.size();
    };
    volume.BeginBatch();
    for (size_t i = 0; i < copies.size(); ++i) {
        if (beforeEach) beforeEach(i);
        results.push_back(CopyFileKeepingAttributes(copies[i].source, copies[i].destination));
        Result<bool> committed = volume.CommitWhenLarge();
        if (!committed)
            lost(committed.status());
        else if (committed.value())
            unwritten = results.size();
    }
    if (Status ended = volume.EndBatch(); !ended) lost(ended);
    return results;
}

}  // namespace stowix::fat
