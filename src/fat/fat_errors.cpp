#include "fat/fat_errors.h"

#include "disk/image_io.h"

#include <cerrno>

namespace stowix::fat {

QString CheckAdvice(const QString& imageName) {
    return QStringLiteral(
               " Check it first, for example with fsck.fat on the partition (on a "
               "copy of %1, or after the program that uses it has ended), or with ScanDisk.")
        .arg(imageName);
}

Status Refuse(const QString& dosPath, Refusal refusal) {
    switch (refusal) {
    case Refusal::ReadOnly:
        return Failure(dosPath, QStringLiteral("Access denied: the file is read-only"));
    case Refusal::NoDrive: return Failure(dosPath, QStringLiteral("The drive is not configured"));
    case Refusal::IsFolder: return Failure(dosPath, QStringLiteral("It is a folder, not a file"));
    case Refusal::Exists:
        return Failure(dosPath, QStringLiteral("A file or folder of that name exists already"));
    case Refusal::DriveRoot:
        return Failure(dosPath, QStringLiteral("This cannot be done to the root of a drive"));
    case Refusal::BadPath: return Failure(dosPath, QStringLiteral("The path is not valid"));
    case Refusal::UnknownAttributes:
        return Failure(dosPath, QStringLiteral("The attribute value holds bits that are no "
                                               "read-only, hidden, system or archive attribute"));
    case Refusal::NotAFolder: return Failure(dosPath, HostReason(ENOTDIR));
    case Refusal::NotEmpty: return Failure(dosPath, HostReason(ENOTEMPTY));
    case Refusal::Missing:
        // Marked so, for callers that take a missing file for an answer.
        return Status::NotFound(dosPath + QStringLiteral(": ") + HostReason(ENOENT));
    case Refusal::RootFull:
        return Failure(dosPath, QStringLiteral("The root folder of this FAT file system is full"));
    }
    return Failure(dosPath, QStringLiteral("Refused"));
}

}  // namespace stowix::fat
