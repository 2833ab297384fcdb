#include "sets/set_name.h"

#include "sets/backup_root.h"

namespace stowix {

namespace {

// Characters that Windows refuses in a name; a backslash or slash would also reach another
// folder than the one directly inside the root.
bool IsRefusedNameCharacter(QChar c) {
    return c.unicode() < 32 || QStringView(u"\\/:*?\"<>|").contains(c);
}

}  // namespace

bool IsDosPath(const QString& argument) {
    return argument.contains(u'\\') || argument.contains(u':');
}

QString NamedSetPath(const QString& argument) {
    return IsDosPath(argument) ? argument : BackupRoot + u'\\' + argument;
}

bool IsBackupSetPath(const QString& path) {
    const QString prefix = BackupRoot + u'\\';
    if (!path.startsWith(prefix, Qt::CaseInsensitive)) return false;
    const QString name = path.mid(prefix.size());
    bool onlyDotsAndBlanks = true;
    for (QChar c : name) {
        if (IsRefusedNameCharacter(c)) return false;
        if (c != u'.' && c != u' ') onlyDotsAndBlanks = false;
    }
    // Covers the empty name too. "." and ".." resolve to the root or the drive; a name of dots
    // and blanks alone is one that Windows cannot hold.
    return !onlyDotsAndBlanks;
}

}  // namespace stowix
