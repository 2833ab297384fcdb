#pragma once
// What a set's record (set_record.h) tells of it, for whoever lists, checks, shows or thins sets:
// whether the set is complete and when it was made. A set made before records existed has
// none: it is "unrecorded", and each reader treats it as it did before, conservatively (the
// check judges it by its files; prune thins it only when its name's time is beyond doubt and it
// holds a registry). A record that cannot be read counts as an incomplete set's: nothing then
// vouches for the set. It does not deal with the record's text (set_record.h).

#include "fs/file_system.h"
#include "sets/set_record.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace stowix {

enum class SetCompleteness {
    Complete,    // its record says every file was copied and reached the disk
    Incomplete,  // its run broke off or missed a file, or its record cannot be read
    Unrecorded,  // made before sets had records
};

struct SetFacts {
    SetCompleteness completeness = SetCompleteness::Unrecorded;
    QDateTime made;  // UTC, from the record; invalid for a set without one
    std::optional<SetRecord> record;
    QString problem;  // why a record that is there could not be read

    bool Incomplete() const { return completeness == SetCompleteness::Incomplete; }
};

SetFacts ReadSetFacts(FileSystem& files, const QString& setPath);

// "" for a complete or unrecorded set; else the words a listing adds after the set's name
// ("incomplete: the backup that made it did not finish").
QString IncompleteText(const SetFacts& facts);

}  // namespace stowix
