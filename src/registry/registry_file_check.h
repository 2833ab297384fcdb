#pragma once
// Checks a registry file through the file system, so that the same check serves a drive in a
// host folder and one in a disk image: the file is opened here and read by the check's child
// process (registry_check.h). It also finds the registry pair of a backup set. It does not deal
// with what the program tells the user.

#include "fs/file_system.h"
#include "registry/registry_check.h"

#include <QString>

#include <utility>
#include <vector>

namespace stowix {

// The largest file read as a registry: Windows 9x keeps its registry files far smaller.
constexpr qint64 MaxRegistryBytes = qint64(256) * 1024 * 1024;

// The registry files that make a set whole, in the order they are checked.
const std::vector<QString>& RegistryFileNames();  // SYSTEM.DAT, USER.DAT

// A file that cannot be read (or is larger than MaxRegistryBytes) is damaged for this check,
// with the file system's reason. The hive's root name comes from the file's name. With
// SendItems::Yes a sound file's every key and value comes back in the check's items, in tree
// order (registry_item.h): the reader for whatever compares registries.
RegistryCheck CheckRegistryFile(FileSystem& files, const QString& path,
                                SendItems sendItems = SendItems::No);
// The same, left running (registry_check.h): for checking several files at once.
PendingRegistryCheck StartRegistryFileCheck(FileSystem& files, const QString& path,
                                            SendItems sendItems = SendItems::No);

// A registry file of a set that is not sound.
struct WineRegistryCheck;
// Reads a Wine registry file of the drive whole and checks its text (wine_registry.h).
WineRegistryCheck CheckWineRegistryFile(FileSystem& files, const QString& path);

struct RegistryProblem {
    QString name;         // as stored in the set: "SYSTEM.DAT"
    QString reason;       // "it has no root key: ..."
    bool checked = true;  // false: the check itself could not run, so nothing is known
};

// Checks the registry files that a set holds (SYSTEM.DAT, USER.DAT, in any case) and gives
// those that are not sound. A set that lacks one gives no problem here: a drive without it
// (a Wine prefix) makes such sets.
std::vector<RegistryProblem> CheckSetRegistry(FileSystem& files, const QString& setPath);

// The same check under way: every file's reader is started at once, and the program may go on
// (flush the set) while they read; Finish gives the problems.
class PendingSetRegistryCheck {
public:
    PendingSetRegistryCheck(FileSystem& files, const QString& setPath);
    std::vector<RegistryProblem> Finish();

private:
    std::vector<RegistryProblem> m_problems;  // files that could not even be looked for
    std::vector<std::pair<QString, PendingRegistryCheck>> m_started;
};

// One line for a message or standard error: "SYSTEM.DAT: it has no root key ...; USER.DAT: ...".
QString DescribeRegistryProblems(const std::vector<RegistryProblem>& problems);

}  // namespace stowix
