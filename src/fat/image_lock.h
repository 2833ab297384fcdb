#pragma once
// Keeps other programs off an image file while Stowix works in it, and keeps Stowix off an image
// that another program is writing (an emulator running the disk). An image is refused when:
//   - another process has the file open for writing (as /proc shows for the user's processes);
//   - QEMU's lock bytes say a QEMU process writes it or does not share writing (QEMU takes open
//     file description locks on byte 100 plus each permission bit it holds and byte 200 plus
//     each it does not share; writing is bit 1);
//   - another Stowix has it locked.
// While the lock is held, Stowix holds the lock bytes as a writing QEMU would, so that QEMU
// refuses to start on the image meanwhile, and an exclusive flock. Nothing is written to the file.

#include "services/result.h"

#include <QString>

namespace stowix::fat {

// fd: the image, open. name: the image as messages name it. The locks live as long as fd.
// anotherCopy, when given, is set when the refusal is for another copy of Stowix.
Status LockImage(int fd, bool forWriting, const QString& name, bool* anotherCopy = nullptr);

}  // namespace stowix::fat
