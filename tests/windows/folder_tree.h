#pragma once
// A file system that holds only folders, for the folder list: AddFolder builds the tree, and
// ListFolder answers "<folder>\*.*" listings as the real one does (the "." and ".." entries
// first, plain files only as added with AddFile), and ReadAttributes answers for what was added.
// Every other call fails the test (refusing_file_system.h): the list must not make it. Names are
// found without regard to case.

#include "support/refusing_file_system.h"

#include <QMap>
#include <QStringList>

namespace stowix::test {

class FolderTree : public RefusingFileSystem {
public:
    // path: a full DOS path such as "C:\Stowix\A set"; its parents are added too.
    void AddFolder(const QString& path) { Add(path, Attribute::Folder); }
    void AddFile(const QString& path) { Add(path, Attribute::Archive); }

    // The patterns and masks the list asked for, in order.
    QStringList asked;

    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        asked.append(pattern + " mask " + QString::number(mask));
        if (!pattern.endsWith("\\*.*")) return Result<std::vector<FolderEntry>>::Fail("pattern");
        QString folder = pattern.chopped(4);
        if (folder.endsWith(':')) folder += '\\';
        std::vector<FolderEntry> entries;
        if (!m_entries.contains(Key(folder))) return entries;
        if (mask & Attribute::Folder)
            entries.insert(entries.end(), {{".", Attribute::Folder}, {"..", Attribute::Folder}});
        for (const auto& [name, attributes] : m_entries.value(Key(folder)))
            if ((attributes & Attribute::Folder) == 0 || (mask & Attribute::Folder))
                entries.push_back({name, attributes});
        return entries;
    }

    Result<int> ReadAttributes(const QString& path) override {
        const int cut = path.lastIndexOf('\\');
        QString parent = path.left(cut);
        if (parent.endsWith(':')) parent += '\\';
        for (const auto& [name, attributes] : m_entries.value(Key(parent)))
            if (name.compare(path.mid(cut + 1), Qt::CaseInsensitive) == 0) return attributes;
        return RefusingFileSystem::ReadAttributes(path);
    }

private:
    using Entries = std::vector<std::pair<QString, int>>;

    static QString Key(const QString& folder) { return folder.toUpper(); }

    void Add(const QString& path, int attributes) {
        const int cut = path.lastIndexOf('\\');
        QString parent = path.left(cut);
        if (parent.endsWith(':'))
            parent += '\\';
        else if (!m_entries.contains(Key(parent)))
            AddFolder(parent);
        m_entries[Key(parent)].push_back({path.mid(cut + 1), attributes});
        if (attributes & Attribute::Folder) m_entries[Key(path)];
    }

    QMap<QString, Entries> m_entries;  // by upper-cased folder path
};

}  // namespace stowix::test
