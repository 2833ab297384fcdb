#include "files/remove_folder.h"

#include "dos/name_rules.h"
#include "files/file_routines.h"
#include "files/listing.h"

#include <QStringList>

#include <vector>

namespace stowix {

namespace {

// The folder as a path of its own, without the trailing backslash of its listed form; a drive's
// root keeps it ("C:\").
QString WithoutTrailingBackslash(const QString& folder) {
    if (folder.size() > 3 && folder.endsWith(u'\\')) return folder.chopped(1);
    return folder;
}

// What is still in folder (listed form, ending in a backslash): each name, folders marked by a
// trailing backslash, each file that resisted deletion with the reason it gave.
QString DescribeRemains(FileSystem& files, const QString& folder,
                        const std::vector<CopyFailure>& resisted) {
    constexpr int everything =
        Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Folder;
    QStringList remains;
    const Result<std::vector<FolderEntry>> entries =
        files.ListFolder(folder + QStringLiteral("*.*"), everything);
    if (entries) {
        for (const FolderEntry& entry : entries.value()) {
            if (IsDotOrDotDot(entry.name)) continue;
            QString item = entry.name;
            if (entry.attributes & Attribute::Folder) {
                item += u'\\';
            } else {
                for (const CopyFailure& failure : resisted)
                    if (failure.path.compare(folder + entry.name, Qt::CaseInsensitive) == 0)
                        item += QStringLiteral(" (") + failure.reason + u')';
            }
            remains.push_back(item);
        }
    }
    return remains.join(QStringLiteral(", "));
}

}  // namespace

Status RemoveFolder(FileSystem& files, QString& folder) {
    std::vector<QString> paths;
    int count = 0;
    QString pattern = QStringLiteral("*.*");
    // A folder that cannot be listed still gets the sweep and the removal below; whether it is
    // gone is what the result reports.
    (void)FindFiles(files, QStringLiteral("C:"), folder, pattern, paths, count, true);

    // A file that resists deletion is not fatal here: the sweep below tries it again, and what
    // finally remains is reported from the folder itself.
    std::vector<CopyFailure> resisted;
    for (const QString& path : paths)
        if (Status deleted = DeleteFileForced(files, path); !deleted)
            resisted.push_back({path, deleted.reason()});

    // From here every failure is ignored; the last check says whether the folder went.
    (void)files.DeleteMatching(folder + QStringLiteral("*.*"));
    const QString ownPath = WithoutTrailingBackslash(folder);
    const Status removed = files.RemoveEmptyFolder(ownPath);

    if (!FileExists(files, ownPath)) return Status::Ok();
    const QString remains = DescribeRemains(files, folder, resisted);
    if (remains.isEmpty())
        return Status::Fail(ownPath + QStringLiteral(" could not be removed: ") +
                            (removed ? QStringLiteral("it is still there") : removed.reason()));
    return Status::Fail(ownPath + QStringLiteral(" could not be removed; it still holds ") +
                        remains);
}

}  // namespace stowix
