#include "registry/registry_file_check.h"

#include "registry/wine_registry.h"

#include <QStringList>

namespace stowix {

namespace {

// Registry files are hidden, system and read-only; a listing must take them all.
constexpr int EveryFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

QString FileName(const QString& path) { return path.mid(path.lastIndexOf(u'\\') + 1); }

}  // namespace

const std::vector<QString>& RegistryFileNames() {
    static const std::vector<QString> names = {QStringLiteral("SYSTEM.DAT"),
                                               QStringLiteral("USER.DAT")};
    return names;
}

PendingRegistryCheck StartRegistryFileCheck(FileSystem& files, const QString& path,
                                            SendItems sendItems) {
    const auto unreadable = [](const QString& reason) {
        RegistryCheck check;
        check.verdict = RegistryVerdict::Damaged;
        check.reason = reason;
        return PendingRegistryCheck(check);
    };
    Result<std::unique_ptr<FileReader>> opened = files.OpenForReading(path);
    if (!opened) return unreadable(QStringLiteral("it cannot be read: ") + opened.reason());
    FileReader& reader = *opened.value();
    if (reader.Size() > MaxRegistryBytes)
        return unreadable(QStringLiteral("it is larger (%1 MiB) than any registry file")
                              .arg(reader.Size() / (1024 * 1024)));
    // The reader's child has its own copy of the opened file; this one may close.
    return StartRegistryCheck(reader, RegistryRootName(FileName(path)), sendItems,
                              DefaultRegistryCheckLimits(reader.Size()));
}

RegistryCheck CheckRegistryFile(FileSystem& files, const QString& path, SendItems sendItems) {
    return StartRegistryFileCheck(files, path, sendItems).Finish();
}

std::vector<RegistryProblem> CheckSetRegistry(FileSystem& files, const QString& setPath) {
    return PendingSetRegistryCheck(files, setPath).Finish();
}

WineRegistryCheck CheckWineRegistryFile(FileSystem& files, const QString& path) {
    const Result<QByteArray> text = files.ReadFile(path, MaxRegistryBytes);
    if (!text) {
        WineRegistryCheck check;
        check.reason = QStringLiteral("it cannot be read: ") + text.reason();
        return check;
    }
    return CheckWineRegistryText(text.value());
}

namespace {

// The Wine registry files the set holds, by their stored names.
QStringList WineFilesOf(FileSystem& files, const QString& setPath) {
    QStringList names;
    for (const QString& wanted : WineRegistryFileNames()) {
        const Result<std::vector<FolderEntry>> found =
            files.ListFolder(setPath + u'\\' + wanted, EveryFile);
        if (!found) continue;
        for (const FolderEntry& entry : found.value())
            if (!(entry.attributes & Attribute::Folder)) names.append(entry.name);
    }
    return names;
}

}  // namespace

PendingSetRegistryCheck::PendingSetRegistryCheck(FileSystem& files, const QString& setPath) {
    // A set of a Wine prefix holds Wine's text registry in place of the Windows 9x pair; its
    // text is read here at once.
    if (const QStringList wine = WineFilesOf(files, setPath); !wine.isEmpty()) {
        for (const QString& name : wine) {
            const WineRegistryCheck check = CheckWineRegistryFile(files, setPath + u'\\' + name);
            if (!check.sound) m_problems.push_back({name, check.reason, true});
        }
        return;
    }
    for (const QString& wanted : RegistryFileNames()) {
        // The name as stored, found without regard to case as every listing of the program is.
        const Result<std::vector<FolderEntry>> found =
            files.ListFolder(setPath + u'\\' + wanted, EveryFile);
        if (!found) {
            m_problems.push_back(
                {wanted, QStringLiteral("it cannot be found: ") + found.reason(), true});
            continue;
        }
        for (const FolderEntry& entry : found.value()) {
            if (entry.attributes & Attribute::Folder) continue;
            m_started.emplace_back(entry.name,
                                   StartRegistryFileCheck(files, setPath + u'\\' + entry.name));
        }
    }
}

std::vector<RegistryProblem> PendingSetRegistryCheck::Finish() {
    std::vector<RegistryProblem> problems = std::move(m_problems);
    for (auto& [name, pending] : m_started) {
        const RegistryCheck check = pending.Finish();
        if (check.verdict != RegistryVerdict::Sound)
            problems.push_back({name, check.reason, check.verdict != RegistryVerdict::NotChecked});
    }
    m_started.clear();
    return problems;
}

QString DescribeRegistryProblems(const std::vector<RegistryProblem>& problems) {
    QStringList parts;
    for (const RegistryProblem& problem : problems)
        parts.append(problem.name + QStringLiteral(": ") +
                     (problem.checked
                          ? problem.reason
                          : QStringLiteral("could not be checked (") + problem.reason + u')'));
    return parts.join(QStringLiteral("; "));
}

}  // namespace stowix
