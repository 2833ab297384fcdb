#pragma once
// Thinning the backup root: which folders in it are sets the unattended backup made (named by
// their stamp alone, set_time.h) and when each was made (set_standing.h), which of those the
// keep rules keep (keep_rules.h), and the deletion of the rest through the sets' own removal
// (sets/set_removal.h), never through a link. A set with a comment, the sets that the last
// backup and the last restore name, the newest complete set, a set whose time cannot be known for
// sure and anything in the root that is no set folder (files, links, the staged registry files,
// folders that only look like sets) are never deleted. It does not deal with the command line,
// the settings or the single-copy lock: stowix-prune does.

#include "fs/file_system.h"
#include "prune/keep_rules.h"
#include "prune/set_time.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace stowix {

// One folder or link of the backup root and what becomes of it.
struct PruneEntry {
    QString path;  // C:\Stowix\<name>
    bool remove = false;
    QString why;  // why it stays ("daily, weekly", "it has a comment"); empty for one to delete
};

struct PrunePlan {
    std::vector<PruneEntry> entries;  // newest set first; those without a known time last
};

// A set that the program's records name (the last backup, the last restore), with why it stays.
struct ProtectedSet {
    QString path;  // C:\Stowix\<name>, matched in any case
    QString why;   // "the last backup"
};

// The sets in protectedSets stay, and so does the newest complete set. An incomplete set
// (set_standing.h) never keeps a place in the rules: one the program made is deleted once a
// complete set is newer, any other stays. now: the time a set made later is dated in the future.
// Fails when the backup root cannot be listed; a root that does not exist gives an empty plan.
Result<PrunePlan> PlanPrune(FileSystem& files, const SetNameReader& names, const KeepRules& rules,
                            const std::vector<ProtectedSet>& protectedSets, const QDateTime& now);

// The plan's lines for the user, in its order: "keep <path> (<why>)", "delete <path>" (or
// "would delete <path>" for a dry run).
QStringList PlanLines(const PrunePlan& plan, bool dryRun);

// Deletes the plan's sets to delete. Gives "<path>: <reason>" for each that could not be deleted
// entirely, and in deleted the paths that went, in order.
QStringList CarryOut(FileSystem& files, const PrunePlan& plan, QStringList& deleted);

}  // namespace stowix
