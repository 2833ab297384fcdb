#include "prune/set_standing.h"

#include "restore/undo_set.h"
#include "sets/registry_presence.h"
#include "sets/set_facts.h"

namespace stowix {

namespace {

// Clocks of two machines that share a drive may differ a little; a set made a few minutes
// "after" now is not yet one from the future.
constexpr qint64 ClockSlackSeconds = 5 * 60;

QString FolderName(const QString& path) { return path.mid(path.lastIndexOf(u'\\') + 1); }

bool IsLinkOrUnknown(FileSystem& files, const QString& path) {
    const Result<bool> link = files.IsLink(path);
    return !link || link.value();  // what cannot be told is not trusted
}

// A set with a record: its time is the record's; its name is read in the forms it was written
// in, for its comment alone.
void StandRecorded(SetStanding& standing, const SetFacts& facts, const QString& name) {
    const SetRecord& record = *facts.record;
    const QDateTime made = record.made.toLocalTime();
    const SetNameReader own(QLocale(record.locale), record.dateForm, record.timeForm,
                            made.date().addDays(1));
    const SetName read = own.Read(name);
    standing.incomplete = facts.Incomplete();
    standing.complete = !standing.incomplete;
    standing.made = made;
    standing.sameSecond = read.sameSecond;
    standing.programsOwn = read.kind == SetNameKind::StampAlone || name.endsWith(UndoComment);
    if (!made.isValid())
        standing.staysBecause = QStringLiteral("its record gives no time");
    else if (read.kind == SetNameKind::Commented)
        standing.staysBecause = QStringLiteral("it has a comment");
    else if (read.kind == SetNameKind::Unreadable)
        standing.staysBecause = QStringLiteral("it was renamed");
}

// A set made before records: dated by its name only when nothing leaves room for doubt.
void StandUnrecorded(FileSystem& files, SetStanding& standing, const SetNameReader& names,
                     const QString& name) {
    const SetName read = names.Read(name);
    switch (read.kind) {
    case SetNameKind::Commented: standing.staysBecause = QStringLiteral("it has a comment"); return;
    case SetNameKind::Unreadable:
        standing.staysBecause = QStringLiteral("its time cannot be read from its name");
        return;
    case SetNameKind::StampAlone: break;
    }
    if (names.DayAndMonthSwap(name)) {
        standing.staysBecause = QStringLiteral(
            "it has no record, and its name reads as another day with day and month swapped");
        return;
    }
    if (RegistryFilesIn(files, standing.path, BackupGroups).isEmpty()) {
        standing.staysBecause = QStringLiteral("it has no record and holds no registry: no set");
        return;
    }
    // As before records: a set that holds its registry counts as complete.
    standing.made = read.made;
    standing.sameSecond = read.sameSecond;
    standing.complete = true;
    standing.programsOwn = true;
}

}  // namespace

SetStanding StandingOf(FileSystem& files, const QString& path, const SetNameReader& names,
                       const QDateTime& now) {
    SetStanding standing;
    standing.path = path;
    if (IsLinkOrUnknown(files, path)) {
        standing.staysBecause = QStringLiteral("a link, not a set folder");
        return standing;
    }
    const QString name = FolderName(path);
    const SetFacts facts = ReadSetFacts(files, path);
    if (facts.record)
        StandRecorded(standing, facts, name);
    else if (facts.Incomplete())
        standing.staysBecause = facts.problem;  // a record that cannot be read
    else
        StandUnrecorded(files, standing, names, name);
    if (standing.made.isValid() && standing.made.secsTo(now) < -ClockSlackSeconds) {
        standing.staysBecause = QStringLiteral("it is dated in the future");
        standing.made = QDateTime();
        return standing;
    }
    standing.thinnable = standing.staysBecause.isEmpty() && standing.complete;
    return standing;
}

}  // namespace stowix
