#pragma once
// Whole reads and writes at an offset of the image file, retried after interruptions and short
// transfers. A failure gives the host's reason as a sentence; a read past the file's end fails
// rather than giving fewer bytes.

#include "services/result.h"

#include <QString>

namespace stowix::fat {

Status ReadExactly(int fd, qint64 offset, void* buffer, qint64 size);
Status WriteExactly(int fd, qint64 offset, const void* buffer, qint64 size);
// The host's text for errno value error ("No space left on device").
QString HostReason(int error);
// "C:\X: " and a reason (a name rule's sentence, or the volume's own failure).
Status Failure(const QString& dosPath, const QString& reason);

}  // namespace stowix::fat
