#include "compare/set_argument.h"

#include "sets/backup_root.h"
#include "sets/set_name.h"

namespace stowix {

Result<QString> ResolveSetPath(FileSystem& files, const QString& argument) {
    if (argument.trimmed().isEmpty()) return Result<QString>::Fail(QStringLiteral("no set named"));
    QString path = NamedSetPath(argument);
    while (path.endsWith(u'\\') && !(path.size() == 3 && path[1] == u':')) path.chop(1);

    const bool driveRoot = path.size() <= 3 && path.size() >= 2 && path[1] == u':';
    if (driveRoot || path.compare(BackupRoot, Qt::CaseInsensitive) == 0)
        return Result<QString>::Fail(path +
                                     QStringLiteral(" is not a backup set: name one of the "
                                                    "folders in ") +
                                     BackupRoot);
    Result<int> attributes = files.ReadAttributes(path);
    if (!attributes)
        return Result<QString>::Fail(QStringLiteral("no backup set ") + path +
                                     QStringLiteral(": ") + attributes.reason());
    if (!(attributes.value() & Attribute::Folder))
        return Result<QString>::Fail(path + QStringLiteral(" is a file, not a backup set"));
    return path;
}

}  // namespace stowix
