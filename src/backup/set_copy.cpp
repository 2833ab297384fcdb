#include "backup/set_copy.h"

#include "sets/backup_set_layout.h"
#include "sets/registry_presence.h"
#include "sets/set_record.h"

namespace stowix {

namespace {

// The name a file of place takes in the set. A file whose name an earlier group took from
// another folder (the Windows folder's AUTOEXEC.BAT beside the root's) is kept apart under its
// twin name instead of replacing that one; the record says where each came from.
QString NameInSet(SetRecord& record, SetPlace place, const QString& name) {
    const FileOrigin* taken = record.Origin(name);
    if (taken != nullptr && taken->place == place) return taken->nameInSet;
    QString inSet = taken == nullptr ? name : TwinName(name);
    if (record.Origin(inSet) == nullptr) record.files.push_back({inSet, place, name});
    return inSet;
}

}  // namespace

std::vector<CopyFailure> CopySetGroups(FileSystem& files, ProgressStepper& progress,
                                       const QString& windowsFolder, const QString& setPath) {
    // The record comes first: a run that breaks off leaves a set that says it is incomplete.
    SetRecord record = BegunSetRecord();
    if (Status begun = WriteSetRecord(files, setPath, record); !begun)
        return {{setPath + u'\\' + SetRecordName, begun.reason()}};
    std::vector<CopyFailure> failures;
    for (const SetGroup& group : BackupGroups) {
        // The root's groups are taken from the root of the current drive ("\\"), which start-up
        // made drive C:.
        QString sourceFolder = PlaceFolder(group.place, windowsFolder) + u'\\';
        QString pattern = QString::fromUtf16(group.pattern);
        std::vector<CopyFailure> groupFailures = CopyMatchingFiles(
            files, progress, sourceFolder, pattern, setPath,
            [&](const QString& name) { return NameInSet(record, group.place, name); });
        failures.insert(failures.end(), groupFailures.begin(), groupFailures.end());
    }
    if (Status listed = WriteSetRecord(files, setPath, record); !listed)
        failures.push_back({setPath + u'\\' + SetRecordName, listed.reason()});
    return failures;
}

void RequireRegistry(FileSystem& files, const QString& windowsFolder, const QString& setPath,
                     std::vector<CopyFailure>& failures, std::span<const SetGroup> groups) {
    if (RegistryFilesIn(files, setPath, groups).isEmpty())
        failures.push_back({FullPlaceFolder(SetPlace::WindowsFolder, windowsFolder),
                            RegistryNotFoundReason(groups)});
}

void FlushSet(FileSystem& files, const QString& setPath, std::vector<CopyFailure>& failures) {
    if (Status flushed = files.FlushToDisk(setPath); !flushed.ok()) {
        failures.push_back({setPath, QStringLiteral("not written to disk: ") + flushed.reason()});
        return;
    }
    if (!failures.empty()) return;
    // Only a set whose every file is on disk is marked complete, and the mark reaches the disk
    // before anyone relies on it.
    Result<std::optional<SetRecord>> read = ReadSetRecord(files, setPath);
    Status marked = read ? Status::Ok() : read.status();
    if (marked && !read.value()) marked = Status::Fail(SetRecordName + QStringLiteral(" is gone"));
    if (marked) {
        SetRecord record = *read.value();
        record.complete = true;
        marked = WriteSetRecord(files, setPath, record);
    }
    if (marked) marked = files.FlushToDisk(setPath);
    if (!marked)
        failures.push_back(
            {setPath + u'\\' + SetRecordName,
             QStringLiteral("the set could not be marked complete: ") + marked.reason()});
}

}  // namespace stowix
