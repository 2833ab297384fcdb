#include "files/source_names.h"

#include <map>

namespace stowix {

namespace {

// Windows' comparison of names: each character upper-cased on its own.
QString FoldedName(const QString& name) {
    QString folded = name;
    for (QChar& character : folded) character = character.toUpper();
    return folded;
}

bool HasWildcards(const QString& pattern) {
    return pattern.contains(u'*') || pattern.contains(u'?');
}

}  // namespace

std::vector<CopyFailure> TakeRefusedNames(const QString& folder, std::vector<QString>& names) {
    std::vector<CopyFailure> failures;
    std::map<QString, std::vector<QString>> byFoldedName;
    for (const QString& name : names) byFoldedName[FoldedName(name)].push_back(name);

    std::vector<QString> kept;
    kept.reserve(names.size());
    for (const QString& name : names) {
        if (name.contains(u'\\')) {
            failures.push_back(
                {folder + name, QStringLiteral("the name holds the character \\, which Windows "
                                               "does not allow in a name; it was not copied")});
            continue;
        }
        const std::vector<QString>& sameName = byFoldedName[FoldedName(name)];
        if (sameName.size() > 1) {
            // Reported once, at the first of its names, naming all of them.
            if (sameName.front() == name) {
                QString others;
                for (const QString& other : sameName)
                    if (other != name) others += QStringLiteral(" and ") + folder + other;
                failures.push_back(
                    {folder + name, QStringLiteral("the names ") + folder + name + others +
                                        QStringLiteral(" differ only in case, which Windows "
                                                       "takes for one file; neither was copied")});
            }
            continue;
        }
        kept.push_back(name);
    }
    names = std::move(kept);
    return failures;
}

std::vector<QString> NamesOfEveryCase(FileSystem& files, const QString& folder,
                                      const QString& pattern) {
    std::vector<QString> names;
    if (pattern.isEmpty() || HasWildcards(pattern)) return names;
    // The last character given as a wildcard makes the file system read the whole folder; the
    // names it finds beyond the pattern's own are left out again.
    const QString wide = pattern.left(pattern.size() - 1) + u'?';
    constexpr int everyFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    const Result<std::vector<FolderEntry>> entries = files.ListFolder(folder + wide, everyFile);
    if (!entries) return names;
    for (const FolderEntry& entry : entries.value())
        if ((entry.attributes & Attribute::Folder) == 0 &&
            entry.name.compare(pattern, Qt::CaseInsensitive) == 0)
            names.push_back(entry.name);
    return names;
}

}  // namespace stowix
