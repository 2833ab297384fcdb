// stowix-check: checks backup sets, all of them by default or those named: every file of a set
// can be read whole, and its registry pair (SYSTEM.DAT, USER.DAT) is there and sound, every key
// and value read. One line per set on standard output.
//
// Exit status, as a checking tool's: 0 every set checked is sound; 1 a set is damaged; 2
// trouble: a wrong command line, no drive C:, a named set that does not exist, or a check that
// could not run. The worst of these wins.

#include "app/command_usages.h"
#include "drives/open_drives.h"
#include "registry/set_check.h"
#include "services/program_values.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace stowix;

namespace {

enum ExitStatus { Sound = 0, Damaged = 1, Trouble = 2, AnotherCopy = 5 };

// A named set: a DOS path as given, or a folder name in the backup root.
QString SetPathOf(const QString& argument) {
    if (argument.contains(u':') || argument.startsWith(u'\\')) return argument;
    return BackupRoot + u'\\' + argument;
}

// Every set in the backup root, in name order.
Result<QStringList> AllSets(FileSystem& files) {
    const Result<std::vector<FolderEntry>> listed = files.ListFolder(
        BackupRoot + QStringLiteral("\\*.*"),
        Attribute::Folder | Attribute::Hidden | Attribute::System | Attribute::ReadOnly);
    if (!listed) return listed.status();
    QStringList sets;
    for (const FolderEntry& entry : listed.value())
        if ((entry.attributes & Attribute::Folder) && entry.name != u"." && entry.name != u"..")
            sets.append(BackupRoot + u'\\' + entry.name);
    sets.sort(Qt::CaseInsensitive);
    return sets;
}

int CheckOne(FileSystem& files, const QString& setPath, QTextStream& out) {
    const Result<int> attributes = files.ReadAttributes(setPath);
    if (!attributes || !(attributes.value() & Attribute::Folder)) {
        out << setPath << ": no such backup set" << Qt::endl;
        return Trouble;
    }
    const SetCheck check = CheckBackupSet(files, setPath);
    switch (check.verdict) {
    case SetVerdict::Sound:
        out << setPath << ": sound (" << check.files << " files, registry of " << check.registryKeys
            << " keys)" << Qt::endl;
        return Sound;
    case SetVerdict::Damaged:
        out << setPath << ": damaged: " << check.problems.join(QStringLiteral("; ")) << Qt::endl;
        return Damaged;
    case SetVerdict::NotChecked: break;
    }
    out << setPath << ": not checked: " << check.problems.join(QStringLiteral("; ")) << Qt::endl;
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
        named.append(SetPathOf(argument));
    }

    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (!opened) {
        err << "stowix-check: " << opened.reason() << Qt::endl;
        return anotherCopy ? AnotherCopy : Trouble;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();

    QStringList sets = named;
    if (sets.isEmpty()) {
        const Result<QStringList> all = AllSets(*files);
        if (!all) {
            err << "stowix-check: " << BackupRoot << " cannot be listed: " << all.reason()
                << Qt::endl;
            return Trouble;
        }
        sets = all.value();
        if (sets.isEmpty()) {
            out << BackupRoot << " holds no backup sets" << Qt::endl;
            return Sound;
        }
    }
    int status = Sound;
    for (const QString& set : sets) status = std::max(status, CheckOne(*files, set, out));
    return status;
}
