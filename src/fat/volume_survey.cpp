#include "fat/volume_survey.h"

#include "fat/fat_folder.h"
#include "fat/fat_volume.h"

#include <cstring>
#include <vector>

namespace stowix::fat {

namespace {

struct PendingFolder {
    uint32_t cluster = 0;
    QString path;  // its DOS path, without a trailing backslash ("C:" for the root)
};

// Every folder but the root starts with its "." and ".." entries; a folder cluster that was
// zeroed or overwritten has neither, and anything written into it would be lost to ScanDisk.
bool StartsWithDotEntries(const FatFolder& folder) {
    static constexpr char Dot[] = ".          ";
    static constexpr char DotDot[] = "..         ";
    const auto named = [&folder](int slot, const char* name) {
        const DirectoryEntry& entry = folder.Slot(slot);
        return std::memcmp(entry.name.data(), name, entry.name.size()) == 0 &&
               (entry.attributes & EntryAttribute::Folder) != 0;
    };
    return folder.SlotCount() >= 2 && named(0, Dot) && named(1, DotDot);
}

class Survey {
public:
    Survey(FatVolume& volume, const OemCodePage& codePage)
        : m_volume(volume), m_codePage(codePage) {}

    Status Run(const QString& drive);

private:
    Status Damage(const QString& path, const QString& what) {
        return m_volume.Damaged(path + QStringLiteral(": ") + what);
    }
    // Marks the chain from first, at most most clusters long; count: how many it has.
    Status MarkChain(uint32_t first, uint32_t most, const QString& path, uint32_t& count);
    bool InOwnChain(uint32_t first, uint32_t cluster, uint32_t count);
    Status Visit(const FatEntry& entry, const QString& path);

    FatVolume& m_volume;
    const OemCodePage& m_codePage;
    std::vector<PendingFolder> m_pending;
};

Status Survey::Run(const QString& drive) {
    m_volume.ClearUsed();
    const uint32_t root = m_volume.RootCluster();
    if (root != 0) {
        uint32_t count = 0;
        const QString path = drive + QStringLiteral("\\");
        TRY(MarkChain(root, FatFolder::MostClusters(m_volume), path, count));
    }
    m_pending.push_back({root, drive});
    while (!m_pending.empty()) {
        const PendingFolder folder = std::move(m_pending.back());
        m_pending.pop_back();
        const QString shown = folder.path.endsWith(u':') ? folder.path + u'\\' : folder.path;
        FatFolder loaded = TRY(FatFolder::Load(m_volume, folder.cluster, shown));
        if (folder.cluster != root && !StartsWithDotEntries(loaded))
            return Damage(folder.path, QStringLiteral("the folder has no \".\" and \"..\" "
                                                      "entries; its cluster holds no folder"));
        for (const FatEntry& entry : loaded.Entries(m_codePage)) {
            if (entry.IsDotEntry()) continue;
            TRY(Visit(entry, folder.path + u'\\' + entry.name));
        }
    }
    return Status::Ok();
}

Status Survey::Visit(const FatEntry& entry, const QString& path) {
    const qint64 clusterBytes = m_volume.ClusterBytes();
    uint32_t count = 0;
    if (entry.IsFolder()) {
        // Read as the root, such an entry would make the root a folder of its own.
        if (entry.firstCluster == 0)
            return Damage(path, QStringLiteral("its folder entry names no cluster"));
        if (m_volume.IsValidCluster(entry.firstCluster) && m_volume.IsUsed(entry.firstCluster))
            return Damage(path, QStringLiteral("it leads back to a folder or file met before (a "
                                               "folder inside itself, or a cross-link)"));
        TRY(MarkChain(entry.firstCluster, FatFolder::MostClusters(m_volume), path, count));
        m_pending.push_back({entry.firstCluster, path});
        return Status::Ok();
    }
    const uint32_t needed = uint32_t((qint64(entry.size) + clusterBytes - 1) / clusterBytes);
    if (entry.firstCluster == 0) {
        if (needed == 0) return Status::Ok();
        return Damage(
            path, QStringLiteral("its size is %1 bytes, but it has no clusters").arg(entry.size));
    }
    TRY(MarkChain(entry.firstCluster, needed, path, count));
    if (count < needed)
        return Damage(path, QStringLiteral("its size is %1 bytes, larger than its cluster chain "
                                           "(%2 bytes)")
                                .arg(entry.size)
                                .arg(qint64(count) * clusterBytes));
    return Status::Ok();
}

Status Survey::MarkChain(uint32_t first, uint32_t most, const QString& path, uint32_t& count) {
    count = 0;
    uint32_t cluster = first;
    while (true) {
        if (!m_volume.IsValidCluster(cluster))
            return Damage(path, QStringLiteral("its cluster chain leads past the volume's last "
                                               "cluster"));
        if (m_volume.IsUsed(cluster)) {
            if (InOwnChain(first, cluster, count))
                return Damage(path, QStringLiteral("its cluster chain loops"));
            return Damage(path, QStringLiteral("its clusters are also another file's or folder's "
                                               "(cross-linked)"));
        }
        if (count == most)
            return Damage(path, QStringLiteral("its cluster chain is longer than its size"));
        m_volume.MarkUsed(cluster);
        ++count;
        uint32_t next = TRY(m_volume.Entry(cluster));
        if (next == 0)
            return Damage(path,
                          QStringLiteral("cluster %1 of its chain is marked free").arg(cluster));
        if (m_volume.IsBadMark(next))
            return Damage(path, QStringLiteral("its cluster chain meets a bad cluster"));
        if (m_volume.IsEndOfChain(next)) return Status::Ok();
        cluster = next;
    }
}

// Whether cluster is among the first count clusters of the chain from first: met again, it
// makes a loop rather than a cross-link. Only asked once damage is found.
bool Survey::InOwnChain(uint32_t first, uint32_t cluster, uint32_t count) {
    uint32_t at = first;
    for (uint32_t i = 0; i < count; ++i) {
        if (at == cluster) return true;
        Result<uint32_t> next = m_volume.Entry(at);
        if (!next || !m_volume.IsValidCluster(next.value())) return false;
        at = next.value();
    }
    return false;
}

}  // namespace

Status SurveyVolume(FatVolume& volume, const QString& drive, const OemCodePage& codePage) {
    return Survey(volume, codePage).Run(drive);
}

}  // namespace stowix::fat
