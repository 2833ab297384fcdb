#include "sets/backup_set_layout.h"

#include "files/text_routines.h"
#include "services/program_values.h"

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

QString PlaceFolder(SetPlace place, const QString& windowsFolderTail) {
    switch (place) {
    case SetPlace::DriveRoot: return QString();
    case SetPlace::WindowsFolder: return windowsFolderTail;
    case SetPlace::BackupRoot: return BackupRoot;
    }
    return QString();
}

QString RestoredFolder(const SetGroup& group, const ProgramValues& values) {
    if (group.registry) return values.WindowsFolder + u'\\';
    return QStringLiteral("C:") + PlaceFolder(group.place, values.WindowsFolderTail) + u'\\';
}

std::vector<FileGroup> FileGroups(const QString& windowsFolderTail) {
    std::vector<FileGroup> groups;
    for (const SetGroup& group : BackupGroups)
        groups.push_back({PlaceFolder(group.place, windowsFolderTail) + u'\\',
                          QString::fromUtf16(group.pattern), group.registry});
    return groups;
}

}  // namespace stowix
