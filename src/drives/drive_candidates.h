#pragma once
// The Windows drives this machine holds, for the window's drive chooser: Wine prefixes (~/.wine,
// $WINEPREFIX, the prefixes of common Wine front-ends under the home folder), disk images in the
// folders where emulators keep them (VirtualBox, libvirt and GNOME Boxes when readable, and
// ~/vms-like folders one level deep), and FAT volumes mounted now. Each is offered only when it
// holds a Windows folder, found as start-up would find it. It does not show anything.

#include <QString>
#include <QStringList>

#include <vector>

namespace stowix {

struct DriveCandidate {
    QString path;  // what names the drive: a prefix, a disk file, a mount point
    QString kind;  // what it is, for the user: "Wine prefix", "VirtualBox disk (VDI)"
};

// Where to look; Here() gives this machine's places.
struct CandidatePlaces {
    QString home;
    QString winePrefix;              // $WINEPREFIX, may be empty
    QString mountInfo;               // /proc/self/mountinfo
    QStringList systemImageFolders;  // libvirt's, readable or not
    static CandidatePlaces Here();
};

// In the order: Wine prefixes, disk images, mounted volumes; each path once.
std::vector<DriveCandidate> FindDriveCandidates(const CandidatePlaces& places);

// What a disk file is by its name, for the user ("QEMU disk (qcow2)"); empty for a name that is
// no disk format this program opens.
QString DiskKindOfName(const QString& fileName);

// The file-name patterns of the disk formats this program opens, for a file dialog's filter.
QStringList DiskFilePatterns();

// True when the drive that path names opens and holds a Windows folder.
bool HoldsWindowsFolder(const QString& path);

}  // namespace stowix
