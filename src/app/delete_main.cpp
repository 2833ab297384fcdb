// stowix-delete: removes backup sets as the window's Delete command does: every file of a set
// whatever its attributes, then its folder, never following a link; a set that really went is
// recorded as the last delete. One line per set.
//
// Exit status: 0 every set deleted; 1 a command line it cannot take; 2 a named set does not
// exist, or no drive C:; 3 a set could not be deleted entirely; 5 another copy of Stowix is
// running: nothing deleted. The worst of these wins.

#include "app/command_services.h"
#include "app/command_usages.h"
#include "files/escaped_text.h"
#include "restore/delete_job.h"
#include "services/exit_status.h"
#include "sets/set_name.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>

using namespace stowix;

namespace {

void Say(std::FILE* to, const QString& text) {
    const QByteArray line =
        EscapedText(QString(QStringLiteral("stowix-delete: ") + text)).toLocal8Bit();
    std::fprintf(to, "%s\n", line.constData());
    std::fflush(to);
}

int DeleteOne(FileSystem& files, SettingsStore& settings, const QString& setPath) {
    const Result<int> attributes = files.ReadAttributes(setPath);
    if (!IsBackupSetPath(setPath) || !attributes || !(attributes.value() & Attribute::Folder)) {
        Say(stderr, setPath + QStringLiteral(": no such backup set"));
        return ExitStatus::NothingDone;
    }
    if (const Status removed = DeleteBackupSet(files, settings, setPath); !removed) {
        Say(stderr, QStringLiteral("could not delete ") + setPath + QStringLiteral(" entirely: ") +
                        removed.reason());
        return ExitStatus::Incomplete;
    }
    Say(stdout, QStringLiteral("deleted ") + setPath);
    return ExitStatus::Done;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, DeleteUsage)) return *status;
    QStringList named;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument == u"--")
            optionsEnded = true;
        else if (!optionsEnded && argument.startsWith(u'-'))
            return RejectCommandLine(DeleteUsage, "takes no such option");
        else
            named.append(NamedSetPath(argument));
    }
    if (named.isEmpty()) return RejectCommandLine(DeleteUsage, "needs the sets to delete");

    QCoreApplication application(argc, argv);
    NameApplication();
    int status = ExitStatus::Done;
    std::unique_ptr<FileSystem> opened = OpenDrivesOrSay(QStringLiteral("stowix-delete"), status);
    if (!opened) return status;
    CommandServices services(std::move(opened));
    // A window that restores from a set, or a backup that writes one, is never pulled from under.
    if (services.system().PreviousInstance()) {
        Say(stderr, QStringLiteral("another copy of Stowix is running; nothing was deleted"));
        return ExitStatus::AnotherCopy;
    }
    for (const QString& setPath : named)
        status = std::max(status, DeleteOne(services.files(), services.settings(), setPath));
    return status;
}
