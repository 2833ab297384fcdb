#pragma once
// The file system of one volume of a disk image, as fat_image_file_system.h describes it to the
// rest of the program: DOS paths found in the image's folders, files read, written, copied and
// deleted with the guarantees given there. It works in paths and whole changes; the slots of its
// folders are the folder cache's (folder_cache.h), the chains of its files the chain writer's
// (cluster_chains.h), and the order of the writes the volume's (fat_volume.h).
//
// Its implementation is split by what a call does: finding paths and reading (fat_file_system.cpp),
// making, replacing and deleting files and folders (fat_file_writes.cpp), copies inside the
// image (fat_file_copies.cpp).

#include "dos/dos_path.h"
#include "fat/cluster_chains.h"
#include "fat/fat_folder.h"
#include "fat/fat_names.h"
#include "fat/fat_volume.h"
#include "fat/folder_cache.h"
#include "fs/file_system.h"

#include <sys/types.h>

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace stowix::fat {

// The DOS attributes an entry's attribute byte carries over to the program.
constexpr int KnownAttributes = Attribute::ReadOnly | Attribute::Hidden | Attribute::System |
                                Attribute::Folder | Attribute::Archive;

// One disk image, open and locked once for every drive it holds.
struct ImageFile {
    std::unique_ptr<BlockDevice> device;
    bool writable = false;
    QString whyNotWritable;  // for a file that could be written but is not to be (open_disk.h)
    dev_t hostDevice = 0;
    ino_t inode = 0;
    QString name;
};

// One volume of a disk image, shared by the file system and the readers it gives out.
struct Image {
    std::shared_ptr<ImageFile> file;
    FatVolume volume;
    ~Image() {
        // FAT32's free-cluster count, unknown since the first change, is right again.
        (void)volume.Finish();
    }
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
    FatImageFileSystem(QChar letter, std::shared_ptr<Image> image, OemCodePage codePage);

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
    FatVolume& Volume() { return m_image->volume; }
    Result<DosPath> Parse(const QString& path) const;
    Result<Found> Locate(const QString& path);
    // An existing file; the root, a folder and a missing entry are refused.
    Result<Placed> LocateFile(const QString& path);
    // An existing folder, the root included; a file and a missing entry are refused.
    Result<PlacedFolder> LocateFolder(const QString& path);
    // Locate for an entry to be made: the name checked against Windows' and FAT's rules.
    Result<Found> LocateNew(const QString& path);
    // Whether path may be changed; before the first change, the volume is surveyed.
    Status Writable(const QString& path);
    // The id of the folder an entry names; damage for a folder entry that names no cluster.
    Result<uint32_t> FolderOf(const FatEntry& entry, const QString& path);

    // Copies a file found in the image, its last-write time kept, with this attribute byte.
    Status CopyPlaced(const Placed& from, const QString& source, const QString& destination,
                      uint8_t attributes);
    // The clusters of a file's chain as far as its size needs them.
    Result<std::vector<uint32_t>> FileChain(const FatEntry& entry, const QString& path);
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
    // Makes change as one batch of the volume (fat_volume.h); a batch that cannot be written
    // fails it, for path.
    Status InBatch(const QString& path, const std::function<Status()>& change);
    Status DeleteInBatch(const QString& path);
    Status DeleteMatchingInBatch(const QString& pattern);
    Status RemoveFolderInBatch(const QString& path);
    Status CreateFolderInBatch(const QString& path, const Found& place);

    char16_t m_letter;
    std::shared_ptr<Image> m_image;
    OemCodePage m_codePage;
    uint32_t m_rootId;
    bool m_surveyed = false;
    ChainWriter m_chains;
    FolderCache m_folders;
};

}  // namespace stowix::fat
