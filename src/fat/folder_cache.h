#pragma once
// The folders of one volume as the file system uses them: the few in use held in memory (the
// least recently used dropped first), each with its index of names, and every change to their
// slots. Kept apart from the file system (fat_file_system.h), which works in DOS paths, because
// this works in folders and slots: where a new entry's slots go, in what order they are written,
// and which folder in memory may no longer be what is on the disk.
//
// A slot write that fails drops its folder from memory, so that it is read again from the image.

#include "fat/cluster_chains.h"
#include "fat/directory_entry.h"
#include "fat/fat_folder.h"
#include "fat/folder_entries.h"

#include <QString>

#include <list>
#include <map>
#include <optional>
#include <vector>

namespace stowix::fat {

class FolderCache {
public:
    struct CachedFolder {
        FatFolder folder;
        std::optional<FolderEntries> entries;  // made when first asked for
    };

    // All three must outlive the cache; chains grows a folder that is full.
    FolderCache(FatVolume& volume, const OemCodePage& codePage, ChainWriter& chains)
        : m_volume(volume), m_codePage(codePage), m_chains(chains) {}

    // The folder whose first cluster is id (0: the fixed root of FAT12 and FAT16). owner: the
    // folder's DOS path, for the damage its chain may show; empty when not known.
    Result<CachedFolder*> Folder(uint32_t id, const QString& owner = {});
    Result<FolderEntries*> Indexed(uint32_t id);
    Result<const std::vector<FatEntry>*> Entries(uint32_t id);
    // A copy of the short entry at this slot of the folder; a failure is told for path.
    Result<DirectoryEntry> ShortEntry(uint32_t folderId, int slot, const QString& path);
    // Drops a folder whose slots in memory may no longer be those on disk.
    void Forget(uint32_t folderId);
    // Drops every folder, after a batch whose changes did not all reach the image.
    void ForgetAll();

    // Adds an entry for a file or folder whose chain is committed already: the alias Windows 98
    // would make when the name is no short name itself, the folder grown by a cluster when it
    // has no room. Gives the short entry's slot.
    Result<int> AddEntry(uint32_t folderId, const QString& name, uint8_t attributes,
                         uint32_t cluster, uint32_t size, FatStamp written, const QString& path);
    // Marks an entry's slots deleted, its long name first; its chain is the caller's to free.
    Status RemoveEntry(uint32_t folderId, const FatEntry& entry, const QString& path);
    // Writes a short entry over the one at this slot, and keeps the index in step.
    Status UpdateShortEntry(uint32_t folderId, int slot, const DirectoryEntry& entry,
                            const QString& path);

private:
    Result<ShortName> ChooseShortName(const FolderEntries& entries, const QString& name,
                                      std::vector<DirectoryEntry>& longNameSlots,
                                      const QString& path);
    // How many slots a cluster of the folder holds (the fixed root: all of its slots).
    int SlotsPerCluster(const FatFolder& folder) const;
    // The first run of need free slots that lies in one piece on the volume (or, for a name
    // longer than a cluster holds, any run); -1 when there is none.
    int FindRoom(const FatFolder& folder, int need) const;
    Status PlaceSlots(uint32_t folderId, CachedFolder& cached, int start,
                      const std::vector<DirectoryEntry>& slots, const QString& name,
                      const QString& path);
    Status ExtendFolder(uint32_t folderId, const QString& path);
    // put, for path; a failed write forgets the folder first.
    Status Written(uint32_t folderId, const Status& put, const QString& path);

    FatVolume& m_volume;
    const OemCodePage& m_codePage;
    ChainWriter& m_chains;
    std::map<uint32_t, CachedFolder> m_folders;
    std::list<uint32_t> m_folderAges;  // least recently used first
};

}  // namespace stowix::fat
