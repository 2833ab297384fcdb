#include "fat/folder_cache.h"

#include "fat/fat_errors.h"

namespace stowix::fat {

namespace {

constexpr size_t CachedFolders = 8;

}  // namespace

Result<FolderCache::CachedFolder*> FolderCache::Folder(uint32_t id, const QString& owner) {
    if (auto found = m_folders.find(id); found != m_folders.end()) {
        m_folderAges.remove(id);
        m_folderAges.push_back(id);
        return &found->second;
    }
    FatFolder loaded = TRY(FatFolder::Load(
        m_volume, id,
        owner.isEmpty() ? QStringLiteral("the folder at cluster %1").arg(id) : owner));
    if (m_folders.size() >= CachedFolders) {
        m_folders.erase(m_folderAges.front());
        m_folderAges.pop_front();
    }
    m_folderAges.push_back(id);
    return &m_folders.emplace(id, CachedFolder{std::move(loaded), std::nullopt}).first->second;
}

Result<FolderEntries*> FolderCache::Indexed(uint32_t id) {
    CachedFolder& folder = *TRY(Folder(id));
    if (!folder.entries) {
        std::vector<FatEntry> entries = folder.folder.Entries(m_codePage);
        if (m_volume.Type() != FatType::Fat32) {
            for (FatEntry& entry : entries) entry.firstCluster &= 0xFFFF;
        }
        folder.entries.emplace(std::move(entries));
    }
    return &*folder.entries;
}

Result<const std::vector<FatEntry>*> FolderCache::Entries(uint32_t id) {
    return &TRY(Indexed(id))->All();
}

Result<DirectoryEntry> FolderCache::ShortEntry(uint32_t folderId, int slot, const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    return cached.value()->folder.Slot(slot);
}

void FolderCache::Forget(uint32_t folderId) {
    m_folders.erase(folderId);
    m_folderAges.remove(folderId);
}

void FolderCache::ForgetAll() {
    m_folders.clear();
    m_folderAges.clear();
}

}  // namespace stowix::fat
