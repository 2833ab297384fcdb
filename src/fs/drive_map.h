#pragma once
// Which host folder or disk image each drive letter stands for. Built from the environment, first
// that is set:
//   STOWIX_DRIVE_C ... STOWIX_DRIVE_Z   that folder or image, for that letter;
//   WINEPREFIX                           $WINEPREFIX/drive_c, for C: only;
//   the drive last chosen in the window  for C: only (chosen_drive.h);
//   ~/.wine/drive_c                      for C: only, when that folder exists.
// The command line's drive reaches the map as STOWIX_DRIVE_C (app/standard_options.h). A drive
// named by a Wine prefix itself (a folder with drive_c and system.reg) is its drive_c.
// An empty variable counts as unset. A drive variable that names a regular file or a block device
// makes an image drive; anything else (a folder, or a path that does not exist yet) a folder
// drive. STOWIX_DRIVE_<L>_PARTITION chooses the partition of an image (1 for the first).
// Or built from an explicit map, as tests do. It does not open or check the drives beyond the
// one look at each path that tells the kind.

#include <QChar>
#include <QString>

#include "fs/chosen_drive.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace stowix {

enum class DriveKind { Folder, Image };

struct DriveSource {
    DriveKind kind = DriveKind::Folder;
    std::string hostPath;  // the host folder, or the image file (bytes)
    // STOWIX_DRIVE_<L>_PARTITION, 1-based, images only. A value that is no whole number above 0
    // is kept as 0, so that opening the drive refuses it with a reason rather than guessing.
    std::optional<int> partition;
};

// What a host path named as a drive is: a disk (a regular file or block device) or a folder, a
// Wine prefix standing for its drive_c.
DriveSource DriveSourceOf(const std::string& hostPath);
// True for a Wine prefix: a folder that holds drive_c and Wine's registry file system.reg.
bool IsWinePrefix(const std::string& hostPath);
// The Wine prefix whose drive_c a folder drive is; nothing for any other drive.
std::optional<std::string> WinePrefixOf(const DriveSource& source);

class DriveMap;
// The Wine prefix whose drive_c drive C: of the map is; empty for any other drive.
QString WinePrefixOfDriveC(const DriveMap& drives);

class DriveMap {
public:
    // Gives a variable's value, or nothing when it is unset.
    using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

    DriveMap() = default;
    // Letters in either case; folders as host paths (bytes).
    explicit DriveMap(const std::map<QChar, std::string>& folders);

    static DriveMap FromEnvironment();
    // chosen: the drive last chosen in the window, a host path; the no-argument form reads it
    // from the settings.
    static DriveMap FromEnvironment(const EnvironmentLookup& lookup,
                                    const std::optional<std::string>& chosen = std::nullopt);

    // Sets or replaces the source of one drive; a bare path is a folder drive.
    void Set(QChar letter, std::string hostFolder);
    void Set(QChar letter, DriveSource source);
    // What a drive is, or nothing when the drive is not configured.
    std::optional<DriveSource> Source(QChar letter) const;
    // The host folder of a folder drive; nothing for an image drive or a missing one.
    std::optional<std::string> Folder(QChar letter) const;
    bool Has(QChar letter) const { return Source(letter).has_value(); }
    bool Empty() const { return m_drives.empty(); }
    // Upper-case letter -> source, in letter order.
    const std::map<char16_t, DriveSource>& Drives() const { return m_drives; }

    // A sentence for the user on how to configure drive C:, for start-up to show when there is
    // none.
    static QString HowToConfigure();

private:
    std::map<char16_t, DriveSource> m_drives;
};

}  // namespace stowix
