// Opening the image drives of a run: each disk image opened and locked once, its FAT volume
// found, and the file system of that volume made (fat_file_system.h).
#include "fat/fat_image_file_system.h"

#include "disk/image_format.h"
#include "disk/open_disk.h"
#include "fat/fat_file_system.h"

#include <sys/stat.h>

namespace stowix {

namespace {

using namespace fat;

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
    OpenedDisk disk = TRY(OpenDisk(hostPath, file->name, anotherCopy));
    file->writable = disk.writable;
    file->whyNotWritable = disk.whyNotWritable;
    file->device = std::move(disk.device);
    return file;
}

// The file system of one volume of an open disk image.
Result<std::unique_ptr<FileSystem>> OpenVolume(QChar letter, std::shared_ptr<ImageFile> file,
                                               const FatImageOptions& options,
                                               qint64* volumeOffset = nullptr) {
    const OemCodePage codePage = TRY(options.codePage != 0 ? OemCodePage::ByNumber(options.codePage)
                                                           : OemCodePage::FromEnvironment());
    const VolumeSpan span = TRY(FindFatVolume(*file->device, options.partition, file->name));
    if (volumeOffset) *volumeOffset = span.offset;
    FatVolume volume =
        TRY(FatVolume::Open(*file->device, file->writable, span.offset, span.length, file->name));
    if (!file->whyNotWritable.isEmpty()) volume.RefuseWriting(file->whyNotWritable);
    auto image = std::make_shared<Image>();
    image->file = std::move(file);
    image->volume = std::move(volume);
    image->volume.SetUncleanNote(UncleanNote(image->file->hostDevice, image->file->inode,
                                             span.offset, image->volume.Serial(),
                                             image->file->name));
    return std::unique_ptr<FileSystem>(
        std::make_unique<FatImageFileSystem>(letter, std::move(image), codePage));
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
    return OpenVolume(letter, TRY(OpenImageFile(hostPath)), options);
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
