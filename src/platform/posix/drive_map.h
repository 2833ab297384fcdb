#pragma once
// Which host folder each drive letter stands for. Built from the environment, first that is set:
//   STOWIX_DRIVE_C ... STOWIX_DRIVE_Z   that folder, for that letter;
//   WINEPREFIX                           $WINEPREFIX/drive_c, for C: only;
//   ~/.wine/drive_c                      for C: only, when that folder exists.
// An empty variable counts as unset. Or built from an explicit map, as tests do. It does not
// open or check the folders (beyond the existence test of ~/.wine/drive_c).

#include <QChar>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace stowix {

class DriveMap {
public:
    // Gives a variable's value, or nothing when it is unset.
    using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

    DriveMap() = default;
    // Letters in either case; folders as host paths (bytes).
    explicit DriveMap(const std::map<QChar, std::string>& folders);

    static DriveMap FromEnvironment();
    static DriveMap FromEnvironment(const EnvironmentLookup& lookup);

    // Sets or replaces the folder of one drive.
    void Set(QChar letter, std::string hostFolder);
    // The host folder of a drive, or nothing when the drive is not configured.
    std::optional<std::string> Folder(QChar letter) const;
    bool Has(QChar letter) const { return Folder(letter).has_value(); }
    bool Empty() const { return m_folders.empty(); }
    // Upper-case letter -> host folder, in letter order.
    const std::map<char16_t, std::string>& Folders() const { return m_folders; }

    // A sentence for the user on how to configure drive C:, for start-up to show when there is
    // none.
    static QString HowToConfigure();

private:
    std::map<char16_t, std::string> m_folders;
};

}  // namespace stowix
