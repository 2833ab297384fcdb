#include "restore/recorded_origins.h"

namespace stowix {

std::optional<SetRecord> RestoreRecord(FileSystem& files, const QString& setFolder) {
    Result<std::optional<SetRecord>> read = ReadSetRecord(files, setFolder);
    if (!read) return std::nullopt;
    return std::move(read).value();
}

DestinationName RestoredName(const std::optional<SetRecord>& record, const SetGroup& group) {
    if (!record || group.registry) return nullptr;
    return [&record, &group](const QString& name) -> std::optional<QString> {
        if (!GroupTakes(record, group, name)) return std::nullopt;
        return name;
    };
}

std::vector<CopyFailure> RestoreTwins(FileSystem& files, ProgressStepper& progress,
                                      const std::optional<SetRecord>& record,
                                      const QString& setFolder, const QString& windowsFolder) {
    std::vector<CopyFailure> failures;
    if (!record) return failures;
    std::vector<FileCopy> copies;
    for (const FileOrigin& origin : record->files) {
        if (origin.nameOnDrive.compare(origin.nameInSet, Qt::CaseInsensitive) == 0) continue;
        copies.push_back({setFolder + u'\\' + origin.nameInSet,
                          FullPlaceFolder(origin.place, windowsFolder) + origin.nameOnDrive});
    }
    const std::vector<Result<bool>> results = files.CopyFilesKeepingAttributes(
        copies, [&progress](size_t) { progress.StepProgress(false, false); });
    for (size_t i = 0; i < copies.size() && i < results.size(); ++i) {
        // A twin that is listed but missing from the set was not copied by the backup either.
        if (!results[i]) failures.push_back({copies[i].source, results[i].reason()});
    }
    return failures;
}

}  // namespace stowix
