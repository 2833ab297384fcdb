#pragma once
// This type checks a backup set as stowix-check does: its record does not say it is incomplete,
// every file of the set can be read whole, and the registry pair (SYSTEM.DAT and USER.DAT) is
// there and sound. A set made before records is judged by its files alone, as it was then. It does
// not deal with which sets there are, nor with how the outcome is shown.

#include "fs/file_system.h"
#include "registry/registry_file_check.h"
#include "sets/set_facts.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace stowix {

enum class SetVerdict {
    Sound,
    Damaged,
    NotChecked,  // the set could not be listed, or a check could not run
};

struct SetCheck {
    SetVerdict verdict = SetVerdict::NotChecked;
    // What the set's record says (sets/set_facts.h); a set that is not complete is damaged
    // whatever its files, and incomplete tells why.
    SetCompleteness completeness = SetCompleteness::Unrecorded;
    QString incomplete;       // "incomplete: the run that made it did not finish"; empty otherwise
    int files = 0;            // files in the set
    QStringList problems;     // "WIN.INI cannot be read: ...", "USER.DAT is missing", ...
    qint64 registryKeys = 0;  // of the sound registry files together
};

SetCheck CheckBackupSet(FileSystem& files, const QString& setPath);

}  // namespace stowix
