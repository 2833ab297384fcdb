#pragma once
// The failures the image file system reports, each after the DOS path it concerns, in the same
// words as a drive folder's: the host's reason for an errno value, and the platform's refusals.

#include "services/result.h"

#include <QString>

namespace stowix::fat {

enum class Refusal {
    ReadOnly,
    NoDrive,
    IsFolder,
    Exists,
    DriveRoot,
    BadPath,
    UnknownAttributes,
    NotAFolder,
    NotEmpty,
    Missing,
    RootFull,
};

Status Refuse(const QString& dosPath, Refusal refusal);
// "C:\X: " and a reason (a name rule's sentence, or the volume's own failure).
Status Failure(const QString& dosPath, const QString& reason);
// The advice that ends every refusal to write to a volume that needs checking first; imageName
// names the image file.
QString CheckAdvice(const QString& imageName);

}  // namespace stowix::fat
