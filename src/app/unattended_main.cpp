// stowix-unattended: what the daily backup's systemd service runs. It makes one backup with
// stowix /U and, when that made a complete set (status 0), thins the sets with stowix-prune by
// the rules in STOWIX_PRUNE (nothing is pruned while it is unset). A set whose registry is
// damaged (status 4) is no reason to lose the good sets before it, so nothing is pruned then.
// A run that does not end with status 0 writes one line for the journal and, on a desktop
// session, shows a notification naming the backup, the drive, the status and the first problem
// (once per failure: unattended/failure_notice.h); it ends with the run's status, so that the
// service fails. stowix and stowix-prune are taken from the folder this program lies in.
//
// Environment: STOWIX_BACKUP_NAME, the backup's name in notices ("backup" when unset; the timer
// instance's name in the template unit); STOWIX_PRUNE, the rules for stowix-prune; the drive
// variables, as for stowix.

#include "app/command_usages.h"
#include "fs/drive_map.h"
#include "shell/drive_records.h"
#include "unattended/desktop_notifier.h"
#include "unattended/failure_notice.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTextStream>

using namespace stowix;

namespace {

constexpr int Incomplete = 3;

struct StepOutcome {
    int status = Incomplete;
    QString firstProblem;
};

// Runs one program to its end: its standard output passes through, its standard error is
// passed on and its first line kept.
StepOutcome RunStep(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.start(program, arguments);
    process.waitForFinished(-1);
    const QByteArray errors = process.readAllStandardError();
    QTextStream(stderr) << QString::fromLocal8Bit(errors);
    StepOutcome outcome;
    for (const QString& line : QString::fromLocal8Bit(errors).split(u'\n')) {
        if (line.trimmed().isEmpty()) continue;
        outcome.firstProblem = line.trimmed();
        break;
    }
    if (process.error() == QProcess::FailedToStart) {
        outcome.firstProblem =
            program + QStringLiteral(" could not be started: ") + process.errorString();
        return outcome;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        if (outcome.firstProblem.isEmpty())
            outcome.firstProblem = program + QStringLiteral(" crashed");
        return outcome;
    }
    outcome.status = process.exitCode();
    return outcome;
}

QString Variable(const char* name, const QString& fallback = QString()) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// Where the failure last told is kept: $XDG_STATE_HOME/Stowix, else ~/.local/state/Stowix.
QString StateFolder() {
    return Variable("XDG_STATE_HOME", QDir::homePath() + QStringLiteral("/.local/state")) +
           QStringLiteral("/Stowix");
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, UnattendedUsage)) return *status;
    if (argc > 1) return RejectCommandLine(UnattendedUsage, "takes no arguments");
    QCoreApplication application(argc, argv);
    const QString folder = QCoreApplication::applicationDirPath();

    StepOutcome run = RunStep(folder + QStringLiteral("/stowix"), {QStringLiteral("/U")});
    const QString rules = Variable("STOWIX_PRUNE").trimmed();
    if (run.status == 0 && !rules.isEmpty())
        run = RunStep(folder + QStringLiteral("/stowix-prune"), QProcess::splitCommand(rules));

    QString name = Variable("STOWIX_BACKUP_NAME", QStringLiteral("backup"));
    name.replace(u'/', u'-');
    const FailureRecord record(StateFolder(), name);
    if (run.status == 0) {
        record.Clear();
        return 0;
    }
    QString drive = DriveRecordsName(DriveMap::FromEnvironment());
    if (drive.isEmpty()) drive = QStringLiteral("(none configured)");
    const RunFailure failure{name, drive, run.status, run.firstProblem};
    QTextStream err(stderr);
    err << "stowix-unattended: " << JournalLine(failure) << Qt::endl;
    const QDateTime now = QDateTime::currentDateTime();
    if (record.IsNews(failure, now)) {
        if (const Status shown = NotifyDesktop(NoticeSummary(failure), NoticeBody(failure)); shown)
            record.Told(failure, now);
        else
            err << "stowix-unattended: no notification shown: " << shown.reason() << Qt::endl;
    }
    return run.status;
}
