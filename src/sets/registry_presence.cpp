#include "sets/registry_presence.h"

namespace stowix {

namespace {

constexpr int EveryFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

}  // namespace

QStringList RegistryFilesIn(FileSystem& files, const QString& setPath,
                            std::span<const SetGroup> groups) {
    QStringList found;
    for (const SetGroup& group : groups) {
        if (!group.registry) continue;
        const Result<std::vector<FolderEntry>> listed =
            files.ListFolder(setPath + u'\\' + QString::fromUtf16(group.pattern), EveryFile);
        if (!listed) continue;
        for (const FolderEntry& entry : listed.value())
            if (!(entry.attributes & Attribute::Folder) &&
                !found.contains(entry.name, Qt::CaseInsensitive))
                found.append(entry.name);
    }
    return found;
}

QString RegistryNotFoundReason(std::span<const SetGroup> groups) {
    QStringList names;
    for (const SetGroup& group : groups)
        if (group.registry) names.append(QString::fromUtf16(group.pattern).toUpper());
    return RegistryNotFoundReason(names);
}

QString RegistryNotFoundReason(const QStringList& names) {
    return QStringLiteral("the registry was not found: none of ") +
           names.join(QStringLiteral(", ")) +
           QStringLiteral(" is there as a file that can be read, so the set holds no registry");
}

}  // namespace stowix
