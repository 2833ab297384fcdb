#include "fat/fat_image_file_system.h"

#include "dos/ansi_code_page.h"
#include "dos/dos_path.h"
#include "dos/name_case.h"
#include "dos/name_rules.h"
#include "dos/wildcard.h"
#include "fat/byte_order.h"
#include "fat/fat_errors.h"
#include "fat/fat_folder.h"
#include "fat/fat_names.h"
#include "fat/fat_volume.h"
#include "fat/folder_entries.h"
#include "fat/image_format.h"
#include "fat/open_disk.h"
#include "fat/volume_survey.h"
#include "fs/deletion_failures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <list>
#include <map>

namespace stowix {

namespace {

using namespace fat;

constexpr int KnownAttributes = Attribute::ReadOnly | Attribute::Hidden | Attribute::System |
                                Attribute::Folder | Attribute::Archive;
constexpr int KindBits = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
constexpr qint64 CopyBufferBytes = 1024 * 1024;
// A file this large is copied inside the image by the host's kernel; smaller ones are read and
// their data held, to be written with the batch's other data in few writes.
constexpr qint64 CopyInKernelBytes = 256 * 1024;
constexpr size_t CachedFolders = 8;

}  // namespace

namespace fat {

// One disk image, open and locked once for every drive it holds.
struct ImageFile {
    std::unique_ptr<BlockDevice> device;
    bool writable = false;
    dev_t hostDevice = 0;
    ino_t inode = 0;
    QString name;
};

}  // namespace fat

namespace {

using namespace fat;

// One volume of a disk image, shared by the file system and the readers it gives out.
struct Image {
    std::shared_ptr<ImageFile> file;
    FatVolume volume;
    ~Image() {
        // FAT32's free-cluster count, unknown since the first change, is right again.
        (void)volume.Finish();
    }
};

struct FatStamp {
    uint16_t time = 0;
    uint16_t date = 0;
};

FatStamp StampOf(const struct tm& local) {
    FatStamp stamp;
    const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    stamp.date = uint16_t(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    stamp.time = uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return stamp;
}

FatStamp StampAt(time_t when) {
    struct tm local {};
    ::localtime_r(&when, &local);
    return StampOf(local);
}

FatStamp Now() { return StampAt(::time(nullptr)); }

// The moment a stamp names, read as local time; invalid for a stamp that names no day (a date
// of 0, which some tools write).
QDateTime TimeOf(FatStamp stamp) {
    struct tm local {};
    local.tm_year = (stamp.date >> 9) + 80;
    local.tm_mon = ((stamp.date >> 5) & 15) - 1;
    local.tm_mday = stamp.date & 31;
    local.tm_hour = stamp.time >> 11;
    local.tm_min = (stamp.time >> 5) & 63;
    local.tm_sec = (stamp.time & 31) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0 || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59)
        return QDateTime();
    const time_t when = ::mktime(&local);
    if (when == time_t(-1)) return QDateTime();
    return QDateTime::fromSecsSinceEpoch(qint64(when), Qt::UTC);
}

// The last-write stamp of a short entry's slot.
FatStamp WrittenStamp(const unsigned char* slot) {
    FatStamp stamp;
    stamp.time = Le16(slot + 22);
    stamp.date = Le16(slot + 24);
    return stamp;
}

// Fills a short entry's name, attribute byte, cluster, size and times (created and last
// written at written, last accessed that day).
void FillShortSlot(unsigned char* slot, const ShortName& name, uint8_t attributes, uint32_t cluster,
                   uint32_t size, FatStamp written) {
    std::memset(slot, 0, SlotBytes);
    std::memcpy(slot, name.data(), name.size());
    slot[11] = attributes;
    const FatStamp now = Now();
    PutLe16(slot + 14, now.time);
    PutLe16(slot + 16, now.date);
    PutLe16(slot + 18, now.date);
    SetSlotFirstCluster(slot, cluster);
    PutLe16(slot + 22, written.time);
    PutLe16(slot + 24, written.date);
    PutLe32(slot + 28, size);
}

// A file of the image read in pieces; it follows the chain as far as each read needs. Small
// reads are served from up to ReadAheadBytes of adjacent clusters read at once, kept only while
// nothing has been written to the image since.
class FatFileReader final : public FileReader {
public:
    FatFileReader(std::shared_ptr<Image> image, uint32_t first, qint64 size, QString path)
        : m_image(std::move(image)),
          m_first(first),
          m_size(size),
          m_path(std::move(path)),
          m_cluster(first) {}

    qint64 Size() const override { return m_size; }

    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override {
        if (offset >= m_size || size <= 0) return qint64(0);
        size = std::min(size, m_size - offset);
        FatVolume& volume = m_image->volume;
        if (m_aheadWrites != volume.Writes()) m_ahead.clear();
        if (offset >= m_aheadOffset && offset < m_aheadOffset + qint64(m_ahead.size())) {
            const qint64 length = std::min(size, m_aheadOffset + qint64(m_ahead.size()) - offset);
            std::memcpy(buffer, m_ahead.data() + (offset - m_aheadOffset), size_t(length));
            return length;
        }
        const qint64 clusterBytes = volume.ClusterBytes();
        const qint64 index = offset / clusterBytes;
        if (index < m_index) {
            m_index = 0;
            m_cluster = m_first;
        }
        while (m_index < index) {
            Result<uint32_t> next = volume.Entry(m_cluster);
            if (!next) return Failure(m_path, next.reason());
            if (!volume.IsValidCluster(next.value())) return ChainDamage();
            m_cluster = next.value();
            ++m_index;
        }
        if (!volume.IsValidCluster(m_cluster)) return ChainDamage();
        // The run of adjacent clusters from this one, as far as the read (or the read-ahead)
        // and the file go.
        const qint64 start = index * clusterBytes;
        const qint64 within = offset - start;
        const bool ahead = size < ReadAheadBytes;
        const qint64 want = std::min(ahead ? ReadAheadBytes : within + size, m_size - start);
        qint64 run = 1;
        for (uint32_t cluster = m_cluster; run * clusterBytes < want; ++run, ++cluster) {
            Result<uint32_t> next = volume.Entry(cluster);
            if (!next) return Failure(m_path, next.reason());
            if (next.value() != cluster + 1) break;
        }
        const qint64 span = std::min(run * clusterBytes, want);
        if (!ahead) {
            const qint64 length = span - within;
            if (Status read = volume.Read(volume.ClusterOffset(m_cluster) + within, buffer, length);
                !read)
                return Failure(m_path, read.reason());
            return length;
        }
        m_ahead.resize(size_t(span));
        if (Status read = volume.Read(volume.ClusterOffset(m_cluster), m_ahead.data(), span);
            !read) {
            m_ahead.clear();
            return Failure(m_path, read.reason());
        }
        m_aheadOffset = start;
        m_aheadWrites = volume.Writes();
        const qint64 length = std::min(size, span - within);
        std::memcpy(buffer, m_ahead.data() + within, size_t(length));
        return length;
    }

private:
    static constexpr qint64 ReadAheadBytes = 128 * 1024;

