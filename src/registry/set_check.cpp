#include "registry/set_check.h"

#include "registry/wine_registry.h"

#include <algorithm>
#include <memory>

namespace stowix {

namespace {

constexpr int EveryFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
constexpr qint64 Chunk = 1024 * 1024;
// The largest file a FAT drive of Windows 95 or 98 holds: a set's file larger than that came from
// no such drive, and reading it through (a sparse file of many GiB) would take minutes.
constexpr qint64 MostFileBytes = (qint64(1) << 32) - 1;

bool IsRegistryName(const QString& name) {
    for (const QString& registry : RegistryFileNames())
        if (name.compare(registry, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Reads the whole file in pieces, so that a large file costs no more memory than a piece. The
// reason it cannot be read, or an empty text.
QString ReadThrough(FileSystem& files, const QString& path) {
    Result<std::unique_ptr<FileReader>> opened = files.OpenForReading(path);
    if (!opened) return opened.reason();
    FileReader& reader = *opened.value();
    const qint64 size = reader.Size();
    if (size > MostFileBytes)
        return QStringLiteral(
                   "it is %1 bytes, larger than any file a Windows 95 or 98 drive "
                   "holds (4 GiB), so it was not read")
            .arg(size);
    std::unique_ptr<char[]> buffer(new char[Chunk]);
    qint64 offset = 0;
    for (;;) {
        const Result<qint64> got = reader.ReadAt(offset, buffer.get(), Chunk);
        if (!got) return got.reason();
        if (got.value() == 0) break;
        offset += got.value();
    }
    if (offset != size)
        return QStringLiteral("it holds %1 bytes where %2 were expected").arg(offset).arg(size);
    return QString();
}

}  // namespace

SetCheck CheckBackupSet(FileSystem& files, const QString& setPath) {
    SetCheck check;
    const Result<std::vector<FolderEntry>> listed =
        files.ListFolder(setPath + QStringLiteral("\\*.*"), EveryFile);
    if (!listed) {
        check.problems.push_back(QStringLiteral("the set cannot be listed: ") + listed.reason());
        return check;
    }
    bool notChecked = false;
    std::vector<QString> registryFound;
    std::vector<QString> wineFound;
    for (const FolderEntry& entry : listed.value()) {
        if (entry.attributes & Attribute::Folder) continue;
        // The set's record is no file of the drive; whether it can be read is told below.
        if (entry.name.compare(SetRecordName, Qt::CaseInsensitive) == 0) continue;
        ++check.files;
        const QString path = setPath + u'\\' + entry.name;
        if (IsWineRegistryName(entry.name)) {
            wineFound.push_back(entry.name.toLower());
            const WineRegistryCheck wine = CheckWineRegistryFile(files, path);
            if (wine.sound)
                check.registryKeys += wine.keys;
            else
                check.problems.push_back(entry.name + QStringLiteral(" is damaged: ") +
                                         wine.reason);
            continue;
        }
        if (IsRegistryName(entry.name)) {
            // The registry check reads the file whole itself.
            registryFound.push_back(entry.name.toUpper());
            const RegistryCheck registry = CheckRegistryFile(files, path);
            if (registry.verdict == RegistryVerdict::Sound) {
                check.registryKeys += registry.keys;
            } else {
                notChecked |= registry.verdict == RegistryVerdict::NotChecked;
                check.problems.push_back(entry.name + QStringLiteral(" is damaged: ") +
                                         registry.reason);
            }
            continue;
        }
        if (const QString unreadable = ReadThrough(files, path); !unreadable.isEmpty())
            check.problems.push_back(entry.name + QStringLiteral(" cannot be read: ") + unreadable);
    }
    // A Wine prefix's set holds Wine's registry in place of the Windows 9x pair; each kind of
    // set needs the whole of its own.
    const bool wine = !wineFound.empty() && registryFound.empty();
    const std::vector<QString> wanted =
        wine ? std::vector<QString>{QStringLiteral("system.reg"), QStringLiteral("user.reg")}
             : RegistryFileNames();
    const std::vector<QString>& found = wine ? wineFound : registryFound;
    for (const QString& registry : wanted)
        if (std::find(found.begin(), found.end(), registry) == found.end())
            check.problems.push_back(registry + QStringLiteral(" is missing"));

    const SetFacts facts = ReadSetFacts(files, setPath);
    check.completeness = facts.completeness;
    check.incomplete = IncompleteText(facts);
    if (notChecked)
        check.verdict = SetVerdict::NotChecked;
    else if (facts.Incomplete())
        check.verdict = SetVerdict::Damaged;
    else
        check.verdict = check.problems.empty() ? SetVerdict::Sound : SetVerdict::Damaged;
    return check;
}

}  // namespace stowix
