#pragma once
// Keeps other programs off an image file while Stowix works in it, and keeps Stowix off an image
// that another program is writing (an emulator running the disk). An image is refused when:
//   - another Stowix has it locked (an exclusive flock, held while Stowix works in it);
//   - another process has the file open for writing (as /proc shows for the user's processes);
//   - QEMU's lock bytes say a QEMU process writes it or does not share writing (QEMU takes open
//     file description locks on byte 100 plus each permission bit it holds and byte 200 plus
//     each it does not share; writing is bit 1).
// A file Stowix writes itself gets QEMU's lock bytes held as a writing QEMU would hold them
// (LockAgainstQemu), so that QEMU refuses to start on it meanwhile; a container served by
// qemu-nbd gets them from qemu-nbd, which refuses the image when QEMU holds them. Nothing is
// written to the file.

#include "services/result.h"

#include <QString>

#include <string>

namespace stowix::fat {

// fd: the image, open. name: the image as messages name it. The locks live as long as fd.
// Takes the flock and the mark that tells other copies of Stowix, and looks for other writers.
// anotherCopy, when given, is set when the refusal is for another copy of Stowix.
Status LockImage(int fd, bool forWriting, const QString& name, bool* anotherCopy = nullptr);
// Looks at QEMU's lock bytes (a writing QEMU refused; for writing, a QEMU that does not share
// writing refused too) and, for writing, holds them.
Status LockAgainstQemu(int fd, bool forWriting, const QString& name);

// The refusal of an image in use: who names the program ("sleep (process 42)").
QString InUseMessage(const QString& name, const QString& who);
// The refusal when QEMU (or a program that locks as it does) holds the image.
QString InUseByQemu(const QString& name);
// The same refusal with what QEMU's lock bytes and /proc tell of the file at hostPath: whether
// the holder writes it or only reads it (while it lets no one else write), and which processes
// have it open.
QString QemuHolderMessage(const std::string& hostPath, const QString& name);

}  // namespace stowix::fat
