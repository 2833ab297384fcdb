#pragma once
// Which of the sets that may be thinned are kept, as restic and borg keep snapshots: the rules
// "last N", "daily N", "weekly N" and "monthly N" each walk the sets from the newest, and keep a
// set when it is the newest of a day (week, month) that no set kept by the same rule covers yet,
// until the rule has kept N. A day without sets counts for nothing: "daily 7" keeps the newest
// set of each of the last 7 days that have one. A set is kept when any rule keeps it (the union),
// and deleted only when none does. Weeks are ISO weeks (Monday to Sunday). It does not deal with
// the sets that are never thinned (a comment, the last backup): the caller leaves them out.

#include <QDateTime>
#include <QStringList>

#include <vector>

namespace stowix {

struct KeepRules {
    int last = 0;
    int daily = 0;
    int weekly = 0;
    int monthly = 0;

    // False when no rule would keep a set: pruning by such rules would delete every set.
    bool KeepsAny() const { return last > 0 || daily > 0 || weekly > 0 || monthly > 0; }
};

// A set as the rules see it: when it was made, and which of two in the same second is newer.
struct DatedSet {
    QDateTime made;
    int sameSecond = 1;
};

// For each set, in the order given, the rules that keep it ("last", "daily", "weekly",
// "monthly"); empty for a set that no rule keeps.
std::vector<QStringList> RulesKeeping(const std::vector<DatedSet>& sets, const KeepRules& rules);

}  // namespace stowix
