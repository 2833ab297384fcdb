// The changes FolderCache makes to the slots of a folder: where a new entry's slots go, how a
// full folder grows, and the order in which slots reach the disk.
#include "fat/fat_errors.h"
#include "fat/folder_cache.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace stowix::fat {

Status FolderCache::Written(uint32_t folderId, const Status& put, const QString& path) {
    if (put) return Status::Ok();
    Forget(folderId);
    return Failure(path, put.reason());
}

Result<ShortName> FolderCache::ChooseShortName(const FolderEntries& entries, const QString& name,
                                               std::vector<DirectoryEntry>& longNameSlots,
                                               const QString& path) {
    const auto taken = [&](const ShortName& candidate) { return entries.HasShortName(candidate); };
    if (std::optional<ShortName> exact = ExactShortName(name, m_codePage); exact && !taken(*exact))
        return *exact;
    Result<ShortName> alias = MakeAlias(name, m_codePage, taken);
    if (!alias) return Failure(path, alias.reason());
    for (const auto& slot : LongNameSlots(name, ShortNameChecksum(alias.value())))
        longNameSlots.push_back(std::bit_cast<DirectoryEntry>(slot));
    return alias;
}

int FolderCache::SlotsPerCluster(const FatFolder& folder) const {
    return folder.IsFixedRoot() ? folder.SlotCount() : int(m_volume.ClusterBytes() / SlotBytes);
}

int FolderCache::FindRoom(const FatFolder& folder, int need) const {
    const int perCluster = SlotsPerCluster(folder);
    for (int index = 0; index + need <= folder.SlotCount(); ++index) {
        int free = 0;
        while (free < need && folder.Slot(index + free).IsFree()) ++free;
        if (free < need) {
            index += free;
            continue;
        }
        if (need > perCluster || folder.Contiguous(m_volume, index, need)) return index;
    }
    return -1;
}

Result<int> FolderCache::AddEntry(uint32_t folderId, const QString& name, uint8_t attributes,
                                  uint32_t cluster, uint32_t size, FatStamp written,
                                  const QString& path) {
    Result<FolderEntries*> entries = Indexed(folderId);
    if (!entries) return Failure(path, entries.reason());
    std::vector<DirectoryEntry> slots;
    const ShortName shortName = TRY(ChooseShortName(*entries.value(), name, slots, path));
    slots.push_back(DirectoryEntry::Short(shortName, attributes, cluster, size, written));
    const int need = int(slots.size());

    for (int attempt = 0;; ++attempt) {
        Result<CachedFolder*> cached = Folder(folderId);
        if (!cached) return Failure(path, cached.reason());
        const FatFolder& folder = cached.value()->folder;
        if (const int start = FindRoom(folder, need); start >= 0) {
            TRY(PlaceSlots(folderId, *cached.value(), start, slots, name, path));
            return start + need - 1;
        }
        if (attempt > 2 + need / std::max(1, SlotsPerCluster(folder)))
            return Failure(path, QStringLiteral("No room was found in the folder"));
        TRY(ExtendFolder(folderId, path));
    }
}

// Puts a new entry's slots at start, its short entry last, and adds it to the folder's index.
Status FolderCache::PlaceSlots(uint32_t folderId, CachedFolder& cached, int start,
                               const std::vector<DirectoryEntry>& slots, const QString& name,
                               const QString& path) {
    FatFolder& folder = cached.folder;
    const int need = int(slots.size());
    // Readers stop at the first never-used slot: any before the run become deleted ones first,
    // or the new entry would lie beyond the folder's end.
    int unused = start;
    while (unused > 0 && folder.Slot(unused - 1).IsNeverUsed()) --unused;
    if (unused < start) {
        for (int i = unused; i < start; ++i) folder.Slot(i).MarkDeleted();
        TRY(Written(folderId, folder.WriteSlots(m_volume, unused, start - unused), path));
    }
    for (int i = 0; i < need; ++i) folder.Slot(start + i) = slots[size_t(i)];
    TRY(Written(folderId, folder.WriteEntrySlots(m_volume, start, need), path));
    if (std::optional<FolderEntries>& known = cached.entries) {
        const DirectoryEntry& shortEntry = slots.back();
        FatEntry entry;
        entry.shortName = shortEntry.name;
        entry.shortText = ShortNameText(shortEntry.name, m_codePage, false, false);
        entry.name = need > 1 ? name : entry.shortText;
        entry.attributes = shortEntry.attributes;
        entry.firstCluster = shortEntry.FirstCluster(m_volume.Type());
        entry.size = shortEntry.size.Get();
        entry.firstSlot = start;
        entry.shortSlot = start + need - 1;
        known->Insert(std::move(entry));
    }
    return Status::Ok();
}

Status FolderCache::ExtendFolder(uint32_t folderId, const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    FatFolder& folder = cached.value()->folder;
    if (folder.IsFixedRoot()) return Refuse(path, Refusal::RootFull);
    if (qint64(folder.SlotCount()) + m_volume.ClusterBytes() / SlotBytes > 65536)
        return Failure(path, QStringLiteral("The folder holds as many entries as FAT allows"));
    // An empty cluster, then its end-of-chain mark, then the link to it: a kill before the link
    // leaves one lost cluster; after it, the folder has empty room.
    const Fill zeros = [](qint64, char* buffer, qint64 count) {
        std::memset(buffer, 0, size_t(count));
        return Status::Ok();
    };
    const uint32_t added =
        TRY(m_chains.WriteNewChain(m_volume.ClusterBytes(), m_chains.Filling(zeros, path), path));
    const uint32_t last = folder.Clusters().back();
    TRY(ChangeTable(m_volume, path, [&] { return m_volume.SetEntry(last, added); }));
    // Nothing above looked the folder up again, so the pointer is still ours. Its entries stay
    // as they were: the new cluster's slots are all unused.
    folder.AppendCluster(added, m_volume.ClusterBytes());
    return Status::Ok();
}

Status FolderCache::RemoveEntry(uint32_t folderId, const FatEntry& entry, const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    FatFolder& folder = cached.value()->folder;
    for (int slot = entry.firstSlot; slot <= entry.shortSlot; ++slot)
        folder.Slot(slot).MarkDeleted();
    if (std::optional<FolderEntries>& known = cached.value()->entries)
        known->Remove(entry.shortSlot);
    // The long name goes first, so that a kill between leaves the file under its short name
    // rather than a long name without its entry.
    const int count = entry.shortSlot - entry.firstSlot + 1;
    return Written(folderId, folder.WriteEntrySlots(m_volume, entry.firstSlot, count), path);
}

Status FolderCache::UpdateShortEntry(uint32_t folderId, int slot, const DirectoryEntry& entry,
                                     const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    FatFolder& folder = cached.value()->folder;
    folder.Slot(slot) = entry;
    if (cached.value()->entries) {
        if (FatEntry* known = cached.value()->entries->AtSlot(slot)) {
            known->attributes = entry.attributes;
            known->firstCluster = entry.FirstCluster(m_volume.Type());
            known->size = entry.size.Get();
        }
    }
    return Written(folderId, folder.WriteSlots(m_volume, slot, 1), path);
}

}  // namespace stowix::fat
