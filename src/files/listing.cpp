#include "files/listing.h"

#include "files/file_routines.h"

namespace stowix {

namespace {

// Lists take room this many entries at a time, so that a listing of a few thousand names costs
// only a few enlargements.
constexpr qsizetype ListRoomStep = 1024;

// Files of every kind: plain, read-only, hidden and system; never folders.
constexpr int EveryFileMask = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

}  // namespace

QString DrivePrefix(FileSystem& files, const QString& drive) {
    if (drive.isEmpty()) return files.CurrentDrive().left(1) + u':';
    return drive.left(1) + u':';
}

QString NormalizeFolder(FileSystem& files, const QString& folder) {
    QString result = folder.isEmpty() ? files.CurrentFolder() : folder;
    const qsizetype colon = result.indexOf(u':');
    if (colon >= 0) result.remove(0, colon + 1);
    if (!result.startsWith(u'\\')) result.prepend(u'\\');
    if (!result.endsWith(u'\\')) result.append(u'\\');
    return result;
}

Status FindFiles(FileSystem& files, const QString& drive, QString& folder, QString& pattern,
                 std::vector<QString>& list, int& count, bool withPath) {
    folder = DrivePrefix(files, drive) + NormalizeFolder(files, folder);
    if (pattern.isEmpty()) pattern = QStringLiteral("*.*");
    list.clear();
    list.shrink_to_fit();
    list.reserve(ListRoomStep);
    // The list is emptied above, so the count starts again from nothing whatever came in.
    count = 0;

    // The whole listing is read before anything is done with it: callers copy and delete only
    // after this returns, never while the folder is being enumerated.
    const Result<std::vector<FolderEntry>> entries = files.ListFolder(folder + pattern,
                                                                      EveryFileMask);
    if (!entries) return entries.status();
    for (const FolderEntry& entry : entries.value()) {
        if (entry.attributes & Attribute::Folder) continue;
        if (qsizetype(list.size()) == qsizetype(list.capacity()))
            list.reserve(list.capacity() + ListRoomStep);
        list.push_back(withPath ? folder + entry.name : entry.name);
        ++count;
    }
    return Status::Ok();
}

std::vector<CopyFailure> CopyMatchingFiles(FileSystem& files, ProgressStepper& progress,
                                           QString& sourceFolder, QString& pattern,
                                           const QString& destinationFolder) {
    std::vector<CopyFailure> failures;
    std::vector<QString> names;
    int count = 0;
    if (Status listed = FindFiles(files, QStringLiteral("C:"), sourceFolder, pattern, names,
                                  count, false);
        !listed) {
        failures.push_back({sourceFolder + pattern, listed.reason()});
        return failures;
    }
    // One file that cannot be copied must not cost the others their copy: every file is tried,
    // and the caller learns of each one that failed.
    for (const QString& name : names) {
        progress.StepProgress(false, false);
        const QString source = sourceFolder + name;
        if (Status copied = CopyKeepingAttributes(files, source, destinationFolder + u'\\' + name);
            !copied)
            failures.push_back({source, copied.reason()});
    }
    return failures;
}

}  // namespace stowix
