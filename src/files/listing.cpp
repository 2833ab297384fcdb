#include "files/listing.h"

#include "dos/dos_path.h"

#include "files/file_routines.h"
#include "files/source_names.h"

#include <algorithm>

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
    // The list is emptied above, so the count starts again from nothing whatever came in.
    count = 0;

    // The whole listing is read before anything is done with it: callers copy and delete only
    // after this returns, never while the folder is being enumerated.
    Result<std::vector<FolderEntry>> entries = files.ListFolder(folder + pattern, EveryFileMask);
    if (!entries) {
        list.reserve(ListRoomStep);
        return entries.status();
    }
    std::vector<FolderEntry> found = std::move(entries).value();
    const auto isFolder = [](const FolderEntry& entry) {
        return (entry.attributes & Attribute::Folder) != 0;
    };
    // The room that growing 1024 entries at a time ends with, taken at once: the number of
    // names is known before the first is stored, and a folder of 100,000 names would otherwise
    // move the list a hundred times.
    const qsizetype names =
        qsizetype(found.size()) - qsizetype(std::count_if(found.begin(), found.end(), isFolder));
    const qsizetype steps = std::max<qsizetype>(1, (names + ListRoomStep - 1) / ListRoomStep);
    list.reserve(size_t(steps * ListRoomStep));
    for (FolderEntry& entry : found) {
        if (isFolder(entry)) continue;
        if (withPath)
            list.push_back(folder + entry.name);
        else
            list.push_back(std::move(entry.name));
        ++count;
    }
    return Status::Ok();
}

std::vector<CopyFailure> CopyMatchingFiles(FileSystem& files, ProgressStepper& progress,
                                           QString& sourceFolder, QString& pattern,
                                           const QString& destinationFolder) {
    return CopyMatchingFiles(files, progress, sourceFolder, pattern, destinationFolder, nullptr);
}

std::vector<CopyFailure> CopyMatchingFiles(FileSystem& files, ProgressStepper& progress,
                                           QString& sourceFolder, QString& pattern,
                                           const QString& destinationFolder,
                                           const DestinationName& destinationName) {
    std::vector<CopyFailure> failures;
    std::vector<QString> names;
    int count = 0;
    // A folder given with its drive (a Windows folder on D:) is listed there; else on C:.
    const QString drive = DrivePrefix(sourceFolder) ? sourceFolder.left(2) : QStringLiteral("C:");
    if (Status listed = FindFiles(files, drive, sourceFolder, pattern, names, count, false);
        !listed) {
        failures.push_back({sourceFolder + pattern, listed.reason()});
        return failures;
    }
    // A plain name is looked for in every case, so that two files of that name are found.
    if (std::vector<QString> everyCase = NamesOfEveryCase(files, sourceFolder, pattern);
        everyCase.size() > 1)
        names = std::move(everyCase);
    failures = TakeRefusedNames(sourceFolder, names);
    // One file that cannot be copied must not cost the others their copy: every file is tried,
    // and the caller learns of each one that failed. The file system copies the group in one
    // call, so that it finds the two folders once for all of the group's files.
    std::vector<FileCopy> copies;
    copies.reserve(names.size());
    for (const QString& name : names) {
        const std::optional<QString> target =
            destinationName ? destinationName(name) : std::optional<QString>(name);
        if (target) copies.push_back({sourceFolder + name, destinationFolder + u'\\' + *target});
    }
    const std::vector<Result<bool>> results = files.CopyFilesKeepingAttributes(
        copies, [&progress](size_t) { progress.StepProgress(false, false); });
    for (size_t i = 0; i < copies.size() && i < results.size(); ++i)
        if (!results[i]) failures.push_back({copies[i].source, results[i].reason()});
    return failures;
}

}  // namespace stowix
