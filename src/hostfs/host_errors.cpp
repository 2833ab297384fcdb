#include "hostfs/host_errors.h"

#include "services/errno_text.h"

#include <cerrno>

namespace stowix::posix {

namespace {

Status WithPath(const QString& dosPath, const QString& reason) {
    if (dosPath.isEmpty()) return Status::Fail(reason);
    return Status::Fail(dosPath + QStringLiteral(": ") + reason);
}

}  // namespace

Status HostFailure(const QString& dosPath, int hostError) {
    const Status failure = WithPath(dosPath, ErrnoText(hostError));
    return hostError == ENOENT ? Status::NotFound(failure.reason()) : failure;
}

Status RefusalFailure(const QString& dosPath, Refusal refusal) {
    switch (refusal) {
    case Refusal::ReadOnly:
        return WithPath(dosPath, QStringLiteral("Access denied: the file is read-only"));
    case Refusal::LeavesDrive:
        return WithPath(dosPath, QStringLiteral("The path leads out of the drive through a "
                                                "symbolic link, which is not followed"));
    case Refusal::LinkInPath:
        return WithPath(dosPath, QStringLiteral("The path holds a symbolic link, which is not "
                                                "followed where files are changed"));
    case Refusal::LinkToNothing:
        return WithPath(dosPath, QStringLiteral("It is a symbolic link to something that does "
                                                "not exist"));
    case Refusal::NoDrive: return WithPath(dosPath, QStringLiteral("The drive is not configured"));
    case Refusal::IsFolder: return WithPath(dosPath, QStringLiteral("It is a folder, not a file"));
    case Refusal::NotAFile: return WithPath(dosPath, QStringLiteral("It is not a regular file"));
    case Refusal::Exists:
        return WithPath(dosPath, QStringLiteral("A file or folder of that name exists already"));
    case Refusal::DriveRoot:
        return WithPath(dosPath, QStringLiteral("This cannot be done to the root of a drive"));
    case Refusal::BadPath: return WithPath(dosPath, QStringLiteral("The path is not valid"));
    case Refusal::AttributesNotStored:
        return WithPath(dosPath,
                        QStringLiteral("This file system can store neither the hidden, system "
                                       "and archive attributes (no user extended attributes) "
                                       "nor a FAT attribute byte"));
    case Refusal::UnknownAttributes:
        return WithPath(dosPath, QStringLiteral("The attribute value holds bits that are no "
                                                "read-only, hidden, system or archive attribute"));
    }
    return WithPath(dosPath, QStringLiteral("Refused"));
}

Status NameFailure(const QString& dosPath, const QString& sentence) {
    return WithPath(dosPath, sentence);
}

}  // namespace stowix::posix