    // A chain that ends before the file does, or leaves the volume.
    Status ChainDamage() {
        return m_image->volume.Damaged(m_path + QStringLiteral(": its cluster chain ends before "
                                                               "the file does, or is broken"));
    }

    std::shared_ptr<Image> m_image;
    uint32_t m_first;
    qint64 m_size;
    QString m_path;
    qint64 m_index = 0;  // the position in the chain of m_cluster
    uint32_t m_cluster;
    std::vector<char> m_ahead;  // the file's bytes from m_aheadOffset on
    qint64 m_aheadOffset = 0;
    uint64_t m_aheadWrites = 0;  // the volume's Writes() when they were read
};

// Where a DOS path lies in the image: its parent folder, and its entry when it exists.
struct Found {
    DosPath path;
    uint32_t folder = 0;  // the parent's folder id (for the root itself: the root's)
    std::optional<FatEntry> entry;

    bool IsRoot() const { return path.IsRoot(); }
    QString Name() const { return path.components.isEmpty() ? QString() : path.components.last(); }
};

// An existing entry and the folder that holds it.
struct Placed {
    uint32_t folder = 0;  // the parent's folder id
    FatEntry entry;
};

// An existing folder: its own id, and where it lies (nothing for the root).
struct PlacedFolder {
    uint32_t id = 0;
    std::optional<Placed> place;
};

class FatImageFileSystem final : public FileSystem {
public:
    FatImageFileSystem(QChar letter, std::shared_ptr<Image> image, OemCodePage codePage)
        : m_letter(letter.toUpper().unicode()),
          m_image(std::move(image)),
          m_codePage(codePage),
          m_rootId(m_image->volume.RootCluster()) {}

    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override;
    Result<int> ReadAttributes(const QString& path) override;
    Status WriteAttributes(const QString& path, int attributes) override;
    Status CopyFile(const QString& source, const QString& destination) override;
    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override;
    // The copies as one batch of the volume (fat_volume.h): every copy's data, then the table
    // once, then the entries, then the clusters of replaced files freed.
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override;
    Status DeleteFile(const QString& path) override;
    Status DeleteMatching(const QString& pattern) override;
    Status CreateFolder(const QString& path) override;
    Status RemoveEmptyFolder(const QString& path) override;
    Status RestrictToOwner(const QString& path) override;
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override;
    Result<QString> ShortAlias(const QString& path) override;
    QString CurrentDrive() override { return QChar(m_letter) + QStringLiteral(":"); }
    Status ChangeDrive(QChar letter) override;
    QString CurrentFolder() override { return QChar(m_letter) + QStringLiteral(":\\"); }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override;
    Status FlushToDisk(const QString& path) override;
    Result<DriveSpace> FreeSpace(const QString& path) override;
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override;
    Result<FileFacts> ReadFileFacts(const QString& path) override;

private:
    struct CachedFolder {
        FatFolder folder;
        std::optional<FolderEntries> entries;
    };
    // Fills count bytes of a new file's content from offset on.
    using Fill = std::function<Status(qint64 offset, char* buffer, qint64 count)>;
    // Puts count bytes of a new file's content, from offset on (a cluster's start), into the
    // volume at a new cluster's offset and the adjacent ones after it; the rest of the last
    // cluster is the placer's to fill. A failure is told for the new file.
    using Place = std::function<Status(qint64 offset, qint64 count, qint64 at)>;
    // Places what fill gives, through the copy buffer, the clusters' rest zeroed.
    Place Filling(const Fill& fill, const QString& path);

    FatVolume& Volume() { return m_image->volume; }
    Result<DosPath> Parse(const QString& path) const;
    // owner: the folder's DOS path, for the damage its chain may show; empty when not known.
    Result<CachedFolder*> Folder(uint32_t id, const QString& owner = {});
    Result<const std::vector<FatEntry>*> Entries(uint32_t id);
    Result<FolderEntries*> Indexed(uint32_t id);
    Result<std::optional<FatEntry>> FindEntry(uint32_t folder, QStringView name);
    Result<Found> Locate(const QString& path);
    // An existing file; the root, a folder and a missing entry are refused.
    Result<Placed> LocateFile(const QString& path);
    // An existing folder, the root included; a file and a missing entry are refused.
    Result<PlacedFolder> LocateFolder(const QString& path);
    // Locate for an entry to be made: the name checked against Windows' and FAT's rules.
    Result<Found> LocateNew(const QString& path);
    Status Writable(const QString& path);
    // The id of the folder an entry names; damage for a folder entry that names no cluster.
    Result<uint32_t> FolderOf(const FatEntry& entry, const QString& path);

    Result<uint32_t> WriteNewChain(qint64 size, const Place& place, const QString& path);
    Status FreeChain(uint32_t first, const QString& path);
    Result<int> AddEntry(uint32_t folderId, const QString& name, uint8_t attributes,
                         uint32_t cluster, uint32_t size, FatStamp written, const QString& path);
    Status ExtendFolder(uint32_t folderId, const QString& path);
    Status RemoveEntry(uint32_t folderId, const FatEntry& entry, const QString& path);
    Status UpdateShortSlot(uint32_t folderId, int slot, const unsigned char* bytes,
                           const QString& path);
    // Copies a file found in the image, its last-write time kept, with this attribute byte.
    Status CopyPlaced(const Placed& from, const QString& source, const QString& destination,
                      uint8_t attributes);
    // Creates or replaces a file: size bytes placed by content, this last-write time, this
    // attribute byte (unset: a replaced file keeps its own, a new one has the archive bit).
    // beforePlacing, when given, may still refuse the file once its data is written. It is one
    // batch, so that a replaced file's new chain and entry are on the disk before its old clusters
    // are freed.
    Status PutFile(const QString& destination, qint64 size, const Place& content, FatStamp written,
                   std::optional<uint8_t> attributes,
                   const std::function<Status()>& beforePlacing = {});
    Status PutFileInBatch(const QString& destination, qint64 size, const Place& content,
                          FatStamp written, std::optional<uint8_t> attributes,
                          const std::function<Status()>& beforePlacing);
    // Drops a folder whose slots in memory may no longer be those on disk.
    void Forget(uint32_t folderId);
    // Drops every folder, after a batch whose changes did not all reach the image.
    void ForgetAll();
    // Makes change as one batch of the volume (fat_volume.h); a batch that cannot be written
    // fails it, for path.
    Status InBatch(const QString& path, const std::function<Status()>& change);
    Status DeleteInBatch(const QString& path);
    Status DeleteMatchingInBatch(const QString& pattern);
    Status RemoveFolderInBatch(const QString& path);

