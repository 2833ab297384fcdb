#include "hostfs/folder_name_cache.h"

#include "dos/name_case.h"
#include "dos/name_rules.h"
#include "hostfs/folder_reader.h"
#include "hostfs/host_names.h"
#include "hostfs/unique_fd.h"

#include <fcntl.h>

#include <algorithm>

namespace stowix::posix {

namespace {

bool SameTime(const struct timespec& left, const struct timespec& right) {
    return left.tv_sec == right.tv_sec && left.tv_nsec == right.tv_nsec;
}

bool SameState(const struct stat& info, dev_t device, ino_t inode, const struct timespec& modified,
               const struct timespec& changed) {
    return info.st_dev == device && info.st_ino == inode && SameTime(info.st_mtim, modified) &&
           SameTime(info.st_ctim, changed);
}

QString Folded(QStringView name) {
    QString folded(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i) folded[i] = QChar(FoldCase(name[i].unicode()));
    return folded;
}

QString FoldedHostName(std::string_view hostName) {
    if (!IsAscii(hostName)) return Folded(NameFromHost(hostName));
    QString folded(qsizetype(hostName.size()), Qt::Uninitialized);
    for (size_t i = 0; i < hostName.size(); ++i)
        folded[qsizetype(i)] = QChar(FoldCase(char16_t(hostName[i])));
    return folded;
}

}  // namespace

FolderNameCache::Folder* FolderNameCache::Current(const struct stat& info) {
    for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
        if (it->device != info.st_dev || it->inode != info.st_ino) continue;
        if (!SameState(info, it->device, it->inode, it->modified, it->changed)) {
            m_folders.erase(it);
            return nullptr;
        }
        std::rotate(it, it + 1, m_folders.end());
        return &m_folders.back();
    }
    return nullptr;
}

FolderNameCache::Folder& FolderNameCache::Read(int folderFd, const struct stat& info) {
    if (m_folders.size() >= Capacity) m_folders.erase(m_folders.begin());
    Folder& folder = m_folders.emplace_back();
    // The times are those from before the read, so a change during it shows next time.
    folder.device = info.st_dev;
    folder.inode = info.st_ino;
    folder.modified = info.st_mtim;
    folder.changed = info.st_ctim;
    UniqueFd readable(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.Valid()) {
        folder.inode = 0;  // never matches: the next lookup reads again
        return folder;
    }
    FolderReader reader(readable.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (!IsDotOrDotDot(entry.name))
            folder.names[FoldedHostName(entry.name)].emplace_back(entry.name);
    }
    if (reader.Error() != 0) folder.inode = 0;
    return folder;
}

std::optional<std::string> FolderNameCache::Find(int folderFd, QStringView name) {
    struct stat info {};
    if (::fstat(folderFd, &info) != 0) return std::nullopt;
    Folder* folder = Current(info);
    if (folder == nullptr) folder = &Read(folderFd, info);
    const auto found = folder->names.constFind(Folded(name));
    if (found == folder->names.constEnd() || found->empty()) return std::nullopt;
    return found->front();
}

std::optional<std::string> FolderNameCache::FindPreferring(int folderFd, QStringView name,
                                                           std::string_view hostName,
                                                           struct stat& folderInfo,
                                                           const struct stat* known) {
    if (known != nullptr) {
        folderInfo = *known;
    } else if (::fstat(folderFd, &folderInfo) != 0) {
        folderInfo.st_ino = 0;
        return std::nullopt;
    }
    Folder* folder = Current(folderInfo);
    if (folder == nullptr) folder = &Read(folderFd, folderInfo);
    const auto found = folder->names.constFind(Folded(name));
    if (found == folder->names.constEnd() || found->empty()) return std::nullopt;
    for (const std::string& stored : *found)
        if (stored == hostName) return stored;
    return found->front();
}

struct stat FolderNameCache::BeforeChange(int folderFd) {
    struct stat info {};
    if (::fstat(folderFd, &info) != 0) info.st_ino = 0;
    return info;
}

bool FolderNameCache::AfterChange(int folderFd, const struct stat& before, std::string_view added,
                                  std::string_view removed, struct stat* current) {
    Folder* folder = Current(before);
    if (folder == nullptr) return false;
    struct stat after {};
    if (::fstat(folderFd, &after) != 0 || after.st_dev != folder->device ||
        after.st_ino != folder->inode) {
        folder->inode = 0;
        return false;
    }
    if (!removed.empty()) {
        const auto found = folder->names.find(FoldedHostName(removed));
        if (found != folder->names.end()) {
            std::vector<std::string>& stored = found.value();
            stored.erase(std::remove(stored.begin(), stored.end(), removed), stored.end());
            if (stored.empty()) folder->names.erase(found);
        }
    }
    if (!added.empty()) AddName(*folder, added);
    folder->modified = after.st_mtim;
    folder->changed = after.st_ctim;
    if (current != nullptr) *current = after;
    return true;
}

bool FolderNameCache::AddedUnseen(const struct stat& before, std::string_view added) {
    Folder* folder = Current(before);
    if (folder == nullptr) return false;
    AddName(*folder, added);
    return true;
}

void FolderNameCache::AddName(Folder& folder, std::string_view added) {
    std::vector<std::string>& stored = folder.names[FoldedHostName(added)];
    if (std::find(stored.begin(), stored.end(), added) == stored.end()) stored.emplace_back(added);
}

}  // namespace stowix::posix
