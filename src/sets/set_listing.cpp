#include "sets/set_listing.h"

#include "dos/name_rules.h"
#include "sets/backup_root.h"
#include "sets/set_facts.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace stowix {

namespace {

constexpr int EveryKind =
    Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::ReadOnly;

bool Newer(const ListedSet& a, const ListedSet& b) {
    const QDateTime& ta = a.record.made;
    const QDateTime& tb = b.record.made;
    if (ta.isValid() != tb.isValid()) return ta.isValid();
    if (ta.isValid() && ta != tb) return ta > tb;
    return a.name.compare(b.name, Qt::CaseInsensitive) > 0;
}

}  // namespace

ListedRecord ReadListedRecord(FileSystem& files, const QString& setPath,
                              const SetTimeReader& timeOf) {
    ListedRecord listed;
    const SetFacts facts = ReadSetFacts(files, setPath);
    if (facts.completeness != SetCompleteness::Unrecorded) listed.complete = !facts.Incomplete();
    if (facts.made.isValid()) {
        listed.made = facts.made.toLocalTime();
        return listed;
    }
    const QString name = setPath.mid(setPath.lastIndexOf(u'\\') + 1);
    if (timeOf)
        if (const std::optional<QDateTime> made = timeOf(name)) listed.made = *made;
    return listed;
}

QString SetComment(const QString& folderName) {
    // The time is the first "H;MM;SS" of the name: a comment may hold ';' too, the stamp's
    // date never does.
    static const QRegularExpression time(QStringLiteral("\\d{1,2};\\d{2};\\d{2}"));
    const QRegularExpressionMatch found = time.match(folderName);
    if (!found.hasMatch()) return QString();
    QString rest = folderName.mid(found.capturedEnd());
    const QLocale locale;
    for (const QString& marker : {locale.amText(), locale.pmText()}) {
        if (!marker.isEmpty() && rest.startsWith(QString(u' ' + marker))) {
            rest = rest.mid(marker.size() + 1);
            break;
        }
    }
    static const QRegularExpression sameSecond(QStringLiteral("^\\(\\d+\\)"));
    if (const QRegularExpressionMatch match = sameSecond.match(rest); match.hasMatch())
        rest = rest.mid(match.capturedLength());
    if (!rest.startsWith(u' ')) return QString();
    return rest.mid(1);
}

Result<SetSize> MeasureSet(FileSystem& files, const QString& setPath) {
    const std::vector<FolderEntry> entries =
        TRY(files.ListFolder(setPath + QStringLiteral("\\*.*"), EveryKind));
    SetSize size;
    for (const FolderEntry& entry : entries) {
        // The set's record is the set's own note, not a file of the drive's.
        if ((entry.attributes & Attribute::Folder) ||
            entry.name.compare(SetRecordName, Qt::CaseInsensitive) == 0)
            continue;
        ++size.files;
        if (const Result<FileFacts> facts = files.ReadFileFacts(setPath + u'\\' + entry.name))
            size.bytes += facts.value().size;
    }
    return size;
}

Result<std::vector<ListedSet>> ListBackupSets(FileSystem& files, const SetTimeReader& timeOf) {
    TRY(files.ReadAttributes(QStringLiteral("C:\\")));
    const Result<int> root = files.ReadAttributes(BackupRoot);
    if (root.notFound()) return std::vector<ListedSet>();
    if (!root) return root.status();
    if (!(root.value() & Attribute::Folder))
        return Status::Fail(BackupRoot + QStringLiteral(" is a file, not a folder"));
    const std::vector<FolderEntry> listed =
        TRY(files.ListFolder(BackupRoot + QStringLiteral("\\*.*"), EveryKind));
    std::vector<ListedSet> sets;
    for (const FolderEntry& entry : listed) {
        if (!(entry.attributes & Attribute::Folder) || IsDotOrDotDot(entry.name)) continue;
        ListedSet set;
        set.name = entry.name;
        set.path = BackupRoot + u'\\' + entry.name;
        set.comment = SetComment(entry.name);
        set.record = ReadListedRecord(files, set.path, timeOf);
        // A set that cannot be listed is still a set: it shows with no files.
        if (const Result<SetSize> size = MeasureSet(files, set.path)) set.size = size.value();
        sets.push_back(std::move(set));
    }
    std::sort(sets.begin(), sets.end(), Newer);
    return sets;
}

}  // namespace stowix