    char16_t m_letter;
    std::shared_ptr<Image> m_image;
    OemCodePage m_codePage;
    uint32_t m_rootId;
    bool m_surveyed = false;
    std::map<uint32_t, CachedFolder> m_folders;
    std::list<uint32_t> m_folderAges;  // least recently used first
    std::vector<char> m_copyBuffer;    // a new chain's bytes on their way; CopyBufferBytes at most
};

Result<DosPath> FatImageFileSystem::Parse(const QString& path) const {
    std::optional<DosPath> parsed =
        ParseDosPath(path, m_letter, [](char16_t) { return QStringList(); });
    if (!parsed) return Refuse(path, Refusal::BadPath);
    if (parsed->drive != m_letter) return Refuse(path, Refusal::NoDrive);
    return *parsed;
}

Result<FatImageFileSystem::CachedFolder*> FatImageFileSystem::Folder(uint32_t id,
                                                                     const QString& owner) {
    if (auto found = m_folders.find(id); found != m_folders.end()) {
        m_folderAges.remove(id);
        m_folderAges.push_back(id);
        return &found->second;
    }
    Result<FatFolder> loaded = FatFolder::Load(
        Volume(), id, owner.isEmpty() ? QStringLiteral("the folder at cluster %1").arg(id) : owner);
    if (!loaded) return loaded.status();
    if (m_folders.size() >= CachedFolders) {
        m_folders.erase(m_folderAges.front());
        m_folderAges.pop_front();
    }
    m_folderAges.push_back(id);
    return &m_folders.emplace(id, CachedFolder{std::move(loaded).value(), std::nullopt})
                .first->second;
}

Result<FolderEntries*> FatImageFileSystem::Indexed(uint32_t id) {
    Result<CachedFolder*> cached = Folder(id);
    if (!cached) return cached.status();
    CachedFolder& folder = *cached.value();
    if (!folder.entries) {
        std::vector<FatEntry> entries = folder.folder.Entries(m_codePage);
        if (Volume().Type() != FatType::Fat32) {
            for (FatEntry& entry : entries) entry.firstCluster &= 0xFFFF;
        }
        folder.entries.emplace(std::move(entries));
    }
    return &*folder.entries;
}

Result<const std::vector<FatEntry>*> FatImageFileSystem::Entries(uint32_t id) {
    Result<FolderEntries*> indexed = Indexed(id);
    if (!indexed) return indexed.status();
    return &indexed.value()->All();
}

void FatImageFileSystem::Forget(uint32_t folderId) {
    m_folders.erase(folderId);
    m_folderAges.remove(folderId);
}

void FatImageFileSystem::ForgetAll() {
    m_folders.clear();
    m_folderAges.clear();
}

Result<std::optional<FatEntry>> FatImageFileSystem::FindEntry(uint32_t folder, QStringView name) {
    Result<FolderEntries*> entries = Indexed(folder);
    if (!entries) return entries.status();
    const FatEntry* match = entries.value()->Find(name);
    return match ? std::optional<FatEntry>(*match) : std::optional<FatEntry>();
}

Result<Found> FatImageFileSystem::Locate(const QString& path) {
    Result<DosPath> parsed = Parse(path);
    if (!parsed) return parsed.status();
    Found found;
    found.path = parsed.value();
    found.folder = m_rootId;
    if (found.IsRoot()) return found;
    const QStringList& components = found.path.components;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        Result<std::optional<FatEntry>> step = FindEntry(found.folder, components[i]);
        if (!step) return Failure(path, step.reason());
        if (!step.value()) return Refuse(path, Refusal::Missing);
        if (!step.value()->IsFolder()) return Refuse(path, Refusal::NotAFolder);
        DosPath stepPath = found.path;
        stepPath.components = components.mid(0, i + 1);
        Result<uint32_t> child = FolderOf(*step.value(), stepPath.Text());
        if (!child) return Failure(path, child.reason());
        found.folder = child.value();
    }
    Result<std::optional<FatEntry>> last = FindEntry(found.folder, components.last());
    if (!last) return Failure(path, last.reason());
    found.entry = last.value();
    return found;
}

Result<Placed> FatImageFileSystem::LocateFile(const QString& path) {
    Result<Found> found = Locate(path);
    if (!found) return found.status();
    if (found.value().IsRoot()) return Refuse(path, Refusal::IsFolder);
    if (!found.value().entry) return Refuse(path, Refusal::Missing);
    if (found.value().entry->IsFolder()) return Refuse(path, Refusal::IsFolder);
    return Placed{found.value().folder, *found.value().entry};
}

Result<PlacedFolder> FatImageFileSystem::LocateFolder(const QString& path) {
    Result<Found> found = Locate(path);
    if (!found) return found.status();
    if (found.value().IsRoot()) return PlacedFolder{m_rootId, std::nullopt};
    if (!found.value().entry) return Refuse(path, Refusal::Missing);
    const FatEntry& entry = *found.value().entry;
    if (!entry.IsFolder()) return Refuse(path, Refusal::NotAFolder);
    Result<uint32_t> id = FolderOf(entry, path);
    if (!id) return id.status();
    return PlacedFolder{id.value(), Placed{found.value().folder, entry}};
}

Result<uint32_t> FatImageFileSystem::FolderOf(const FatEntry& entry, const QString& path) {
    // Cluster 0 names the root only in a ".." entry; read as the root here, it would put a
    // folder's files into the root.
    if (entry.firstCluster == 0)
        return Volume().Damaged(path + QStringLiteral(": its folder entry names no cluster"));
    return entry.firstCluster;
}

Result<Found> FatImageFileSystem::LocateNew(const QString& path) {
    Result<DosPath> parsed = Parse(path);
    if (!parsed) return parsed.status();
    if (parsed.value().IsRoot()) return Refuse(path, Refusal::DriveRoot);
    const QString name = parsed.value().components.last();
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

Result<std::unique_ptr<FileReader>> FatImageFileSystem::OpenForReading(const QString& path) {
    Result<Placed> found = LocateFile(path);
    if (!found) return found.status();
    const FatEntry& entry = found.value().entry;
    return std::unique_ptr<FileReader>(
        std::make_unique<FatFileReader>(m_image, entry.firstCluster, qint64(entry.size), path));
}

Result<int> FatImageFileSystem::ReadAttributes(const QString& path) {
    Result<Found> found = Locate(path);
    if (!found) return found.status();
    if (found.value().IsRoot()) return int(Attribute::Folder);
    if (!found.value().entry) return Refuse(path, Refusal::Missing);
    return found.value().entry->attributes & KnownAttributes;
}

Result<FileFacts> FatImageFileSystem::ReadFileFacts(const QString& path) {
    Result<Placed> found = LocateFile(path);
    if (!found) return found.status();
    const FatEntry& entry = found.value().entry;
    Result<CachedFolder*> cached = Folder(found.value().folder);
    if (!cached) return Failure(path, cached.reason());
    FileFacts facts;
    facts.size = qint64(entry.size);
    facts.lastWrite = TimeOf(WrittenStamp(cached.value()->folder.Slot(entry.shortSlot)));
    facts.attributes = entry.attributes & KnownAttributes;
    return facts;
}

Status FatImageFileSystem::UpdateShortSlot(uint32_t folderId, int slot, const unsigned char* bytes,
                                           const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    FatFolder& folder = cached.value()->folder;
    std::memcpy(folder.Slot(slot), bytes, SlotBytes);
    if (cached.value()->entries) {
        if (FatEntry* entry = cached.value()->entries->AtSlot(slot)) {
            entry->attributes = bytes[11];
            entry->firstCluster = SlotFirstCluster(bytes, Volume().Type());
            entry->size = Le32(bytes + 28);
        }
    }
    if (Status put = folder.WriteSlots(Volume(), slot, 1); !put) {
        Forget(folderId);
        return Failure(path, put.reason());
    }
    return Status::Ok();
}

Status FatImageFileSystem::WriteAttributes(const QString& path, int attributes) {
    if ((attributes & ~KnownAttributes) != 0) return Refuse(path, Refusal::UnknownAttributes);
    Result<Found> found = Locate(path);
    if (!found) return found.status();
    if (found.value().IsRoot()) {
        if ((attributes & ~Attribute::Folder) == 0) return Status::Ok();
        return Refuse(path, Refusal::DriveRoot);
    }
    if (!found.value().entry) return Refuse(path, Refusal::Missing);
    const FatEntry& entry = *found.value().entry;
    const uint8_t value = uint8_t((entry.attributes & ~(KindBits | Attribute::Archive)) |
                                  (attributes & (KindBits | Attribute::Archive)));
    if (value == entry.attributes) return Status::Ok();
    if (Status writable = Writable(path); !writable) return writable;
    Result<CachedFolder*> cached = Folder(found.value().folder);
    if (!cached) return Failure(path, cached.reason());
    unsigned char slot[SlotBytes];
    std::memcpy(slot, cached.value()->folder.Slot(entry.shortSlot), SlotBytes);
    slot[11] = value;
    return UpdateShortSlot(found.value().folder, entry.shortSlot, slot, path);
}

FatImageFileSystem::Place FatImageFileSystem::Filling(const Fill& fill, const QString& path) {
    return [this, &fill, &path](qint64 offset, qint64 count, qint64 at) {
        FatVolume& volume = Volume();
        const qint64 clusterBytes = volume.ClusterBytes();
        const qint64 clusters = (count + clusterBytes - 1) / clusterBytes;
        const qint64 bufferClusters =
            std::clamp<qint64>(CopyBufferBytes / clusterBytes, 1, clusters);
        m_copyBuffer.resize(size_t(bufferClusters * clusterBytes));
        char* const buffer = m_copyBuffer.data();
        for (qint64 done = 0; done < count;) {
            const qint64 bytes =
                std::min(bufferClusters * clusterBytes, (clusters * clusterBytes) - done);
            const qint64 data = std::min(bytes, count - done);
            if (Status filled = fill(offset + done, buffer, data); !filled) return filled;
            std::memset(buffer + data, 0, size_t(bytes - data));
            if (Status put = volume.WriteData(at + done, buffer, bytes); !put)
                return Failure(path, put.reason());
            done += bytes;
        }
        return Status::Ok();
    };
}

Result<uint32_t> FatImageFileSystem::WriteNewChain(qint64 size, const Place& place,
                                                   const QString& path) {
    FatVolume& volume = Volume();
    const qint64 clusterBytes = volume.ClusterBytes();
    if (size > 0xFFFFFFFFll)
        return Failure(path, QStringLiteral("The file is larger than the 4 GiB a FAT file "
                                            "system can hold"));
    const uint32_t count = uint32_t((size + clusterBytes - 1) / clusterBytes);
    if (count == 0) return uint32_t(0);
    Result<std::vector<uint32_t>> free = volume.FindFree(count);
    if (!free) return Failure(path, free.reason());
    const std::vector<uint32_t>& clusters = free.value();
    for (size_t i = 0; i < clusters.size();) {
        size_t run = 1;
        while (i + run < clusters.size() && clusters[i + run] == clusters[i] + run) ++run;
        const qint64 offset = qint64(i) * clusterBytes;
        const qint64 data = std::min(qint64(run) * clusterBytes, size - offset);
        if (Status placed = place(offset, data, volume.ClusterOffset(clusters[i])); !placed)
            return placed;
        i += run;
    }
    for (size_t i = 0; i < clusters.size(); ++i) {
        const uint32_t next = i + 1 < clusters.size() ? clusters[i + 1] : volume.EndOfChainMark();
        if (Status set = volume.SetEntry(clusters[i], next); !set) {
            volume.DiscardTable();
            return Failure(path, set.reason());
        }
    }
    if (Status committed = volume.CommitTable(); !committed) {
        volume.DiscardTable();
        return Failure(path, committed.reason());
    }
    return clusters.front();
}

Status FatImageFileSystem::FreeChain(uint32_t first, const QString& path) {
    FatVolume& volume = Volume();
    if (!volume.IsValidCluster(first)) return Status::Ok();
    Result<std::vector<uint32_t>> chain = volume.Chain(first, volume.LastCluster(), path);
    if (!chain) return Failure(path, chain.reason());
    for (uint32_t cluster : chain.value()) {
        if (Status set = volume.SetEntry(cluster, 0); !set) {
            volume.DiscardTable();
            return Failure(path, set.reason());
        }
    }
    if (Status committed = volume.CommitTable(); !committed) {
        volume.DiscardTable();
        return Failure(path, committed.reason());
    }
    return Status::Ok();
}

Status FatImageFileSystem::ExtendFolder(uint32_t folderId, const QString& path) {
    FatVolume& volume = Volume();
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    if (cached.value()->folder.IsFixedRoot()) return Refuse(path, Refusal::RootFull);
    if (qint64(cached.value()->folder.SlotCount()) + volume.ClusterBytes() / SlotBytes > 65536)
        return Failure(path, QStringLiteral("The folder holds as many entries as FAT allows"));
    // An empty cluster, then its end-of-chain mark, then the link to it: a kill before the link
    // leaves one lost cluster; after it, the folder has empty room.
    const Fill zeros = [](qint64, char* buffer, qint64 count) {
        std::memset(buffer, 0, size_t(count));
        return Status::Ok();
    };
    Result<uint32_t> added = WriteNewChain(volume.ClusterBytes(), Filling(zeros, path), path);
    if (!added) return added.status();
    const uint32_t last = cached.value()->folder.Clusters().back();
    if (Status set = volume.SetEntry(last, added.value()); !set) {
        volume.DiscardTable();
        return Failure(path, set.reason());
    }
    if (Status committed = volume.CommitTable(); !committed) {
        volume.DiscardTable();
        return Failure(path, committed.reason());
    }
    // The folder was looked up again by WriteNewChain's callers never; the pointer is still ours.
    // Its entries stay as they were: the new cluster's slots are all unused.
    cached.value()->folder.AppendCluster(added.value(), volume.ClusterBytes());
    return Status::Ok();
}

Result<int> FatImageFileSystem::AddEntry(uint32_t folderId, const QString& name, uint8_t attributes,
                                         uint32_t cluster, uint32_t size, FatStamp written,
                                         const QString& path) {
    Result<FolderEntries*> entries = Indexed(folderId);
    if (!entries) return Failure(path, entries.reason());
    const auto taken = [&](const ShortName& candidate) {
        return entries.value()->HasShortName(candidate);
    };
    std::vector<std::array<unsigned char, 32>> slots;
    ShortName shortName;
    if (std::optional<ShortName> exact = ExactShortName(name, m_codePage);
        exact && !taken(*exact)) {
        shortName = *exact;
    } else {
        Result<ShortName> alias = MakeAlias(name, m_codePage, taken);
        if (!alias) return Failure(path, alias.reason());
        shortName = alias.value();
        slots = LongNameSlots(name, ShortNameChecksum(shortName));
    }
    std::array<unsigned char, 32> shortSlot{};
    FillShortSlot(shortSlot.data(), shortName, attributes, cluster, size, written);
    slots.push_back(shortSlot);
    const int need = int(slots.size());

    for (int attempt = 0;; ++attempt) {
        Result<CachedFolder*> cached = Folder(folderId);
        if (!cached) return Failure(path, cached.reason());
        FatFolder& folder = cached.value()->folder;
        const int perCluster =
            folder.IsFixedRoot() ? folder.SlotCount() : int(Volume().ClusterBytes() / SlotBytes);
        // The first run of free slots that lies in one piece on the volume (or, for a name
        // longer than a cluster holds, any run).
        int start = -1;
        for (int index = 0; index + need <= folder.SlotCount(); ++index) {
            int free = 0;
            while (free < need &&
                   (folder.Slot(index + free)[0] == 0x00 || folder.Slot(index + free)[0] == 0xE5))
                ++free;
            if (free < need) {
                index += free;
                continue;
            }
            if (need > perCluster || folder.Contiguous(Volume(), index, need)) {
                start = index;
                break;
            }
        }
        if (start >= 0) {
            // Readers stop at the first never-used slot: any before the run become deleted
            // ones first, or the new entry would lie beyond the folder's end.
            int unused = start;
            while (unused > 0 && folder.Slot(unused - 1)[0] == 0x00) --unused;
            if (unused < start) {
                for (int i = unused; i < start; ++i) folder.Slot(i)[0] = 0xE5;
                if (Status put = folder.WriteSlots(Volume(), unused, start - unused); !put) {
                    Forget(folderId);
                    return Failure(path, put.reason());
                }
            }
            for (int i = 0; i < need; ++i)
                std::memcpy(folder.Slot(start + i), slots[size_t(i)].data(), SlotBytes);
            Status put = Status::Ok();
            if (folder.Contiguous(Volume(), start, need)) {
                put = folder.WriteSlots(Volume(), start, need);
            } else {
                put = folder.WriteSlots(Volume(), start, need - 1);
                if (put) put = folder.WriteSlots(Volume(), start + need - 1, 1);
            }
            if (!put) {
                Forget(folderId);
                return Failure(path, put.reason());
            }
            if (std::optional<FolderEntries>& known = cached.value()->entries) {
                FatEntry entry;
                entry.shortName = shortName;
                entry.shortText = ShortNameText(shortName, m_codePage, false, false);
                entry.name = slots.size() > 1 ? name : entry.shortText;
                entry.attributes = attributes;
                entry.firstCluster = cluster;
                entry.size = size;
                entry.firstSlot = start;
                entry.shortSlot = start + need - 1;
                known->Insert(std::move(entry));
            }
            return start + need - 1;
        }
        if (attempt > 2 + need / std::max(1, perCluster))
            return Failure(path, QStringLiteral("No room was found in the folder"));
        if (Status extended = ExtendFolder(folderId, path); !extended) return extended;
    }
}

Status FatImageFileSystem::RemoveEntry(uint32_t folderId, const FatEntry& entry,
                                       const QString& path) {
    Result<CachedFolder*> cached = Folder(folderId);
    if (!cached) return Failure(path, cached.reason());
    FatFolder& folder = cached.value()->folder;
    const int count = entry.shortSlot - entry.firstSlot + 1;
    for (int slot = entry.firstSlot; slot <= entry.shortSlot; ++slot) folder.Slot(slot)[0] = 0xE5;
    if (std::optional<FolderEntries>& known = cached.value()->entries)
        known->Remove(entry.shortSlot);
    // The long name goes first, so that a kill between leaves the file under its short name
    // rather than a long name without its entry.
    Status put = Status::Ok();
    if (folder.Contiguous(Volume(), entry.firstSlot, count)) {
        put = folder.WriteSlots(Volume(), entry.firstSlot, count);
    } else {
        put = folder.WriteSlots(Volume(), entry.firstSlot, count - 1);
        if (put) put = folder.WriteSlots(Volume(), entry.shortSlot, 1);
    }
    if (!put) {
        Forget(folderId);
        return Failure(path, put.reason());
    }
    return Status::Ok();
}

Status FatImageFileSystem::InBatch(const QString& path, const std::function<Status()>& change) {
    Volume().BeginBatch();
    const Status changed = change();
    if (Status ended = Volume().EndBatch(); !ended) {
        ForgetAll();
        return changed ? Failure(path, ended.reason()) : changed;
    }
    return changed;
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
    Result<Found> located = LocateNew(destination);
    if (!located) return located.status();
    const Found& place = located.value();
    if (place.entry) {
        if (place.entry->IsFolder()) return Refuse(destination, Refusal::IsFolder);
        // Windows refuses to overwrite a read-only file; callers clear its attributes first.
        if (place.entry->attributes & EntryAttribute::ReadOnly)
            return Refuse(destination, Refusal::ReadOnly);
    }
    if (Status writable = Writable(destination); !writable) return writable;

    Result<uint32_t> first = WriteNewChain(size, content, destination);
    if (!first) return first.status();
    if (beforePlacing) {
        if (Status allowed = beforePlacing(); !allowed) {
            (void)FreeChain(first.value(), destination);
            return allowed;
        }
    }
    if (!place.entry) {
        Result<int> added =
            AddEntry(place.folder, place.Name(), attributes.value_or(EntryAttribute::Archive),
                     first.value(), uint32_t(size), written, destination);
        if (!added) {
            (void)FreeChain(first.value(), destination);
            return added.status();
        }
        return Status::Ok();
    }
    Result<CachedFolder*> cached = Folder(place.folder);
    if (!cached) {
        (void)FreeChain(first.value(), destination);
        return Failure(destination, cached.reason());
    }
    unsigned char slot[SlotBytes];
    std::memcpy(slot, cached.value()->folder.Slot(place.entry->shortSlot), SlotBytes);
    if (attributes) slot[11] = *attributes;
    SetSlotFirstCluster(slot, first.value());
    PutLe32(slot + 28, uint32_t(size));
    PutLe16(slot + 22, written.time);
    PutLe16(slot + 24, written.date);
    PutLe16(slot + 18, Now().date);
    if (Status updated = UpdateShortSlot(place.folder, place.entry->shortSlot, slot, destination);
        !updated) {
        (void)FreeChain(first.value(), destination);
        return updated;
    }
    // Only now that the entry names the new clusters do the old ones go.
    return FreeChain(place.entry->firstCluster, destination);
}

Status FatImageFileSystem::CopyFile(const QString& source, const QString& destination) {
    Result<Placed> from = LocateFile(source);
    if (!from) return from.status();
    return CopyPlaced(from.value(), source, destination, EntryAttribute::Archive);
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
            if (Status cleared = WriteAttributes(destination, 0); !cleared) return cleared;
        }
    }
    const uint8_t attributes = uint8_t(placed.entry.attributes & (KindBits | Attribute::Archive));
    if (Status copied = CopyPlaced(placed, source, destination, attributes); !copied) {
        if (oldAttributes) (void)WriteAttributes(destination, *oldAttributes);
        return copied;
    }
    return true;
}

