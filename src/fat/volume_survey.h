#pragma once
// The walk of a FAT volume's folders and cluster chains, as a checker walks them, that tells
// before anything is written which clusters the entries really use and whether the volume is
// sound. Each file's and folder's chain must end inside the volume, meet no free and no bad
// cluster, never come back to a cluster met before (its own: a loop; another's: a cross-link, or
// a folder inside itself), and be as long as the file's size asks; every folder entry but ".."
// must name a cluster. The clusters found are marked in the volume's bitmap of used clusters,
// so that nothing is ever allocated in them. Memory: that bitmap (a bit a cluster), the folder
// being read, and the names of the folders still to be read.

#include "services/result.h"

#include <QString>

namespace stowix::fat {

class FatVolume;
class OemCodePage;

// Walks the whole volume from its root. drive names the root in the damage told ("C:"). Fails
// at the first damage found, which the volume records (FatVolume::Damaged), with its path.
Status SurveyVolume(FatVolume& volume, const QString& drive, const OemCodePage& codePage);

}  // namespace stowix::fat
