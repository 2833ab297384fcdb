#include "sets/set_name.h"

#include "sets/backup_root.h"

namespace stowix {

bool IsDosPath(const QString& argument) {
    return argument.contains(u'\\') || argument.contains(u':');
}

QString NamedSetPath(const QString& argument) {
    return IsDosPath(argument) ? argument : BackupRoot + u'\\' + argument;
}

}  // namespace stowix
