#include "prune/prune_run.h"

#include "prune/set_standing.h"
#include "sets/backup_root.h"
#include "sets/set_removal.h"

#include <algorithm>

namespace stowix {

namespace {

// The folders of the backup root, links among them, by their paths; files are no sets.
Result<QStringList> RootFolders(FileSystem& files) {
    const Result<std::vector<FolderEntry>> listed = files.ListFolder(
        BackupRoot + QStringLiteral("\\*.*"),
        Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::ReadOnly);
    if (!listed) {
        if (listed.notFound()) return QStringList();
        return listed.status();
    }
    QStringList folders;
    for (const FolderEntry& entry : listed.value())
        if ((entry.attributes & Attribute::Folder) && entry.name != u"." && entry.name != u"..")
            folders.append(BackupRoot + u'\\' + entry.name);
    return folders;
}

// Why the records keep a set, or empty when they do not name it.
QString Recorded(const SetStanding& set, const std::vector<ProtectedSet>& protectedSets) {
    for (const ProtectedSet& named : protectedSets)
        if (named.path.compare(set.path, Qt::CaseInsensitive) == 0) return named.why;
    return QString();
}

bool NewerFirst(const SetStanding& a, const SetStanding& b) {
    const bool aDated = a.made.isValid();
    const bool bDated = b.made.isValid();
    if (aDated != bDated) return aDated;
    if (!aDated) return a.path.compare(b.path, Qt::CaseInsensitive) < 0;
    if (a.made != b.made) return a.made > b.made;
    return a.sameSecond > b.sameSecond;
}

void AddReason(QString& why, const QString& more) {
    if (more.isEmpty()) return;
    why += (why.isEmpty() ? QString() : QStringLiteral("; ")) + more;
}

// An incomplete set never keeps a place; one the program made goes once a complete set newer
// than it is there (superseded: it could restore only part of a drive), else it stays.
void PlanIncomplete(const SetStanding& set, bool superseded, PruneEntry& entry) {
    if (set.programsOwn && superseded && set.made.isValid() && entry.why.isEmpty()) {
        entry.remove = true;
        return;
    }
    AddReason(entry.why, QStringLiteral("it is incomplete"));
}

}  // namespace

Result<PrunePlan> PlanPrune(FileSystem& files, const SetNameReader& names, const KeepRules& rules,
                            const std::vector<ProtectedSet>& protectedSets, const QDateTime& now) {
    const QStringList folders = TRY(RootFolders(files));
    std::vector<SetStanding> sets;
    for (const QString& path : folders) sets.push_back(StandingOf(files, path, names, now));
    std::sort(sets.begin(), sets.end(), NewerFirst);

    // The newest complete set stays whatever the rules say: it is the one a restore needs.
    const auto newest = std::find_if(sets.begin(), sets.end(), [](const SetStanding& set) {
        return set.complete && set.made.isValid();
    });

    // The sets the records name still count in the rules' days, weeks and months, as the
    // unattended backup's sets they are; they are kept whatever the rules say.
    PrunePlan plan;
    std::vector<DatedSet> thinnable;
    std::vector<size_t> thinnableEntries;
    for (auto it = sets.begin(); it != sets.end(); ++it) {
        const SetStanding& set = *it;
        PruneEntry entry{set.path, false, QString()};
        // An incomplete set's own reason to stay (a comment) is told with its incompleteness.
        if (!set.incomplete) entry.why = set.staysBecause;
        if (entry.why.isEmpty()) entry.why = Recorded(set, protectedSets);
        if (set.incomplete) {
            AddReason(entry.why, Recorded(set, protectedSets));
            if (!set.programsOwn) AddReason(entry.why, set.staysBecause);
            PlanIncomplete(set, newest < it, entry);
        }
        if (it == newest && entry.why.isEmpty())
            entry.why = QStringLiteral("the newest complete set");
        plan.entries.push_back(entry);
        if (!set.thinnable) continue;
        thinnable.push_back({set.made, set.sameSecond});
        thinnableEntries.push_back(plan.entries.size() - 1);
    }
    const std::vector<QStringList> keptBy = RulesKeeping(thinnable, rules);
    for (size_t i = 0; i < thinnable.size(); ++i) {
        PruneEntry& entry = plan.entries[thinnableEntries[i]];
        const QString rulesKeeping = keptBy[i].join(QStringLiteral(", "));
        if (entry.why.isEmpty()) {
            entry.remove = rulesKeeping.isEmpty();
            entry.why = rulesKeeping;
        } else if (!rulesKeeping.isEmpty()) {
            entry.why += QStringLiteral("; ") + rulesKeeping;
        }
    }
    return plan;
}

QStringList PlanLines(const PrunePlan& plan, bool dryRun) {
    QStringList lines;
    for (const PruneEntry& entry : plan.entries) {
        if (entry.remove)
            lines.append((dryRun ? QStringLiteral("would delete ") : QStringLiteral("delete ")) +
                         entry.path);
        else
            lines.append(QStringLiteral("keep ") + entry.path + QStringLiteral(" (") + entry.why +
                         u')');
    }
    return lines;
}

QStringList CarryOut(FileSystem& files, const PrunePlan& plan, QStringList& deleted) {
    QStringList failures;
    for (const PruneEntry& entry : plan.entries) {
        if (!entry.remove) continue;
        if (const Status removed = RemoveBackupSet(files, entry.path); removed)
            deleted.append(entry.path);
        else
            failures.append(entry.path + QStringLiteral(": ") + removed.reason());
    }
    return failures;
}

}  // namespace stowix
