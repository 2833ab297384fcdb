#include "compare/compared_layout.h"

#include "backup/backup_set_layout.h"

namespace stowix {

namespace {

bool IsRegistryPattern(const QString& pattern) {
    return pattern.endsWith(QLatin1String(".Da?"), Qt::CaseInsensitive) ||
           pattern.endsWith(QLatin1String(".Dat"), Qt::CaseInsensitive) ||
           pattern.endsWith(QLatin1String(".Da0"), Qt::CaseInsensitive);
}

}  // namespace

std::vector<BackupSource> BackupSources(const ProgramValues& values) {
    std::vector<BackupSource> sources;
    for (const FileGroup& group : FileGroups(values.WindowsFolderTail))
        sources.push_back({QStringLiteral("C:") + group.sourceFolder, group.pattern,
                           IsRegistryPattern(group.pattern)});
    return sources;
}

std::vector<RestoreTarget> RestoreTargets(const ProgramValues& values) {
    // FIXME: read from the set layout's table once the restore run reads it too.
    const QString root = QStringLiteral("C:\\");
    const QString windows = QStringLiteral("C:") + values.WindowsFolderTail + u'\\';
    return {
        {QStringLiteral("Autoexec.Bat"), root},
        {QStringLiteral("Command.Com"), root},
        {QStringLiteral("Config.Sys"), root},
        {QStringLiteral("*.Sys"), root},
        {QStringLiteral("*.Bat"), windows},
        {QStringLiteral("*.Com"), windows},
        {QStringLiteral("*.Ini"), windows},
        {QStringLiteral("*.Grp"), windows},
        {QStringLiteral("*.Pif"), windows},
        {QStringLiteral("*.Pwl"), windows},
        {QStringLiteral("ShellIconCache"), windows},
        {QStringLiteral("TTFcache"), windows},
        {QStringLiteral("*.Da?"), values.WindowsFolder + u'\\', true},
    };
}

}  // namespace stowix
