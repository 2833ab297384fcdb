#include "prune/prune_run.h"

#include "sets/backup_root.h"
#include "sets/set_removal.h"

#include <algorithm>

namespace stowix {

namespace {

struct Candidate {
    QString path;
    SetName name;
};

bool IsLinkOrUnknown(FileSystem& files, const QString& path) {
    const Result<bool> link = files.IsLink(path);
    return !link || link.value();  // what cannot be told is not trusted
}

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

QString FolderName(const QString& path) { return path.mid(path.lastIndexOf(u'\\') + 1); }

// Why a set folder's name keeps it whatever the rules say, or empty when they decide.
QString NeverThinned(const Candidate& candidate) {
    switch (candidate.name.kind) {
    case SetNameKind::Commented: return QStringLiteral("it has a comment");
    case SetNameKind::Unreadable: return QStringLiteral("its time cannot be read from its name");
    case SetNameKind::StampAlone: break;
    }
    return QString();
}

// Why the records keep a set, or empty when they do not name it.
QString Recorded(const Candidate& candidate, const std::vector<ProtectedSet>& protectedSets) {
    for (const ProtectedSet& set : protectedSets)
        if (set.path.compare(candidate.path, Qt::CaseInsensitive) == 0) return set.why;
    return QString();
}

bool NewerFirst(const Candidate& a, const Candidate& b) {
    const bool aDated = a.name.made.isValid();
    const bool bDated = b.name.made.isValid();
    if (aDated != bDated) return aDated;
    if (!aDated) return a.path.compare(b.path, Qt::CaseInsensitive) < 0;
    if (a.name.made != b.name.made) return a.name.made > b.name.made;
    return a.name.sameSecond > b.name.sameSecond;
}

}  // namespace

Result<PrunePlan> PlanPrune(FileSystem& files, const SetNameReader& names, const KeepRules& rules,
                            const std::vector<ProtectedSet>& protectedSets) {
    const QStringList folders = TRY(RootFolders(files));
    std::vector<Candidate> candidates;
    for (const QString& path : folders) candidates.push_back({path, names.Read(FolderName(path))});
    std::sort(candidates.begin(), candidates.end(), NewerFirst);

    // The sets the records name still count in the rules' days, weeks and months, as the
    // unattended backup's sets they are; they are kept whatever the rules say.
    PrunePlan plan;
    std::vector<DatedSet> thinnable;
    std::vector<size_t> thinnableEntries;
    for (const Candidate& candidate : candidates) {
        const bool link = IsLinkOrUnknown(files, candidate.path);
        QString why = link ? QStringLiteral("a link, not a set folder") : NeverThinned(candidate);
        if (why.isEmpty()) why = Recorded(candidate, protectedSets);
        plan.entries.push_back({candidate.path, false, why});
        if (link || candidate.name.kind != SetNameKind::StampAlone) continue;
        thinnable.push_back({candidate.name.made, candidate.name.sameSecond});
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
