// stowix-check: checks backup sets, all of them by default or those named: the set's record does
// not say that the run that made it broke off ("incomplete"), every file of a set can be read
// whole, and its registry pair (SYSTEM.DAT, USER.DAT) is there and sound, every key
// and value read. One line per set on standard output.
//
// Exit status, as a checking tool's: 0 every set checked is sound; 1 a set is damaged; 2
// trouble: a wrong command line, no drive C:, a named set that does not exist, or a check that
// could not run. The worst of these wins.

#include "app/command_usages.h"
#include "dos/name_rules.h"
#include "drives/open_drives.h"
#include "files/escaped_text.h"
#include "registry/set_check.h"
#include "sets/backup_root.h"
#include "sets/set_name.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace stowix;

namespace {

enum ExitStatus { Sound = 0, Damaged = 1, Trouble = 2, AnotherCopy = 5 };

// One line on a terminal: set names, file names and reasons come from the drive, so control
// characters in them are shown escaped rather than sent to the terminal.
void Say(QTextStream& stream, const QString& line) { stream << EscapedText(line) << Qt::endl; }

// Every set in the backup root, in name order. A drive without a backup root holds no sets; a
// drive C: that cannot be read, or a backup root that cannot be listed, is trouble: a check that
// found no set there must not pass for one that found every set sound.
Result<QStringList> AllSets(FileSystem& files) {
    TRY(files.ReadAttributes(QStringLiteral("C:\\")));
    const Result<int> root = files.ReadAttributes(BackupRoot);
    if (root.notFound()) return QStringList();
    if (!root) return root.status();
    if (!(root.value() & Attribute::Folder))
        return Status::Fail(BackupRoot + QStringLiteral(" is a file, not a folder"));
    const std::vector<FolderEntry> listed = TRY(files.ListFolder(
        BackupRoot + QStringLiteral("\\*.*"),
        Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::ReadOnly));
    QStringList sets;
    for (const FolderEntry& entry : listed)
        if ((entry.attributes & Attribute::Folder) && !IsDotOrDotDot(entry.name))
            sets.append(BackupRoot + u'\\' + entry.name);
    sets.sort(Qt::CaseInsensitive);
    return sets;
}

int CheckOne(FileSystem& files, const QString& setPath, QTextStream& out) {
    const Result<int> attributes = files.ReadAttributes(setPath);
    if (!attributes || !(attributes.value() & Attribute::Folder)) {
        Say(out, setPath + QStringLiteral(": no such backup set"));
        return Trouble;
    }
    const SetCheck check = CheckBackupSet(files, setPath);
    switch (check.verdict) {
    case SetVerdict::Sound:
        Say(out, QStringLiteral("%1: sound (%2 files, registry of %3 keys)")
                     .arg(setPath)
                     .arg(check.files)
                     .arg(check.registryKeys));
        return Sound;
    case SetVerdict::Damaged:
        if (!check.incomplete.isEmpty()) {
            QStringList problems = check.problems;
            problems.prepend(check.incomplete);
            Say(out, setPath + QStringLiteral(": ") + problems.join(QStringLiteral("; ")));
            return Damaged;
        }
        Say(out,
            setPath + QStringLiteral(": damaged: ") + check.problems.join(QStringLiteral("; ")));
        return Damaged;
    case SetVerdict::NotChecked: break;
    }
    Say(out,
        setPath + QStringLiteral(": not checked: ") + check.problems.join(QStringLiteral("; ")));
    return Trouble;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, CheckUsage)) return *status;
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList named;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(u'-'))
            return RejectCommandLine(CheckUsage, "takes no such option; name sets by their folder");
        named.append(NamedSetPath(argument));
    }

    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        Say(err, QStringLiteral("stowix-check: ") + opened.reason());
        return anotherCopy ? AnotherCopy : Trouble;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();

    QStringList sets = named;
    if (sets.isEmpty()) {
        const Result<QStringList> all = AllSets(*files);
        if (!all) {
            Say(err, QStringLiteral("stowix-check: ") + BackupRoot +
                         QStringLiteral(" cannot be listed: ") + all.reason());
            return Trouble;
        }
        sets = all.value();
        if (sets.isEmpty()) {
            Say(out, BackupRoot + QStringLiteral(" holds no backup sets"));
            return Sound;
        }
    }
    int status = Sound;
    for (const QString& set : sets) status = std::max(status, CheckOne(*files, set, out));
    return status;
}
