// The calls of FatImageFileSystem that make, replace and delete files and folders. Each change is
// ordered so that a kill leaves at worst lost clusters: data first, then the table, then the entry
// that names the data, and clusters that an entry let go of freed last.
#include "fat/fat_errors.h"
#include "fat/fat_file_system.h"
#include "fs/deletion_failures.h"

#include "dos/ansi_code_page.h"
#include "dos/wildcard.h"

#include <cstring>

namespace stowix::fat {

Status FatImageFileSystem::WriteAttributes(const QString& path, int attributes) {
    if ((attributes & ~KnownAttributes) != 0) return Refuse(path, Refusal::UnknownAttributes);
    const Found found = TRY(Locate(path));
    if (found.IsRoot()) {
        if ((attributes & ~Attribute::Folder) == 0) return Status::Ok();
        return Refuse(path, Refusal::DriveRoot);
    }
    if (!found.entry) return Refuse(path, Refusal::Missing);
    const FatEntry& entry = *found.entry;
    constexpr int Changeable = Attribute::KindBits | Attribute::Archive;
    const uint8_t value = uint8_t((entry.attributes & ~Changeable) | (attributes & Changeable));
    if (value == entry.attributes) return Status::Ok();
    TRY(Writable(path));
    DirectoryEntry slot = TRY(m_folders.ShortEntry(found.folder, entry.shortSlot, path));
    slot.attributes = value;
    return m_folders.UpdateShortEntry(found.folder, entry.shortSlot, slot, path);
}

Status FatImageFileSystem::PutFile(const QString& destination, qint64 size, const Place& content,
                                   FatStamp written, std::optional<uint8_t> attributes,
                                   const std::function<Status()>& beforePlacing) {
    return InBatch(destination, [&] {
        return PutFileInBatch(destination, size, content, written, attributes, beforePlacing);
    });
}

Status FatImageFileSystem::PutFileInBatch(const QString& destination, qint64 size,
                                          const Place& content, FatStamp written,
                                          std::optional<uint8_t> attributes,
                                          const std::function<Status()>& beforePlacing) {
    const Found place = TRY(LocateNew(destination));
    if (place.entry) {
        if (place.entry->IsFolder()) return Refuse(destination, Refusal::IsFolder);
        // Windows refuses to overwrite a read-only file; callers clear its attributes first.
        if (place.entry->attributes & EntryAttribute::ReadOnly)
            return Refuse(destination, Refusal::ReadOnly);
    }
    TRY(Writable(destination));

    const uint32_t first = TRY(m_chains.WriteNewChain(size, content, destination));
    // Until an entry names it, a failure frees the new chain again.
    const auto unplaced = [&](const Status& failure) {
        (void)m_chains.FreeChain(first, destination);
        return failure;
    };
    if (beforePlacing) {
        if (Status allowed = beforePlacing(); !allowed) return unplaced(allowed);
    }
    if (!place.entry) {
        Result<int> added = m_folders.AddEntry(place.folder, place.Name(),
                                               attributes.value_or(EntryAttribute::Archive), first,
                                               uint32_t(size), written, destination);
        return added ? Status::Ok() : unplaced(added.status());
    }
    Result<DirectoryEntry> old =
        m_folders.ShortEntry(place.folder, place.entry->shortSlot, destination);
    if (!old) return unplaced(old.status());
    DirectoryEntry slot = old.value();
    if (attributes) slot.attributes = *attributes;
    slot.SetFirstCluster(first);
    slot.size.Set(uint32_t(size));
    slot.SetWritten(written);
    slot.accessedDate.Set(StampNow().date);
    if (Status updated =
            m_folders.UpdateShortEntry(place.folder, place.entry->shortSlot, slot, destination);
        !updated)
        return unplaced(updated);
    // Only now that the entry names the new clusters do the old ones go.
    return m_chains.FreeChain(place.entry->firstCluster, destination);
}

Status FatImageFileSystem::WriteFileFrom(FileReader& source, std::optional<int> attributes,
                                         const QDateTime& lastWrite, const QString& destination,
                                         const std::function<Status()>& beforePlacing) {
    if (attributes && (*attributes & ~KnownAttributes) != 0)
        return Refuse(destination, Refusal::UnknownAttributes);
    const Fill fill = [&](qint64 offset, char* buffer, qint64 count) {
        for (qint64 done = 0; done < count;) {
            const qint64 got = TRY(source.ReadAt(offset + done, buffer + done, count - done));
            if (got == 0)
                return Failure(destination, QStringLiteral("The source file became shorter "
                                                           "while it was copied"));
            done += got;
        }
        return Status::Ok();
    };
    const FatStamp written =
        lastWrite.isValid() ? StampAt(time_t(lastWrite.toSecsSinceEpoch())) : StampNow();
    const uint8_t byte = attributes
                             ? uint8_t(*attributes & (Attribute::KindBits | Attribute::Archive))
                             : EntryAttribute::Archive;
    return PutFile(destination, source.Size(), m_chains.Filling(fill, destination), written, byte,
                   beforePlacing);
}

Status FatImageFileSystem::WriteTextFile(const QString& path, const std::vector<QString>& lines) {
    QByteArray text;
    for (const QString& line : lines) {
        text += ToWindows1252(line);
        text += "\r\n";
    }
    const Fill fill = [&](qint64 offset, char* buffer, qint64 count) {
        std::memcpy(buffer, text.constData() + offset, size_t(count));
        return Status::Ok();
    };
    // Windows rewrites a file in place, so it keeps its attributes.
    return PutFile(path, text.size(), m_chains.Filling(fill, path), StampNow(), std::nullopt);
}

// A deleted file's entry must be gone on the disk before its clusters are free there: the batch
// puts a barrier between them.
Status FatImageFileSystem::DeleteFile(const QString& path) {
    return InBatch(path, [&] { return DeleteInBatch(path); });
}

Status FatImageFileSystem::DeleteInBatch(const QString& path) {
    const Placed found = TRY(LocateFile(path));
    const FatEntry& entry = found.entry;
    if (entry.attributes & EntryAttribute::ReadOnly) return Refuse(path, Refusal::ReadOnly);
    TRY(Writable(path));
    TRY(m_folders.RemoveEntry(found.folder, entry, path));
    return m_chains.FreeChain(entry.firstCluster, path);
}

Status FatImageFileSystem::DeleteMatching(const QString& pattern) {
    return InBatch(pattern, [&] { return DeleteMatchingInBatch(pattern); });
}

Status FatImageFileSystem::DeleteMatchingInBatch(const QString& pattern) {
    DosPath folderPath = TRY(Parse(pattern));
    if (folderPath.IsRoot()) return Status::Ok();
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<PlacedFolder> folder = LocateFolder(folderPath.Text());
    if (!folder) return Status::Ok();  // a folder that is not there holds no matching file
    const uint32_t id = folder.value().id;
    Result<const std::vector<FatEntry>*> entries = m_folders.Entries(id);
    if (!entries) return Failure(pattern, entries.reason());
    std::vector<FatEntry> matches;
    for (const FatEntry& entry : *entries.value()) {
        if (!entry.IsFolder() && wildcard.Matches(entry.name)) matches.push_back(entry);
    }

    DeletionFailures failures;
    for (const FatEntry& entry : matches) {
        DosPath entryPath = folderPath;
        entryPath.components.append(entry.name);
        const QString text = entryPath.Text();
        Status deleted = Status::Ok();
        if (entry.attributes & EntryAttribute::ReadOnly) {
            deleted = Refuse(text, Refusal::ReadOnly);
        } else if (deleted = Writable(text); deleted) {
            deleted = m_folders.RemoveEntry(id, entry, text);
            if (deleted) deleted = m_chains.FreeChain(entry.firstCluster, text);
        }
        failures.Note(deleted);
    }
    return failures.Outcome();
}

Status FatImageFileSystem::CreateFolder(const QString& path) {
    const Found place = TRY(LocateNew(path));
    if (place.entry) return Refuse(path, Refusal::Exists);
    TRY(Writable(path));
    // In a batch, whose barriers put the new cluster on the disk before the entry that names it.
    return InBatch(path, [&] { return CreateFolderInBatch(path, place); });
}

Status FatImageFileSystem::CreateFolderInBatch(const QString& path, const Found& place) {
    const FatStamp now = StampNow();
    // The new folder's first cluster holds its "." and ".." entries before anything names it.
    Result<std::vector<uint32_t>> free = Volume().FindFree(1);
    if (!free) return Failure(path, free.reason());
    const uint32_t cluster = free.value().front();
    const Fill fill = [&](qint64, char* buffer, qint64 count) {
        std::memset(buffer, 0, size_t(count));
        ShortName dot;
        dot.fill(' ');
        dot[0] = '.';
        const DirectoryEntry self =
            DirectoryEntry::Short(dot, EntryAttribute::Folder, cluster, 0, now);
        dot[1] = '.';
        const uint32_t parentCluster = place.folder == m_rootId ? 0 : place.folder;
        const DirectoryEntry parent =
            DirectoryEntry::Short(dot, EntryAttribute::Folder, parentCluster, 0, now);
        std::memcpy(buffer, &self, SlotBytes);
        std::memcpy(buffer + SlotBytes, &parent, SlotBytes);
        return Status::Ok();
    };
    const uint32_t first =
        TRY(m_chains.WriteNewChain(Volume().ClusterBytes(), m_chains.Filling(fill, path), path));
    if (first != cluster) {
        (void)m_chains.FreeChain(first, path);
        return Failure(path, QStringLiteral("The free space of the file system changed "
                                            "unexpectedly"));
    }
    Result<int> added = m_folders.AddEntry(place.folder, place.Name(), EntryAttribute::Folder,
                                           cluster, 0, now, path);
    if (!added) {
        (void)m_chains.FreeChain(cluster, path);
        return added.status();
    }
    return Status::Ok();
}

Status FatImageFileSystem::RemoveEmptyFolder(const QString& path) {
    return InBatch(path, [&] { return RemoveFolderInBatch(path); });
}

Status FatImageFileSystem::RemoveFolderInBatch(const QString& path) {
    const PlacedFolder found = TRY(LocateFolder(path));
    if (!found.place) return Refuse(path, Refusal::DriveRoot);
    const Placed& place = *found.place;
    Result<const std::vector<FatEntry>*> inside = m_folders.Entries(found.id);
    if (!inside) return Failure(path, inside.reason());
    for (const FatEntry& each : *inside.value()) {
        if (!each.IsDotEntry()) return Refuse(path, Refusal::NotEmpty);
    }
    TRY(Writable(path));
    TRY(m_folders.RemoveEntry(place.folder, place.entry, path));
    m_folders.Forget(found.id);
    return m_chains.FreeChain(place.entry.firstCluster, path);
}

}  // namespace stowix::fat
