// stowix-backup: one backup of drive C:, as "stowix /U" makes it, with an optional comment for
// the set under the rules of the window's Add comment. On success it prints one line: the set's
// name, its files, its bytes and the seconds the backup took.
//
// Exit status: 0 done; 1 a command line it cannot take (a comment no folder name can hold
// among them); 2 no drive C: or no Windows folder; 3 incomplete; 4 the set is complete but a
// registry file in it is damaged; 5 another copy of Stowix is running.

#include "app/command_services.h"
#include "app/command_usages.h"
#include "backup/unattended_backup.h"
#include "files/escaped_text.h"
#include "info/pending_comment.h"
#include "services/exit_status.h"
#include "sets/set_listing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <optional>

using namespace stowix;

namespace {

const QString Name = QStringLiteral("stowix-backup");

// The comment's text, or nothing (problem set) for a command line the command cannot take.
std::optional<QString> ReadCommandLine(int argc, char** argv, const char*& problem) {
    QString comment;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == u"--comment" && i + 1 < argc) {
            comment = QString::fromLocal8Bit(argv[++i]);
        } else if (argument.startsWith(u"--comment=")) {
            comment = argument.mid(10);
        } else {
            problem =
                argument == u"--comment" ? "--comment needs a text" : "takes no such argument";
            return std::nullopt;
        }
    }
    return comment;
}

// The line of a backup that made its set: "<name>: N files, N bytes, N.N seconds".
QString Summary(FileSystem& files, const QString& setPath, qint64 milliseconds) {
    const QString name = setPath.mid(setPath.lastIndexOf(u'\\') + 1);
    const Result<SetSize> size = MeasureSet(files, setPath);
    return QStringLiteral("%1: %2 files, %3 bytes, %4 seconds")
        .arg(name)
        .arg(size ? size.value().files : 0)
        .arg(size ? size.value().bytes : 0)
        .arg(double(milliseconds) / 1000.0, 0, 'f', 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, BackupUsage)) return *status;
    const char* problem = "";
    const std::optional<QString> commentText = ReadCommandLine(argc, argv, problem);
    if (!commentText) return RejectCommandLine(BackupUsage, problem);

    QCoreApplication application(argc, argv);
    NameApplication();
    QElapsedTimer clock;
    clock.start();
    int status = ExitStatus::Done;
    std::unique_ptr<FileSystem> opened = OpenDrivesOrSay(Name, status);
    if (!opened) return status;
    ProgramValues values;
    values.Mode = RunMode::Unattended;
    DescribeDriveC(values);
    if (!ReadMinimumFree(Name, values)) return ExitStatus::NothingDone;
    CommandServices services(std::move(opened));

    // The comment is tried as a folder in the root of drive C:, as the window tries it in its
    // current folder; a drive C: that is missing is told by the backup itself.
    QString comment;
    if (!commentText->isEmpty() && services.files().ChangeDrive(QLatin1Char('C')).ok()) {
        const Result<QString> pending = PendingCommentFrom(services.files(), *commentText);
        if (!pending) {
            const QByteArray why = EscapedText(pending.reason()).toLocal8Bit();
            const QByteArray text = EscapedText(*commentText).toLocal8Bit();
            std::fprintf(stderr, "stowix-backup: the comment \"%s\" cannot name a set: %s\n",
                         text.constData(), why.constData());
            return ExitStatus::CannotRun;
        }
        comment = pending.value();
    }

    const UnattendedBackup run = RunUnattendedBackup(services.services(), values, comment);
    if (run.ran && run.outcome.status == BackupStatus::Complete) {
        QTextStream out(stdout);
        out << EscapedText(Summary(services.files(), run.outcome.setPath, clock.elapsed()))
            << Qt::endl;
    }
    return run.status;
}
