#include "drives/open_drives.h"

#include "drives/drive_dispatch.h"
#include "fat/fat_image_file_system.h"
#include "hostfs/posix_file_system.h"

namespace stowix {

namespace {

QString VariableOf(char16_t letter, const char* suffix = "") {
    return QStringLiteral("STOWIX_DRIVE_") + QChar(letter) + QLatin1String(suffix);
}

QString HostText(const std::string& hostPath) { return QString::fromLocal8Bit(hostPath); }

}  // namespace

Result<std::unique_ptr<FileSystem>> OpenDrives(const DriveMap& drives, bool* anotherCopy) {
    using Opened = Result<std::unique_ptr<FileSystem>>;
    if (drives.Empty()) return Opened::Fail(DriveMap::HowToConfigure());

    DriveMap folders;
    QString folderLetters;
    std::vector<DrivePart> parts;
    FatImageOpener images;
    for (const auto& [letter, source] : drives.Drives()) {
        if (source.partition && source.kind == DriveKind::Folder)
            return Opened::Fail(VariableOf(letter, "_PARTITION") +
                                QStringLiteral(" is set, but drive ") + QChar(letter) +
                                QStringLiteral(": (") + HostText(source.hostPath) +
                                QStringLiteral(") is a folder: only a disk image has partitions."));
        if (source.partition && *source.partition < 1)
            return Opened::Fail(VariableOf(letter, "_PARTITION") +
                                QStringLiteral(" must be a partition number: 1 for the first."));
        if (source.kind == DriveKind::Folder) {
            folders.Set(QChar(letter), source);
            folderLetters += QChar(letter);
            continue;
        }
        Opened image = images.Open(QChar(letter), source);
        if (!image) {
            if (anotherCopy) *anotherCopy = images.AnotherCopyHolds();
            return image;
        }
        parts.push_back({QString(QChar(letter)), std::move(image).value()});
    }
    if (!folderLetters.isEmpty()) parts.push_back({folderLetters, MakePosixFileSystem(folders)});

    const QChar current = drives.Has(u'C') ? QChar(u'C') : QChar(drives.Drives().begin()->first);
    std::unique_ptr<FileSystem> files = MakeDriveDispatch(std::move(parts), current);
    TRY(files->ChangeDrive(current));
    return Opened(std::move(files));
}

Result<std::unique_ptr<FileSystem>> OpenConfiguredDrives(bool* anotherCopy) {
    const DriveMap drives = DriveMap::FromEnvironment();
    if (!drives.Has(u'C'))
        return Result<std::unique_ptr<FileSystem>>::Fail(DriveMap::HowToConfigure());
    return OpenDrives(drives, anotherCopy);
}

}  // namespace stowix
