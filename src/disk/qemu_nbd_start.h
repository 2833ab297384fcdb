#pragma once
// Starts qemu-nbd on a container as libnbd's child and connects the handle to it, turning what
// qemu-nbd says when it cannot serve the disk into a sentence for the user.

#include "services/result.h"

#include "disk/disk_format.h"

#include <QString>

#include <string>

struct nbd_handle;

namespace stowix::fat {

// handle: newly created. path: the container, absolute. name names it in messages.
Status StartQemuNbd(nbd_handle* handle, const std::string& path, const DiskFormat& format,
                    bool writable, const QString& name);

// What qemu-nbd's complaint (its standard error) means for the user, for the disk name (at
// path) of the given format.
QString QemuNbdRefusal(const QString& complaint, const DiskFormat& format, const QString& name,
                       const std::string& path);

// libnbd makes a folder /tmp/libnbdXXXXXX for qemu-nbd's socket and removes it when the
// connection closes; a run that was killed leaves it behind. Removes the user's such folders
// (in /tmp and in $TMPDIR) that are over a minute old and hold nothing but a socket no process
// listens on.
void RemoveStaleNbdSockets();

}  // namespace stowix::fat