Status FatImageFileSystem::CopyPlaced(const Placed& from, const QString& source,
                                      const QString& destination, uint8_t attributes) {
    const FatEntry entry = from.entry;
    std::vector<uint32_t> chain;
    if (entry.size > 0) {
        const qint64 clusterBytes = Volume().ClusterBytes();
        const uint32_t needed = uint32_t((qint64(entry.size) + clusterBytes - 1) / clusterBytes);
        Result<std::vector<uint32_t>> read = Volume().Chain(entry.firstCluster, needed, source);
        if (!read) return read.status();
        chain = std::move(read).value();
        if (chain.size() < needed)
            return Volume().Damaged(source + QStringLiteral(": its cluster chain ends before the "
                                                            "file does"));
    }
    Result<CachedFolder*> cached = Folder(from.folder);
    if (!cached) return Failure(source, cached.reason());
    const FatStamp written = WrittenStamp(cached.value()->folder.Slot(entry.shortSlot));

    FatVolume& volume = Volume();
    const qint64 clusterBytes = volume.ClusterBytes();
    // The source's bytes from offset on, in runs of adjacent clusters: take(done, at, bytes)
    // for each, where at is the run's offset in the volume.
    const auto eachRun = [&](qint64 offset, qint64 count,
                             const std::function<Status(qint64, qint64, qint64)>& take) {
        for (qint64 done = 0; done < count;) {
            const size_t index = size_t((offset + done) / clusterBytes);
            size_t run = 1;
            while (index + run < chain.size() && qint64(run) * clusterBytes < count - done &&
                   chain[index + run] == chain[index] + run)
                ++run;
            const qint64 bytes = std::min(qint64(run) * clusterBytes, count - done);
            if (Status taken = take(done, volume.ClusterOffset(chain[index]), bytes); !taken)
                return taken;
            done += bytes;
        }
        return Status::Ok();
    };
    if (entry.size < CopyInKernelBytes) {
        const Fill fill = [&](qint64 offset, char* buffer, qint64 count) {
            return eachRun(offset, count, [&](qint64 done, qint64 at, qint64 bytes) {
                if (Status read = volume.Read(at, buffer + done, bytes); !read)
                    return Failure(source, read.reason());
                return Status::Ok();
            });
        };
        return PutFile(destination, entry.size, Filling(fill, destination), written, attributes);
    }
    // Whole clusters, the rest of the last one as the source has it.
    const Place copy = [&](qint64 offset, qint64 count, qint64 to) {
        const qint64 clusters = (count + clusterBytes - 1) / clusterBytes;
        return eachRun(offset, clusters * clusterBytes, [&](qint64 done, qint64 at, qint64 bytes) {
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
        ForgetAll();
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

Status FatImageFileSystem::WriteFileFrom(FileReader& source, std::optional<int> attributes,
                                         const QDateTime& lastWrite, const QString& destination,
                                         const std::function<Status()>& beforePlacing) {
    if (attributes && (*attributes & ~KnownAttributes) != 0)
        return Refuse(destination, Refusal::UnknownAttributes);
    const Fill fill = [&](qint64 offset, char* buffer, qint64 count) {
        for (qint64 done = 0; done < count;) {
            Result<qint64> got = source.ReadAt(offset + done, buffer + done, count - done);
            if (!got) return got.status();
            if (got.value() == 0)
                return Failure(destination, QStringLiteral("The source file became shorter "
                                                           "while it was copied"));
            done += got.value();
        }
        return Status::Ok();
    };
    const FatStamp written =
        lastWrite.isValid() ? StampAt(time_t(lastWrite.toSecsSinceEpoch())) : Now();
    const uint8_t byte = attributes ? uint8_t(*attributes & (KindBits | Attribute::Archive))
                                    : EntryAttribute::Archive;
    return PutFile(destination, source.Size(), Filling(fill, destination), written, byte,
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
    return PutFile(path, text.size(), Filling(fill, path), Now(), std::nullopt);
}

// A deleted file's entry must be gone on the disk before its clusters are free there: the batch
// puts a barrier between them.
Status FatImageFileSystem::DeleteFile(const QString& path) {
    return InBatch(path, [&] { return DeleteInBatch(path); });
}

Status FatImageFileSystem::DeleteInBatch(const QString& path) {
    Result<Placed> found = LocateFile(path);
    if (!found) return found.status();
    const FatEntry entry = found.value().entry;
    if (entry.attributes & EntryAttribute::ReadOnly) return Refuse(path, Refusal::ReadOnly);
    if (Status writable = Writable(path); !writable) return writable;
    if (Status removed = RemoveEntry(found.value().folder, entry, path); !removed) return removed;
    return FreeChain(entry.firstCluster, path);
}

Status FatImageFileSystem::DeleteMatching(const QString& pattern) {
    return InBatch(pattern, [&] { return DeleteMatchingInBatch(pattern); });
}

Status FatImageFileSystem::DeleteMatchingInBatch(const QString& pattern) {
    Result<DosPath> parsed = Parse(pattern);
    if (!parsed) return parsed.status();
    if (parsed.value().IsRoot()) return Status::Ok();
    DosPath folderPath = parsed.value();
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<PlacedFolder> folder = LocateFolder(folderPath.Text());
    if (!folder) return Status::Ok();  // a folder that is not there holds no matching file
    const uint32_t id = folder.value().id;
    Result<const std::vector<FatEntry>*> entries = Entries(id);
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
            deleted = RemoveEntry(id, entry, text);
            if (deleted) deleted = FreeChain(entry.firstCluster, text);
        }
        failures.Note(deleted);
    }
    return failures.Outcome();
}

Status FatImageFileSystem::CreateFolder(const QString& path) {
    Result<Found> located = LocateNew(path);
    if (!located) return located.status();
    const Found& place = located.value();
    if (place.entry) return Refuse(path, Refusal::Exists);
    if (Status writable = Writable(path); !writable) return writable;
    const FatStamp now = Now();
    // The new folder's first cluster holds its "." and ".." entries before anything names it.
    Result<std::vector<uint32_t>> free = Volume().FindFree(1);
    if (!free) return Failure(path, free.reason());
    const uint32_t cluster = free.value().front();
    const Fill fill = [&](qint64, char* buffer, qint64 count) {
        std::memset(buffer, 0, size_t(count));
        ShortName dot;
        dot.fill(' ');
        dot[0] = '.';
        FillShortSlot(reinterpret_cast<unsigned char*>(buffer), dot, EntryAttribute::Folder,
                      cluster, 0, now);
        dot[1] = '.';
        FillShortSlot(reinterpret_cast<unsigned char*>(buffer) + SlotBytes, dot,
                      EntryAttribute::Folder, place.folder == m_rootId ? 0 : place.folder, 0, now);
        return Status::Ok();
    };
    Result<uint32_t> first = WriteNewChain(Volume().ClusterBytes(), Filling(fill, path), path);
    if (!first) return first.status();
    if (first.value() != cluster) {
        (void)FreeChain(first.value(), path);
        return Failure(path, QStringLiteral("The free space of the file system changed "
                                            "unexpectedly"));
    }
    Result<int> added =
        AddEntry(place.folder, place.Name(), EntryAttribute::Folder, cluster, 0, now, path);
    if (!added) {
        (void)FreeChain(cluster, path);
        return added.status();
    }
    return Status::Ok();
}

Status FatImageFileSystem::RemoveEmptyFolder(const QString& path) {
    return InBatch(path, [&] { return RemoveFolderInBatch(path); });
}

Status FatImageFileSystem::RemoveFolderInBatch(const QString& path) {
    Result<PlacedFolder> found = LocateFolder(path);
    if (!found) return found.status();
    if (!found.value().place) return Refuse(path, Refusal::DriveRoot);
    const Placed place = *found.value().place;
    const uint32_t id = found.value().id;
    Result<const std::vector<FatEntry>*> inside = Entries(id);
    if (!inside) return Failure(path, inside.reason());
    for (const FatEntry& each : *inside.value()) {
        if (!each.IsDotEntry()) return Refuse(path, Refusal::NotEmpty);
    }
    if (Status writable = Writable(path); !writable) return writable;
    if (Status removed = RemoveEntry(place.folder, place.entry, path); !removed) return removed;
    Forget(id);
    return FreeChain(place.entry.firstCluster, path);
}

Status FatImageFileSystem::RestrictToOwner(const QString& path) {
    // FAT keeps no owners or permissions: there is nothing to restrict, and the folder's
    // attributes stay as they are.
    Result<PlacedFolder> found = LocateFolder(path);
    return found ? Status::Ok() : found.status();
}

Result<std::vector<FolderEntry>> FatImageFileSystem::ListFolder(const QString& pattern, int mask) {
    std::vector<FolderEntry> listed;
    Result<DosPath> parsed = Parse(pattern);
    if (!parsed) return parsed.status();
    if (parsed.value().IsRoot())
        return listed;  // a folder with no name to match: Windows finds nothing either
    DosPath folderPath = parsed.value();
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<PlacedFolder> folder = LocateFolder(folderPath.Text());
    // A folder that does not exist lists nothing; one that cannot be read is trouble.
    if (!folder) {
        if (folder.notFound() || !Volume().IsDamaged()) return listed;
        return folder.status();
    }
    const uint32_t id = folder.value().id;
    Result<const std::vector<FatEntry>*> entries = Entries(id);
    if (!entries) return Failure(pattern, entries.reason());
    for (const FatEntry& entry : *entries.value()) {
        const int attributes = entry.attributes & KnownAttributes;
        // Plain files always; read-only, hidden and system files and folders only when the
        // mask holds their bits.
        if ((attributes & (KindBits | Attribute::Folder) & ~mask) != 0) continue;
        if (!wildcard.Matches(entry.name)) continue;
        listed.push_back({entry.name, attributes});
    }
    return listed;
}

Result<QString> FatImageFileSystem::ShortAlias(const QString& path) {
    Result<Found> found = Locate(path);
    if (!found) return found.status();
    if (!found.value().entry) return Refuse(path, Refusal::Missing);
    return found.value().entry->shortText;
}

Status FatImageFileSystem::ChangeDrive(QChar letter) {
    if (letter.toUpper().unicode() == m_letter) return Status::Ok();
    return Refuse(QString(letter.toUpper()) + QStringLiteral(":"), Refusal::NoDrive);
}

Status FatImageFileSystem::FlushToDisk(const QString& path) {
    if (Result<DosPath> parsed = Parse(path); !parsed) return parsed.status();
    if (Status flushed = Volume().Flush(); !flushed) return Failure(path, flushed.reason());
    return Status::Ok();
}

Result<DriveSpace> FatImageFileSystem::FreeSpace(const QString& path) {
    if (Result<DosPath> parsed = Parse(path); !parsed) return parsed.status();
    FatVolume& volume = Volume();
    Result<int64_t> clusters = volume.FreeClusters();
    if (!clusters) return Failure(path, clusters.reason());
    // Every file and folder takes whole clusters, so the cluster is the unit of room.
    DriveSpace space;
    space.unitBytes = volume.ClusterBytes();
    space.freeBytes = clusters.value() * space.unitBytes;
    return space;
}

}  // namespace

namespace {

// Opens the disk image and locks it; fails with a message for the user.
Result<std::shared_ptr<ImageFile>> OpenImageFile(const std::string& hostPath,
                                                 bool* anotherCopy = nullptr) {
    auto file = std::make_shared<ImageFile>();
    file->name = QString::fromLocal8Bit(hostPath.c_str());
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) == 0) {
        file->hostDevice = info.st_dev;
        file->inode = info.st_ino;
    }
    Result<OpenedDisk> disk = OpenDisk(hostPath, file->name, anotherCopy);
    if (!disk) return disk.status();
    file->writable = disk.value().writable;
    file->device = std::move(disk).value().device;
    return file;
}

// The file system of one volume of an open disk image.
Result<std::unique_ptr<FileSystem>> OpenVolume(QChar letter, std::shared_ptr<ImageFile> file,
                                               const FatImageOptions& options,
                                               qint64* volumeOffset = nullptr) {
    Result<OemCodePage> codePage = options.codePage != 0 ? OemCodePage::ByNumber(options.codePage)
                                                         : OemCodePage::FromEnvironment();
    if (!codePage) return codePage.status();
    Result<VolumeSpan> span = FindFatVolume(*file->device, options.partition, file->name);
    if (!span) return span.status();
    if (volumeOffset) *volumeOffset = span.value().offset;
    Result<FatVolume> volume = FatVolume::Open(*file->device, file->writable, span.value().offset,
                                               span.value().length, file->name);
    if (!volume) return volume.status();
    auto image = std::make_shared<Image>();
    image->file = std::move(file);
    image->volume = std::move(volume).value();
    image->volume.SetUncleanNote(UncleanNote(image->file->hostDevice, image->file->inode,
                                             span.value().offset, image->volume.Serial(),
                                             image->file->name));
    return std::unique_ptr<FileSystem>(
        std::make_unique<FatImageFileSystem>(letter, std::move(image), codePage.value()));
}

Result<std::unique_ptr<FileSystem>> ForDrive(QChar letter,
                                             Result<std::unique_ptr<FileSystem>> opened) {
    if (opened) return opened;
    return Status::Fail(QStringLiteral("drive ") + letter.toUpper() + QStringLiteral(": ") +
                        opened.reason());
}

}  // namespace

