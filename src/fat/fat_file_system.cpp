#include "fat/fat_file_system.h"

#include "dos/name_rules.h"
#include "dos/wildcard.h"
#include "fat/fat_errors.h"
#include "fat/fat_file_reader.h"
#include "fat/volume_survey.h"

namespace stowix::fat {

FatImageFileSystem::FatImageFileSystem(QChar letter, std::shared_ptr<Image> image,
                                       OemCodePage codePage)
    : m_letter(letter.toUpper().unicode()),
      m_image(std::move(image)),
      m_codePage(codePage),
      m_rootId(m_image->volume.RootCluster()),
      m_chains(m_image->volume),
      m_folders(m_image->volume, m_codePage, m_chains) {}

Result<DosPath> FatImageFileSystem::Parse(const QString& path) const {
    std::optional<DosPath> parsed =
        ParseDosPath(path, m_letter, [](char16_t) { return QStringList(); });
    if (!parsed) return Refuse(path, Refusal::BadPath);
    if (parsed->drive != m_letter) return Refuse(path, Refusal::NoDrive);
    return *parsed;
}

Result<Found> FatImageFileSystem::Locate(const QString& path) {
    const auto find = [this](uint32_t folder, QStringView name) -> Result<std::optional<FatEntry>> {
        const FatEntry* match = TRY(m_folders.Indexed(folder))->Find(name);
        return match ? std::optional<FatEntry>(*match) : std::optional<FatEntry>();
    };
    Found found;
    found.path = TRY(Parse(path));
    found.folder = m_rootId;
    if (found.IsRoot()) return found;
    const QStringList& components = found.path.components;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        Result<std::optional<FatEntry>> step = find(found.folder, components[i]);
        if (!step) return Failure(path, step.reason());
        if (!step.value()) return Refuse(path, Refusal::Missing);
        if (!step.value()->IsFolder()) return Refuse(path, Refusal::NotAFolder);
        DosPath stepPath = found.path;
        stepPath.components = components.mid(0, i + 1);
        Result<uint32_t> child = FolderOf(*step.value(), stepPath.Text());
        if (!child) return Failure(path, child.reason());
        found.folder = child.value();
    }
    Result<std::optional<FatEntry>> last = find(found.folder, components.last());
    if (!last) return Failure(path, last.reason());
    found.entry = last.value();
    return found;
}

Result<Placed> FatImageFileSystem::LocateFile(const QString& path) {
    const Found found = TRY(Locate(path));
    if (found.IsRoot()) return Refuse(path, Refusal::IsFolder);
    if (!found.entry) return Refuse(path, Refusal::Missing);
    if (found.entry->IsFolder()) return Refuse(path, Refusal::IsFolder);
    return Placed{found.folder, *found.entry};
}

Result<PlacedFolder> FatImageFileSystem::LocateFolder(const QString& path) {
    const Found found = TRY(Locate(path));
    if (found.IsRoot()) return PlacedFolder{m_rootId, std::nullopt};
    if (!found.entry) return Refuse(path, Refusal::Missing);
    const FatEntry& entry = *found.entry;
    if (!entry.IsFolder()) return Refuse(path, Refusal::NotAFolder);
    const uint32_t id = TRY(FolderOf(entry, path));
    return PlacedFolder{id, Placed{found.folder, entry}};
}

Result<uint32_t> FatImageFileSystem::FolderOf(const FatEntry& entry, const QString& path) {
    // Cluster 0 names the root only in a ".." entry; read as the root here, it would put a
    // folder's files into the root.
    if (entry.firstCluster == 0)
        return Volume().Damaged(path + QStringLiteral(": its folder entry names no cluster"));
    return entry.firstCluster;
}

Result<Found> FatImageFileSystem::LocateNew(const QString& path) {
    const DosPath parsed = TRY(Parse(path));
    if (parsed.IsRoot()) return Refuse(path, Refusal::DriveRoot);
    const QString name = parsed.components.last();
    if (const QString refusal = NameRefusal(name); !refusal.isEmpty())
        return Failure(path, refusal);
    Result<Found> found = Locate(path);
    if (found && !found.value().entry) {
        if (const QString refusal = FatNameRefusal(name); !refusal.isEmpty())
            return Failure(path, refusal);
    }
    return found;
}

Status FatImageFileSystem::Writable(const QString& path) {
    if (Status writable = Volume().CheckWritable(); !writable)
        return Failure(path, writable.reason());
    // Before the first change: which clusters the entries use, and whether the volume is sound.
    if (!m_surveyed) {
        m_surveyed = true;
        if (Status sound = SurveyVolume(Volume(), CurrentDrive(), m_codePage); !sound)
            return Failure(path, sound.reason());
    }
    if (Status begun = Volume().BeginWriting(); !begun) return Failure(path, begun.reason());
    return Status::Ok();
}

