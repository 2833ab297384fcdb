// stowix-list: the backup sets of drive C:'s backup root, newest first, one line each: the set's
// name, when it was made, its comment, its files and bytes, and marks for the last backup, the
// last restore and the sets a restore kept first. --json gives the same as a JSON array.
//
// Exit status: 0 done (also when there are no sets); 1 a command line it cannot take; 2 no
// drive C:, or the backup root cannot be listed; 5 another copy of Stowix works in a drive's
// image.

#include "app/command_services.h"
#include "app/command_usages.h"
#include "files/escaped_text.h"
#include "services/exit_status.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "sets/set_listing.h"
#include "shell/settings.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <cstring>

using namespace stowix;

namespace {

const QString Name = QStringLiteral("stowix-list");

struct Marks {
    bool lastBackup = false;
    bool lastRestore = false;
    bool undo = false;
};

Marks MarksOf(const ListedSet& set, const QString& lastBackup, const QString& lastRestore) {
    return {set.path.compare(lastBackup, Qt::CaseInsensitive) == 0,
            set.path.compare(lastRestore, Qt::CaseInsensitive) == 0,
            set.comment == UndoComment.mid(1)};
}

QString TimeText(const ListedRecord& record) {
    return record.made.isValid() ? record.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 : QStringLiteral("time unknown");
}

// "<name>  made <time>, N files, N bytes, comment "<comment>", last backup": escaped, since the
// names come from the drive.
QString Line(const ListedSet& set, const Marks& marks) {
    QString line = set.name + QStringLiteral("  made %1, %2 files, %3 bytes")
                                  .arg(TimeText(set.record))
                                  .arg(set.size.files)
                                  .arg(set.size.bytes);
    if (!set.comment.isEmpty()) line += QStringLiteral(", comment \"") + set.comment + u'"';
    if (set.record.complete == false) line += QStringLiteral(", incomplete");
    if (marks.lastBackup) line += QStringLiteral(", last backup");
    if (marks.lastRestore) line += QStringLiteral(", last restore");
    if (marks.undo) line += QStringLiteral(", undo set");
    return EscapedText(line);
}

QJsonObject JsonOf(const ListedSet& set, const Marks& marks) {
    QJsonObject object;
    object[QStringLiteral("name")] = set.name;
    object[QStringLiteral("path")] = set.path;
    object[QStringLiteral("time")] = set.record.made.isValid()
                                         ? QJsonValue(set.record.made.toString(Qt::ISODate))
                                         : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("comment")] = set.comment;
    object[QStringLiteral("files")] = set.size.files;
    object[QStringLiteral("bytes")] = double(set.size.bytes);
    object[QStringLiteral("complete")] =
        set.record.complete ? QJsonValue(*set.record.complete) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("lastBackup")] = marks.lastBackup;
    object[QStringLiteral("lastRestore")] = marks.lastRestore;
    object[QStringLiteral("undo")] = marks.undo;
    return object;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, ListUsage)) return *status;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else
            return RejectCommandLine(ListUsage, "takes no such argument");
    }

    QCoreApplication application(argc, argv);
    NameApplication();
    int status = ExitStatus::Done;
    std::unique_ptr<FileSystem> opened = OpenDrivesOrSay(Name, status);
    if (!opened) return status;
    CommandServices services(std::move(opened));
    const Result<std::vector<ListedSet>> sets = ListBackupSets(services.files(), LocaleSetTimes());
    if (!sets) {
        const QByteArray why = EscapedText(sets.reason()).toLocal8Bit();
        std::fprintf(stderr, "stowix-list: %s cannot be listed: %s\n",
                     BackupRoot.toLocal8Bit().constData(), why.constData());
        return ExitStatus::NothingDone;
    }
    SettingsStore& settings = services.settings();
    const QString lastBackup =
        ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastBackup, QString());
    const QString lastRestore =
        ReadSetting(settings, SettingsKeys::Info, SettingsKeys::LastRestore, QString());

    QTextStream out(stdout);
    if (json) {
        QJsonArray array;
        for (const ListedSet& set : sets.value())
            array.append(JsonOf(set, MarksOf(set, lastBackup, lastRestore)));
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else if (sets.value().empty()) {
        out << BackupRoot << " holds no backup sets" << Qt::endl;
    } else {
        for (const ListedSet& set : sets.value())
            out << Line(set, MarksOf(set, lastBackup, lastRestore)) << Qt::endl;
    }
    out.flush();
    return std::fflush(stdout) == 0 ? ExitStatus::Done : ExitStatus::NothingDone;
}
