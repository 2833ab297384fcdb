#include "sets/backup_set_layout.h"

#include "files/text_routines.h"
#include "services/program_values.h"
#include "sets/backup_root.h"

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

QString PlaceFolder(SetPlace place, const QString& windowsFolder) {
    switch (place) {
    case SetPlace::DriveRoot: return QString();
    case SetPlace::WindowsFolder: return windowsFolder;
    case SetPlace::BackupRoot: return BackupRoot;
    }
    return QString();
}

QString RestoredFolder(const SetGroup& group, const ProgramValues& values) {
    if (group.registry || group.place == SetPlace::WindowsFolder)
        return values.WindowsFolder + u'\\';
    return QStringLiteral("C:\\");
}

QString FullPlaceFolder(SetPlace place, const QString& windowsFolder) {
    // PlaceFolder leaves the root to the current drive; here it is named: drive C:.
    if (place == SetPlace::DriveRoot) return QStringLiteral("C:\\");
    return PlaceFolder(place, windowsFolder) + u'\\';
}

}  // namespace stowix
