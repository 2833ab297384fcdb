#pragma once
// Stowix's own mark of a volume it writes, kept outside the image: a small file in the user's
// state folder ($XDG_STATE_HOME/stowix, else ~/.local/state/stowix), named for the image file
// (its device and inode), the volume's place in it and the volume's serial number. It is made
// before the first change and removed after the last, once the volume's dirty bit is clear
// again: a note found at the next start means that a run of Stowix itself ended uncleanly (a
// kill, a power cut), so what it left (lost clusters, copies of the table that differ) is
// Stowix's own and may be mended, where a dirty bit without the note is left for ScanDisk.

#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace stowix::fat {

class UncleanNote {
public:
    // No note: nothing is found, made or removed.
    UncleanNote() = default;
    UncleanNote(dev_t device, ino_t inode, qint64 volumeOffset, uint32_t serial,
                const QString& imageName);

    bool Exists() const;
    // Makes the note; false when it cannot be made (the run then leaves a dirty bit alone).
    bool Make() const;
    void Remove() const;

private:
    std::string m_path;
    QString m_imageName;
};

}  // namespace stowix::fat
