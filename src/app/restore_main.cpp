// stowix-restore: the restore the window makes, step for step, from the command line: the
// registry check, the set that keeps what the restore replaces (its name printed), the copies,
// the staged registry files and the boot script. It restarts nothing: Windows must be started,
// or stowix-boot run, to put the registry in place. --dry-run prints what the window's details
// show and changes nothing.
//
// Exit status: 0 done; 1 a command line it cannot take; 2 no drive C:, no Windows folder or no
// such set: nothing done; 3 incomplete, or nothing restored for want of room or of the undo set;
// 4 the set's registry is damaged (or could not be checked) and --force was not given: nothing
// done; 5 another copy of Stowix is running.

#include "app/command_services.h"
#include "app/command_usages.h"
#include "files/escaped_text.h"
#include "registry/registry_file_check.h"
#include "restore/folder_chooser.h"
#include "restore/restore_job.h"
#include "restore/undo_set.h"
#include "services/exit_status.h"
#include "sets/backup_root.h"
#include "sets/set_listing.h"
#include "sets/set_name.h"
#include "shell/start_checks.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace stowix;

namespace {

struct RestoreCommand {
    QString set;
    bool dryRun = false;
    bool force = false;
};

// Nothing to step: no bar is shown.
class NoProgress : public ProgressStepper {
public:
    void StepProgress(bool, bool) override {}
};

std::optional<RestoreCommand> ReadCommandLine(int argc, char** argv, const char*& problem) {
    RestoreCommand command;
    bool named = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == u"--dry-run") {
            command.dryRun = true;
        } else if (!optionsEnded && argument == u"--force") {
            command.force = true;
        } else if (!optionsEnded && argument.startsWith(u'-')) {
            problem = "takes no such option";
            return std::nullopt;
        } else if (named) {
            problem = "restores one set at a time";
            return std::nullopt;
        } else {
            command.set = argument;
            named = true;
        }
    }
    if (!named) {
        problem = "needs the set to restore";
        return std::nullopt;
    }
    return command;
}

// Each line of text, escaped, on standard error or output after the command's name.
void Say(std::FILE* to, const QString& text) {
    const QByteArray line =
        EscapedText(QString(QStringLiteral("stowix-restore: ") + text)).toLocal8Bit();
    std::fprintf(to, "%s\n", line.constData());
    std::fflush(to);
}

// The set that SET names: "latest" is the newest set a backup made (not one a restore kept
// first, nor one whose record says it is incomplete), by when it was made; anything else is a
// folder name or a DOS path. Empty, told, when there is no such set.
QString ChosenSet(FileSystem& files, const QString& argument) {
    QString path;
    if (argument == u"latest") {
        const Result<std::vector<ListedSet>> sets = ListBackupSets(files, LocaleSetTimes());
        if (!sets) {
            Say(stderr, BackupRoot + QStringLiteral(" cannot be listed: ") + sets.reason());
            return QString();
        }
        const auto newest =
            std::find_if(sets.value().begin(), sets.value().end(), [](const ListedSet& set) {
                return set.comment != UndoComment.mid(1) && set.record.complete != false;
            });
        if (newest == sets.value().end()) {
            Say(stderr, BackupRoot + QStringLiteral(" holds no backup set"));
            return QString();
        }
        return newest->path;
    }
    path = NamedSetPath(argument);
    const Result<int> attributes = files.ReadAttributes(path);
    if (!IsBackupSetPath(path) || !attributes || !(attributes.value() & Attribute::Folder)) {
        Say(stderr, path + QStringLiteral(": no such backup set"));
        return QString();
    }
    return path;
}

}  // namespace

