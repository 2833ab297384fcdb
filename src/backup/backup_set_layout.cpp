#include "backup/backup_set_layout.h"

#include "files/text_routines.h"
#include "shell/program_values.h"

namespace stowix {

QString SetStamp(const QString& dateText, const QString& timeText) {
    QString stamp = dateText + QStringLiteral(" ") + timeText;
    ReplaceInPlace(stamp, QStringLiteral("/"), QStringLiteral("-"));
    ReplaceInPlace(stamp, QStringLiteral(":"), QStringLiteral(";"));
    return stamp;
}

QString SetPath(const QString& stamp, const QString& pendingComment) {
    return BackupRoot + QStringLiteral("\\") + stamp + pendingComment;
}

std::vector<FileGroup> FileGroups(const QString& windowsFolderTail) {
    const QString root = QStringLiteral("\\");
    const QString windows = windowsFolderTail + QStringLiteral("\\");
    return {
        {root, QStringLiteral("Autoexec.Bat")},
        {root, QStringLiteral("Command.Com")},
        {root, QStringLiteral("*.Sys")},
        {windows, QStringLiteral("System.Dat")},
        {windows, QStringLiteral("System.Da0")},
        {windows, QStringLiteral("User.Dat")},
        {windows, QStringLiteral("User.Da0")},
        {windows, QStringLiteral("*.Bat")},
        {windows, QStringLiteral("*.Com")},
        {windows, QStringLiteral("*.Grp")},
        {windows, QStringLiteral("*.Ini")},
        {windows, QStringLiteral("*.Pif")},
        {windows, QStringLiteral("*.Pwl")},
        {windows, QStringLiteral("ShellIconCache")},
        {windows, QStringLiteral("TTFcache")},
    };
}

}  // namespace stowix
