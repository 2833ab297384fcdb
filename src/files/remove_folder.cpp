#include "files/remove_folder.h"

#include "dos/name_rules.h"
#include "files/file_routines.h"
#include "files/listing.h"

#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace stowix {

namespace {

// The folder as a path of its own, without the trailing backslash of its listed form; a drive's
// root keeps it ("C:\").
QString WithoutTrailingBackslash(const QString& folder) {
    if (folder.size() > 3 && folder.endsWith(u'\\')) return folder.chopped(1);
    return folder;
}

// What the held folder still holds: each name, folders marked by a trailing backslash, each file
// that resisted deletion with the reason it gave.
QString DescribeRemains(HeldFolder& held, const std::map<QString, QString>& resisted) {
    QStringList remains;
    if (const Result<std::vector<FolderEntry>> entries = held.List(); entries) {
        for (const FolderEntry& entry : entries.value()) {
            if (IsDotOrDotDot(entry.name)) continue;
            QString item = entry.name;
            if (entry.attributes & Attribute::Folder) {
                item += u'\\';
            } else if (const auto reason = resisted.find(entry.name); reason != resisted.end()) {
                item += QStringLiteral(" (") + reason->second + u')';
            }
            remains.push_back(item);
        }
    }
    return remains.join(QStringLiteral(", "));
}

// Deletes every file the held folder lists, noting the reason of each that resists.
void DeleteListedFiles(HeldFolder& held, std::map<QString, QString>& resisted) {
    const Result<std::vector<FolderEntry>> entries = held.List();
    if (!entries) return;
    for (const FolderEntry& entry : entries.value()) {
        if (entry.attributes & Attribute::Folder) continue;
        if (Status deleted = held.DeleteFile(entry.name); !deleted)
            resisted[entry.name] = deleted.reason();
        else
            resisted.erase(entry.name);
    }
}

}  // namespace

Status RemoveFolder(FileSystem& files, QString& folder) {
    folder = DrivePrefix(files, QStringLiteral("C:")) + NormalizeFolder(files, folder);
    const QString ownPath = WithoutTrailingBackslash(folder);
    // The folder is held once and emptied through that hold: whatever is renamed or linked in
    // its place while the files go, the walk stays in the folder it found.
    Result<std::unique_ptr<HeldFolder>> opened = files.HoldFolder(ownPath);
    if (!opened) {
        if (!FileExists(files, ownPath)) return Status::Ok();
        return Status::Fail(ownPath + QStringLiteral(" could not be removed: ") + opened.reason());
    }
    HeldFolder& held = *opened.value();

    // A file that resists deletion is not fatal here: a second pass tries it again, and what
    // finally remains is reported from the folder itself.
    std::map<QString, QString> resisted;
    DeleteListedFiles(held, resisted);
    DeleteListedFiles(held, resisted);
    const Status removed = held.Remove();
    if (removed) return Status::Ok();

    const QString remains = DescribeRemains(held, resisted);
    if (remains.isEmpty())
        return Status::Fail(ownPath + QStringLiteral(" could not be removed: ") + removed.reason());
    return Status::Fail(ownPath + QStringLiteral(" could not be removed; it still holds ") +
                        remains);
}

}  // namespace stowix
