#pragma once
// A drive that is a FAT file system inside a disk image file (image_format.h says which images),
// read and written in this process with the same DOS semantics as a drive folder: paths found
// without regard to case, Windows' wildcard and name rules, long names with Windows 98 aliases,
// the entry's attribute byte as the DOS attributes and its 2-second last-write time (kept in
// local time, as Windows keeps it).
//
// Guarantees:
// - The image is locked for as long as the file system lives, and refused while another program
//   has it open for writing (image_lock.h); a refused image is left exactly as it was.
// - A kill at any moment leaves at worst lost clusters: data is written first, then both copies
//   of the table, then the directory entry; a replaced file's clusters are freed only after the
//   entry that names the new ones is written. A group copy (CopyFilesKeepingAttributes) keeps
//   that order for all its files at once, so each kind of block is written once per group, with
//   a barrier between the kinds against a power cut or a qemu-nbd that dies (fat_volume.h says
//   why and when).
// - A container disk is checked before it is written (container_check.h): one that is damaged
//   or cut short is read but never written.
// - A file system with its dirty flag set, or whose table copies disagree, is read but refused
//   for writing, with the advice to check it with fsck.fat.
// - Memory does not grow with the image: only a small part of the table, the folders in use
//   (with an index of their names), a copy buffer and a group's held writes (a few MiB at most)
//   are held.
// It serves one drive letter; a dispatcher over several drives hands it that drive's paths.
// Folders have no owners on FAT, so RestrictToOwner succeeds without a change.

#include "fs/drive_map.h"
#include "fs/file_system.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace stowix {

struct FatImageOptions {
    std::optional<int> partition;  // 1-based; the first FAT partition when unset
    int codePage = 0;              // the short names' OEM code page; 0: STOWIX_FAT_CODE_PAGE or 437
};

namespace fat {
struct ImageFile;
}

// Opens the image drives of one run: source.hostPath, its partition source.partition, the short
// names' code page from STOWIX_FAT_CODE_PAGE (437 when unset). An image file that holds several
// drives (C: and D: as two partitions of one disk) is opened and locked once for all of them;
// the same volume for two letters is refused. Failures name the drive.
class FatImageOpener {
public:
    FatImageOpener();
    ~FatImageOpener();
    Result<std::unique_ptr<FileSystem>> Open(QChar letter, const DriveSource& source);
    // Whether the last failure was an image that another copy of Stowix works in.
    bool AnotherCopyHolds() const { return m_anotherCopy; }

private:
    struct Opened {
        std::shared_ptr<fat::ImageFile> file;
        qint64 offset = 0;
        QChar letter;
    };
    std::vector<Opened> m_opened;
    bool m_anotherCopy = false;
};

// One image drive alone, as FatImageOpener opens it.
Result<std::unique_ptr<FileSystem>> OpenFatImage(QChar letter, const DriveSource& source);

// Opens the image at hostPath as drive letter. Fails with a message for the user when the image
// cannot be opened, holds no FAT file system Stowix can use, or is in use.
Result<std::unique_ptr<FileSystem>> OpenFatImageFile(QChar letter, const std::string& hostPath,
                                                     const FatImageOptions& options = {});

}  // namespace stowix
