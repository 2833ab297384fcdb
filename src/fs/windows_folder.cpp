#include "fs/windows_folder.h"

#include "dos/dos_path.h"

#include <QStringList>

namespace stowix {

namespace {

const QString VariableName = QStringLiteral("STOWIX_WINDOWS_FOLDER");

bool HasDriveAndRoot(const QString& path) {
    return DrivePrefix(path) && path.size() >= 3 && path.at(2) == u'\\';
}

// The configured folder, checked: a full DOS path of an existing folder.
Result<QString> CheckConfigured(FileSystem& files, QString folder) {
    while (folder.size() > 3 && (folder.endsWith(u'\\') || folder.endsWith(u'/'))) folder.chop(1);
    const QString named = VariableName + QStringLiteral(" (") + folder + u')';
    if (folder.contains(u'"'))
        return Result<QString>::Fail(named + QStringLiteral(" is quoted; give the path without "
                                                            "quotes, for example C:\\WINDOWS"));
    if (!HasDriveAndRoot(folder))
        return Result<QString>::Fail(named + QStringLiteral(" lacks its drive letter; give the "
                                                            "full path, for example C:\\WINDOWS"));
    const Result<int> attributes = files.ReadAttributes(folder);
    if (!attributes)
        return Result<QString>::Fail(named + QStringLiteral(": ") + attributes.reason());
    if ((attributes.value() & Attribute::Folder) == 0)
        return Result<QString>::Fail(named + QStringLiteral(" is a file, not a folder"));
    return folder;
}

// The one folder of the root of C: named WINDOWS in any case.
Result<QString> FindInRoot(FileSystem& files) {
    // The root itself first, so that a drive whose folder is missing says so.
    TRY(files.ReadAttributes(QStringLiteral("C:\\")));
    constexpr int everything =
        Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Folder;
    // A wildcard makes the file system read the whole root, so that every name of that spelling
    // is met, not only the first it finds.
    const std::vector<FolderEntry> entries =
        TRY(files.ListFolder(QStringLiteral("C:\\W?NDOWS"), everything));
    QStringList found;
    for (const FolderEntry& entry : entries) {
        if ((entry.attributes & Attribute::Folder) == 0) continue;
        if (entry.name.compare(QLatin1String("WINDOWS"), Qt::CaseInsensitive) != 0) continue;
        found.append(QStringLiteral("C:\\") + entry.name);
    }
    if (found.isEmpty())
        return Result<QString>::Fail(
            QStringLiteral("the root of drive C: holds no folder named WINDOWS"));
    if (found.size() > 1) {
        found.sort();  // never the host's listing order
        return Result<QString>::Fail(QStringLiteral("the root of drive C: holds more than one "
                                                    "Windows folder (") +
                                     found.join(QStringLiteral(" and ")) +
                                     QStringLiteral("); set ") + VariableName +
                                     QStringLiteral(" to the one to use"));
    }
    return found.first();
}

}  // namespace

Result<QString> FindWindowsFolder(FileSystem& files, QString configured) {
    if (!configured.isEmpty()) return CheckConfigured(files, std::move(configured));
    return FindInRoot(files);
}

}  // namespace stowix
