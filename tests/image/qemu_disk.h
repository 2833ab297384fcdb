#pragma once
// Container disks for the tests, made and read back by QEMU's own tools, never by the code under
// test: qemu-img convert makes a container (qcow2, VDI, VMDK, VHD, VHDX) of a raw image that
// mtools made, and converts a container back to a raw image that mtools and fsck.fat then read;
// qemu-img check judges the container itself.

#include "image/mtools_image.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace stowix::test {

// One container format as qemu-img makes it.
struct ContainerKind {
    const char* name;        // for traces: "vmdk descriptor"
    const char* qemuFormat;  // "vmdk"
    const char* options;     // qemu-img's -o, or ""
    const char* extension;   // of the file made: "vmdk"
};

// Every format the drives take, each once.
const std::vector<ContainerKind>& ContainerKinds();

// Makes a container of the raw image at raw; empty on success, else qemu-img's complaint.
QString MakeContainer(const QString& raw, const ContainerKind& kind, const QString& container);
// An overlay in qcow2 on the backing file base (of format baseFormat).
QString MakeOverlay(const QString& base, const QString& baseFormat, const QString& overlay);

// qemu-img check of a container: empty when it finds nothing wrong (leaked clusters count as
// wrong unless allowLeaks; a format without checks passes).
QString ContainerProblems(const QString& container, const QString& qemuFormat,
                          bool allowLeaks = false);

// The container's disk as a raw image in a folder of its own, for mtools to read: the FAT
// volume at the same offset as in the raw image it was made from. whileOpen reads it past the
// locks of a qemu-nbd that still serves it: what the file holds, not what qemu-nbd caches.
struct ReadBackImage {
    QTemporaryDir folder;
    std::optional<MtoolsImage> image;  // empty when qemu-img could not convert it
};
std::unique_ptr<ReadBackImage> ReadBack(const QString& container, const QString& qemuFormat,
                                        qint64 volumeOffset, qint64 volumeBytes,
                                        bool whileOpen = false);

// Whether some other process has the file open or locked, or is starting on it (a qemu-nbd that
// outlived its client, a QEMU); waits up to waitMs for that to end. Gives the holder, or empty.
QString HeldBy(const QString& path, int waitMs = 5000);

// Waits until a QEMU that has the file open has taken its write guard (its lock that it writes,
// or that it lets no one else write): a machine opens its disk before its device takes the locks.
bool QemuGuardsWrites(const QString& path, int waitMs = 5000);

}  // namespace stowix::test