Status FatImageFileSystem::InBatch(const QString& path, const std::function<Status()>& change) {
    Volume().BeginBatch();
    const Status changed = change();
    if (Status ended = Volume().EndBatch(); !ended) {
        m_folders.ForgetAll();
        return changed ? Failure(path, ended.reason()) : changed;
    }
    return changed;
}

Result<std::unique_ptr<FileReader>> FatImageFileSystem::OpenForReading(const QString& path) {
    const Placed found = TRY(LocateFile(path));
    // The reader keeps the image open for as long as it lives.
    std::shared_ptr<FatVolume> volume(m_image, &m_image->volume);
    return std::unique_ptr<FileReader>(std::make_unique<FatFileReader>(
        std::move(volume), found.entry.firstCluster, qint64(found.entry.size), path));
}

Result<int> FatImageFileSystem::ReadAttributes(const QString& path) {
    const Found found = TRY(Locate(path));
    if (found.IsRoot()) return int(Attribute::Folder);
    if (!found.entry) return Refuse(path, Refusal::Missing);
    return found.entry->attributes & KnownAttributes;
}

Result<FileFacts> FatImageFileSystem::ReadFileFacts(const QString& path) {
    const Placed found = TRY(LocateFile(path));
    const DirectoryEntry slot =
        TRY(m_folders.ShortEntry(found.folder, found.entry.shortSlot, path));
    FileFacts facts;
    facts.size = qint64(found.entry.size);
    facts.lastWrite = TimeOf(slot.Written());
    facts.attributes = found.entry.attributes & KnownAttributes;
    return facts;
}

Status FatImageFileSystem::RestrictToOwner(const QString& path) {
    // FAT keeps no owners or permissions: there is nothing to restrict, and the folder's
    // attributes stay as they are.
    TRY(LocateFolder(path));
    return Status::Ok();
}

Result<std::vector<FolderEntry>> FatImageFileSystem::ListFolder(const QString& pattern, int mask) {
    std::vector<FolderEntry> listed;
    DosPath folderPath = TRY(Parse(pattern));
    if (folderPath.IsRoot())
        return listed;  // a folder with no name to match: Windows finds nothing either
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<PlacedFolder> folder = LocateFolder(folderPath.Text());
    // A folder that does not exist lists nothing; one that cannot be read is trouble.
    if (!folder) {
        if (folder.notFound() || !Volume().IsDamaged()) return listed;
        return folder.status();
    }
    Result<const std::vector<FatEntry>*> entries = m_folders.Entries(folder.value().id);
    if (!entries) return Failure(pattern, entries.reason());
    for (const FatEntry& entry : *entries.value()) {
        const int attributes = entry.attributes & KnownAttributes;
        // Plain files always; read-only, hidden and system files and folders only when the
        // mask holds their bits.
        if ((attributes & (Attribute::KindBits | Attribute::Folder) & ~mask) != 0) continue;
        if (!wildcard.Matches(entry.name)) continue;
        listed.push_back({entry.name, attributes});
    }
    return listed;
}

Result<QString> FatImageFileSystem::ShortAlias(const QString& path) {
    const Found found = TRY(Locate(path));
    if (!found.entry) return Refuse(path, Refusal::Missing);
    return found.entry->shortText;
}

Status FatImageFileSystem::ChangeDrive(QChar letter) {
    if (letter.toUpper().unicode() == m_letter) return Status::Ok();
    return Refuse(QString(letter.toUpper()) + QStringLiteral(":"), Refusal::NoDrive);
}

Status FatImageFileSystem::FlushToDisk(const QString& path) {
    TRY(Parse(path));
    if (Status flushed = Volume().Flush(); !flushed) return Failure(path, flushed.reason());
    // The volume is left clean at every flush, so that a run is never recorded as done while
    // the volume still says it is in use (a dirty bit that could not be cleared fails it).
    if (Status finished = Volume().Finish(); !finished) return Failure(path, finished.reason());
    return Status::Ok();
}

Result<DriveSpace> FatImageFileSystem::FreeSpace(const QString& path) {
    TRY(Parse(path));
    FatVolume& volume = Volume();
    Result<int64_t> clusters = volume.FreeClusters();
    if (!clusters) return Failure(path, clusters.reason());
    // Every file and folder takes whole clusters, so the cluster is the unit of room.
    DriveSpace space;
    space.unitBytes = volume.ClusterBytes();
    space.freeBytes = clusters.value() * space.unitBytes;
    return space;
}

}  // namespace stowix::fat
