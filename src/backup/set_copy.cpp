#include "backup/set_copy.h"

#include "registry/wine_prefix_files.h"
#include "sets/backup_set_layout.h"

namespace stowix {

std::vector<CopyFailure> CopySetGroups(FileSystem& files, ProgressStepper& progress,
                                       const QString& windowsFolder, const QString& setPath) {
    std::vector<CopyFailure> failures;
    for (const SetGroup& group : BackupGroups) {
        // The root's groups are taken from the root of the current drive ("\\"), which start-up
        // made drive C:.
        QString sourceFolder = PlaceFolder(group.place, windowsFolder) + u'\\';
        QString pattern = QString::fromUtf16(group.pattern);
        std::vector<CopyFailure> groupFailures =
            CopyMatchingFiles(files, progress, sourceFolder, pattern, setPath);
        failures.insert(failures.end(), groupFailures.begin(), groupFailures.end());
    }
    return failures;
}

void AppendWineRegistry(FileSystem& files, const QString& prefix, const QString& setPath,
                        std::vector<CopyFailure>& failures) {
    if (prefix.isEmpty()) return;
    const std::vector<CopyFailure> wine = CopyWineRegistryIntoSet(files, prefix, setPath);
    failures.insert(failures.end(), wine.begin(), wine.end());
}

void FlushSet(FileSystem& files, const QString& setPath, std::vector<CopyFailure>& failures) {
    if (Status flushed = files.FlushToDisk(setPath); !flushed.ok())
        failures.push_back({setPath, QStringLiteral("not written to disk: ") + flushed.reason()});
}

}  // namespace stowix
