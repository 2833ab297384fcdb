#include "hostfs/seen_files.h"

#include <functional>

namespace stowix::posix {

namespace {

bool SameTime(const struct timespec& left, const struct timespec& right) {
    return left.tv_sec == right.tv_sec && left.tv_nsec == right.tv_nsec;
}

}  // namespace

size_t SeenFiles::KeyHash::operator()(const Key& key) const {
    const size_t name = std::hash<std::string>()(key.name);
    return name ^ (size_t(key.folder) * 0x9e3779b97f4a7c15ULL) ^ size_t(key.device);
}

void SeenFiles::Remember(const struct stat& folder, const std::string& name,
                         const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return;
    Key key{folder.st_dev, folder.st_ino, name};
    if (m_seen.size() >= Capacity && m_seen.find(key) == m_seen.end()) return;
    m_seen.insert_or_assign(std::move(key), info);
}

std::optional<struct stat> SeenFiles::Take(const struct stat& folder, const std::string& name) {
    if (m_seen.empty()) return std::nullopt;
    const auto found = m_seen.find(Key{folder.st_dev, folder.st_ino, name});
    if (found == m_seen.end()) return std::nullopt;
    const struct stat seen = found->second;
    m_seen.erase(found);
    return seen;
}

SeenFiles::Since SeenFiles::Compare(const struct stat& seen, const struct stat& now) {
    if (!S_ISREG(now.st_mode) || now.st_dev != seen.st_dev || now.st_ino != seen.st_ino)
        return Since::Replaced;
    if (now.st_size != seen.st_size || !SameTime(now.st_mtim, seen.st_mtim)) return Since::Written;
    // The change time moves with every write, permission and attribute change, so a file made
    // read-only or given other DOS attributes after it was seen is not taken as seen.
    if (now.st_mode != seen.st_mode || !SameTime(now.st_ctim, seen.st_ctim)) return Since::Replaced;
    return Since::Unchanged;
}

}  // namespace stowix::posix
