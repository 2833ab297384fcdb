// stowix-prune: thins the backup sets that the unattended backup made, by keep rules as restic
// and borg have them, for drive C: as every command finds it. It lists what it deletes (or, with
// --dry-run, would delete) and why each other set stays.
//
// Exit status: 0 done; 1 a command line it cannot take, or no rule; 2 no drive C:, or the backup
// folder cannot be listed: nothing deleted; 3 a set could not be deleted (named on standard
// error); 5 another copy of Stowix runs: nothing done, as stowix /U ends then.

#include "app/command_usages.h"
#include "app/qt_settings_store.h"
#include "app/qt_system.h"
#include "drives/open_drives.h"
#include "prune/prune_run.h"
#include "sets/backup_root.h"
#include "shell/drive_records.h"
#include "shell/settings.h"

#include <QCoreApplication>
#include <QTextStream>

#include <optional>

using namespace stowix;

namespace {

enum ExitStatus { Done = 0, Usage = 1, Trouble = 2, Incomplete = 3, AnotherCopy = 5 };

struct PruneCommand {
    KeepRules rules;
    bool dryRun = false;
};

// The count of a "--keep-..." option, from "--keep-daily=7" or the next argument.
std::optional<int> CountOf(const QString& argument, qsizetype nameLength, int argc, char** argv,
                           int& i) {
    QString text;
    if (argument.size() > nameLength) {
        if (argument.at(nameLength) != u'=') return std::nullopt;
        text = argument.mid(nameLength + 1);
    } else if (i + 1 < argc) {
        text = QString::fromLocal8Bit(argv[++i]);
    }
    bool whole = false;
    const int count = text.toInt(&whole);
    if (!whole || count < 0) return std::nullopt;
    return count;
}

// Fails with the problem to tell.
std::optional<PruneCommand> ReadCommandLine(int argc, char** argv, const char*& problem) {
    PruneCommand command;
    const std::pair<const char*, int KeepRules::*> options[] = {
        {"--keep-last", &KeepRules::last},
        {"--keep-daily", &KeepRules::daily},
        {"--keep-weekly", &KeepRules::weekly},
        {"--keep-monthly", &KeepRules::monthly},
    };
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == u"--dry-run") {
            command.dryRun = true;
            continue;
        }
        bool known = false;
        for (const auto& [name, rule] : options) {
            const QString option = QString::fromLatin1(name);
            if (!argument.startsWith(option)) continue;
            const std::optional<int> count = CountOf(argument, option.size(), argc, argv, i);
            if (!count) {
                problem = "a --keep option takes a whole number, 0 or more";
                return std::nullopt;
            }
            command.rules.*rule = *count;
            known = true;
            break;
        }
        if (!known) {
            problem = "takes no such argument";
            return std::nullopt;
        }
    }
    if (!command.rules.KeepsAny()) {
        problem = "needs a rule that keeps sets, such as --keep-daily 7";
        return std::nullopt;
    }
    return command;
}

SetNameReader LocaleNames() {
    const QLocale locale;
    return SetNameReader(locale, locale.dateFormat(QLocale::ShortFormat),
                         QtSystem::TimeFormatWithSeconds(locale), QDate::currentDate());
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, PruneUsage)) return *status;
    const char* problem = "";
    const std::optional<PruneCommand> command = ReadCommandLine(argc, argv, problem);
    if (!command) return RejectCommandLine(PruneUsage, problem);

    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // A window that restores or deletes a set at the same time is kept out, as a second stowix
    // /U is.
    QtSystem system(QtSystem::DefaultLockFilePath(DriveRecordsName(DriveMap::FromEnvironment())));
    if (system.PreviousInstance()) {
        err << "stowix-prune: another copy of Stowix is running; nothing was deleted" << Qt::endl;
        return AnotherCopy;
    }
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives();
    if (!opened) {
        err << "stowix-prune: " << opened.reason() << Qt::endl;
        return Trouble;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();
    QtSettingsStore settingsFile;
    DriveRecordsStore settings(settingsFile, DriveRecordsName(DriveMap::FromEnvironment()),
                               SetFolderExists(*files));
    const std::vector<ProtectedSet> recorded{
        {ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastBackup, QString()),
         QStringLiteral("the last backup")},
        {ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastRestore, QString()),
         QStringLiteral("the last restore")},
    };

    const Result<PrunePlan> plan =
        PlanPrune(*files, LocaleNames(), command->rules, recorded, QDateTime::currentDateTime());
    if (!plan) {
        err << "stowix-prune: " << BackupRoot << " cannot be listed: " << plan.reason() << Qt::endl;
        return Trouble;
    }
    for (const QString& line : PlanLines(plan.value(), command->dryRun)) out << line << Qt::endl;
    if (command->dryRun) return Done;

    QStringList deleted;
    const QStringList failures = CarryOut(*files, plan.value(), deleted);
    // As the chooser's delete records it; the sets are gone whether or not the record is
    // written.
    if (!deleted.isEmpty())
        (void)WriteSetting(settings, SettingsKeys::Info, SettingsKeys::LastDelete, deleted.last());
    for (const QString& failure : failures)
        err << "stowix-prune: could not delete " << failure << Qt::endl;
    return failures.isEmpty() ? Done : Incomplete;
}