Result<std::unique_ptr<FileSystem>> OpenFatImageFile(QChar letter, const std::string& hostPath,
                                                     const FatImageOptions& options) {
    Result<std::shared_ptr<ImageFile>> file = OpenImageFile(hostPath);
    if (!file) return file.status();
    return OpenVolume(letter, std::move(file).value(), options);
}

FatImageOpener::FatImageOpener() = default;
FatImageOpener::~FatImageOpener() = default;

Result<std::unique_ptr<FileSystem>> FatImageOpener::Open(QChar letter, const DriveSource& source) {
    FatImageOptions options;
    options.partition = source.partition;
    // An image that holds another drive already is not opened nor locked again.
    std::shared_ptr<ImageFile> file;
    struct stat info {};
    if (::stat(source.hostPath.c_str(), &info) == 0) {
        for (const Opened& opened : m_opened) {
            if (opened.file->hostDevice == info.st_dev && opened.file->inode == info.st_ino)
                file = opened.file;
        }
    }
    if (!file) {
        Result<std::shared_ptr<ImageFile>> fresh = OpenImageFile(source.hostPath, &m_anotherCopy);
        if (!fresh) return ForDrive(letter, fresh.status());
        file = std::move(fresh).value();
    }
    qint64 offset = -1;
    Result<std::unique_ptr<FileSystem>> opened = OpenVolume(letter, file, options, &offset);
    if (!opened) return ForDrive(letter, std::move(opened));
    for (const Opened& other : m_opened) {
        // Two file systems over one volume would each hold changes the other cannot see.
        if (other.file == file && other.offset == offset)
            return Status::Fail(
                QStringLiteral("drive %1: is the same volume of %2 as drive %3:; "
                               "name another partition")
                    .arg(QString(letter.toUpper()), file->name, QString(other.letter)));
    }
    m_opened.push_back({file, offset, letter.toUpper()});
    return opened;
}

Result<std::unique_ptr<FileSystem>> OpenFatImage(QChar letter, const DriveSource& source) {
    return FatImageOpener().Open(letter, source);
}

}  // namespace stowix
