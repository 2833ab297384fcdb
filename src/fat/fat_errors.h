#pragma once
// The failures the image file system reports, each after the DOS path it concerns, in the same
// words as a drive folder's: the host's reason for an errno value, and the platform's refusals.

#include "services/result.h"

#include "disk/image_io.h"

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
// The advice that ends every refusal to write to a volume that needs checking first; imageName
// names the image file.
QString CheckAdvice(const QString& imageName);

}  // namespace stowix::fat
