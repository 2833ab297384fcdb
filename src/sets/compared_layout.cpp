#include "sets/compared_layout.h"

#include "sets/backup_set_layout.h"

namespace stowix {

std::vector<BackupSource> BackupSources(const ProgramValues& values) {
    std::vector<BackupSource> sources;
    for (const FileGroup& group : FileGroups(values.WindowsFolderTail))
        sources.push_back(
            {QStringLiteral("C:") + group.sourceFolder, group.pattern, group.registry});
    return sources;
}

std::vector<RestoreTarget> RestoreTargets(const ProgramValues& values) {
    std::vector<RestoreTarget> targets;
    for (const SetGroup& group : RestoreGroups)
        targets.push_back(
            {QString::fromUtf16(group.pattern), RestoredFolder(group, values), group.registry});
    return targets;
}

}  // namespace stowix