namespace {

// False, told, when the set's registry is damaged or could not be checked and --force was not
// given: the window asks; the command line needs --force to restore such a registry.
bool RegistryAccepted(FileSystem& files, const QString& setPath, bool force) {
    const std::vector<RegistryProblem> problems = CheckSetRegistry(files, setPath);
    if (problems.empty()) return true;
    const bool damaged =
        std::any_of(problems.begin(), problems.end(),
                    [](const RegistryProblem& problem) { return problem.checked; });
    const QString what = (damaged ? QStringLiteral("the registry in this backup set is damaged: ")
                                  : QStringLiteral("the registry in this backup set could not be "
                                                   "checked: ")) +
                         DescribeRegistryProblems(problems);
    if (force) {
        Say(stderr, what + QStringLiteral("; restored anyway (--force)"));
        return true;
    }
    Say(stderr, what + QStringLiteral(". Windows may not start with it. Nothing was restored; "
                                      "--force restores it anyway."));
    return false;
}

// The details the window keeps behind "Show Details...", one line each.
void PrintDetails(const QString& details) {
    for (const QString& line : TerminalDialogs::DisplayText(details).split(u'\n')) {
        const QByteArray shown = EscapedText(line).toLocal8Bit();
        std::printf("%s\n", shown.constData());
    }
}

int Restore(RestoreJob& job, const QString& setPath, const RestoreCommand& command) {
    if (!BootScriptCanNameWindowsFolder(job)) return ExitStatus::NothingDone;
    const bool accepted = RegistryAccepted(job.files, setPath, command.force);
    const QString undoPath = NextUndoSetPath(job.files, job.system);
    if (command.dryRun) {
        PrintDetails(RestoreDetails(job, setPath, undoPath));
        return accepted ? ExitStatus::Done : ExitStatus::RegistryDamaged;
    }
    if (!accepted) return ExitStatus::RegistryDamaged;
    Say(stdout, QStringLiteral("keeping what the restore replaces in ") + undoPath);
    // The undo set's troubles are told through the dialogs; its question is answered No, so a
    // restore that could not be undone is never made from the command line.
    if (!KeepUndoSet(job, setPath, undoPath)) {
        Say(stderr, QStringLiteral("nothing was restored"));
        return ExitStatus::Incomplete;
    }
    const RestoreOutcome outcome = RestoreSet(job, setPath);
    RecordRestore(job, setPath, outcome);
    if (!outcome.Complete())
        (void)job.dialogs.MessageBox(IncompleteRestoreText(outcome, job.values.WindowsFolder),
                                     MessageButtons::Ok, MessageIcon::Information,
                                     QStringLiteral("Restore incomplete"));
    if (outcome.bootScript.ok())
        Say(stdout, (outcome.Complete() ? QStringLiteral("restored ")
                                        : QStringLiteral("restored in part ")) +
                        setPath +
                        QStringLiteral(". Start Windows, or run stowix-boot, to put the "
                                       "registry files in place."));
    return outcome.Complete() ? ExitStatus::Done : ExitStatus::Incomplete;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, RestoreUsage)) return *status;
    const char* problem = "";
    const std::optional<RestoreCommand> command = ReadCommandLine(argc, argv, problem);
    if (!command) return RejectCommandLine(RestoreUsage, problem);

    QCoreApplication application(argc, argv);
    NameApplication();
    int status = ExitStatus::Done;
    std::unique_ptr<FileSystem> opened = OpenDrivesOrSay(QStringLiteral("stowix-restore"), status);
    if (!opened) return status;
    ProgramValues values;
    DescribeDriveC(values);
    if (!ReadMinimumFree(QStringLiteral("stowix-restore"), values)) return ExitStatus::NothingDone;
    CommandServices services(std::move(opened));
    Services real = services.services();
    // The window restores as one copy of the program; so does the command line.
    if (real.system.PreviousInstance()) {
        Say(stderr, QStringLiteral("another copy of Stowix is running; nothing was restored"));
        return ExitStatus::AnotherCopy;
    }
    const Result<QString> windowsFolder = FindWindowsFolder(real.files, real.windows);
    if (!windowsFolder) {
        (void)real.dialogs.MessageBox(NoWindowsFolderText(windowsFolder.reason(), values.DrivePath),
                                      MessageButtons::Ok, MessageIcon::Information,
                                      QStringLiteral("stowix-restore"));
        return ExitStatus::NothingDone;
    }
    values.WindowsFolder = windowsFolder.value();
    values.WindowsFolderTail = values.WindowsFolder.mid(2);

    const QString setPath = ChosenSet(real.files, command->set);
    if (setPath.isEmpty()) return ExitStatus::NothingDone;
    NoProgress progress;
    RestoreJob job{real.files, real.settings, real.system, real.dialogs, values, progress};
    return Restore(job, setPath, *command);
}
