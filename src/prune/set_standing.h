#pragma once
// How prune sees one folder of the backup root: whether it is a set the rules may thin, whether
// it is complete, when it was made and, when it must stay whatever the rules say, why. The time
// comes from the set's record (sets/set_facts.h), made when the set was made and in UTC; only a
// set made before records existed is dated by its name, and then only when that is beyond
// doubt: the name reads as a stamp in today's forms, it cannot be read with day and month
// swapped, and the folder holds a registry (a folder that only looks like a set is none). A set
// dated after now (a clock that was set back, or is wrong now) stays and takes no place in the
// rules. It does not deal with the rules themselves (keep_rules.h) or the plan (prune_run.h).

#include "fs/file_system.h"
#include "prune/set_time.h"

#include <QDateTime>
#include <QString>

namespace stowix {

struct SetStanding {
    QString path;
    QDateTime made;  // local time; invalid when it is not known for sure
    int sameSecond = 1;
    bool complete = false;     // a set that may serve as a keeper
    bool incomplete = false;   // its record says its run did not finish
    bool thinnable = false;    // the rules decide (and it counts in their days and weeks)
    bool programsOwn = false;  // named by the unattended backup or a restore's undo set
    QString staysBecause;      // why it stays whatever the rules say; empty when they decide
};

// now bounds a set's time: one made after it is dated in the future.
SetStanding StandingOf(FileSystem& files, const QString& path, const SetNameReader& names,
                       const QDateTime& now);

}  // namespace stowix
