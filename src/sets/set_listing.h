#pragma once
// The backup sets of the backup root as a list: each set's name, its comment, when it was made,
// whether it is known to be complete, and how many files and bytes it holds. stowix-list shows
// it; it reads and never writes. It does not deal with removing a set (set_removal.h).

#include "fs/file_system.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace stowix {

// What a listing tells of a set's time and completeness.
struct ListedRecord {
    QDateTime made;                // local time; invalid when not known
    std::optional<bool> complete;  // empty for a set made before sets had records
};

// When a set was made, read from its folder name in the forms the backup wrote it in (the
// front knows the user's locale); nothing when the name cannot be read.
using SetTimeReader = std::function<std::optional<QDateTime>(const QString& folderName)>;

// What the set setPath's record (set_facts.h) tells of it: its time and whether it is complete.
// A set made before records existed is timed by its name (timeOf) and its completeness is left
// unknown; a record that cannot be read makes the set incomplete, as everywhere else.
ListedRecord ReadListedRecord(FileSystem& files, const QString& setPath,
                              const SetTimeReader& timeOf);

// The comment of a set's folder name, without its leading blank: what follows the stamp (the
// date, a blank, the time with ';' for ':' and, where the locale has one, its AM or PM text) and
// a "(N)" of a set made in the same second. Empty when there is none.
QString SetComment(const QString& folderName);

struct SetSize {
    int files = 0;  // directly in the set's folder
    qint64 bytes = 0;
};

// The files of the set setPath and their bytes; a file whose size cannot be read counts with
// none. Fails when the set's folder cannot be listed.
Result<SetSize> MeasureSet(FileSystem& files, const QString& setPath);

struct ListedSet {
    QString name;  // the folder name
    QString path;  // its DOS path in the backup root
    QString comment;
    ListedRecord record;
    SetSize size;
};

// Every set (folder) in the backup root, newest first (sets of no known time last, by name). A
// drive without a backup root holds no sets; a drive C: that cannot be read, or a backup root
// that cannot be listed, fails: a list that found no set there must not pass for an empty one.
Result<std::vector<ListedSet>> ListBackupSets(FileSystem& files, const SetTimeReader& timeOf);

}  // namespace stowix
