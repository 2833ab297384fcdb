#include "host_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace stowix::test {

namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;  // go on with the rest whatever happened to this one
}

}  // namespace

HostFolder::HostFolder() {
    char pattern[] = "/var/tmp/stowix-platform-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "no temporary folder: " << std::strerror(errno);
        return;
    }
    m_path = pattern;
}

HostFolder::~HostFolder() {
    if (!m_path.empty()) ::nftw(m_path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

void HostFolder::MakeFolder(const std::string& relative) const {
    if (::mkdir(Join(relative).c_str(), 0777) != 0)
        ADD_FAILURE() << "mkdir " << relative << ": " << std::strerror(errno);
}

void HostFolder::MakeFile(const std::string& relative, const std::string& contents) const {
    std::ofstream file(Join(relative), std::ios::binary | std::ios::trunc);
    file << contents;
    if (!file) ADD_FAILURE() << "cannot write " << relative;
}

void HostFolder::MakeLink(const std::string& relative, const std::string& target) const {
    if (::symlink(target.c_str(), Join(relative).c_str()) != 0)
        ADD_FAILURE() << "symlink " << relative << ": " << std::strerror(errno);
}

void HostFolder::SetExtendedAttribute(const std::string& relative, const std::string& value) const {
    if (::setxattr(Join(relative).c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) != 0)
        ADD_FAILURE() << "setxattr " << relative << ": " << std::strerror(errno);
}

bool HostFolder::Exists(const std::string& relative) const {
    struct stat info {};
    return ::lstat(Join(relative).c_str(), &info) == 0;
}

std::string HostFolder::Contents(const std::string& relative) const {
    std::ifstream file(Join(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<std::string> HostFolder::DosAttribute(const std::string& relative) const {
    char value[1024];
    const ssize_t length =
        ::getxattr(Join(relative).c_str(), "user.DOSATTRIB", value, sizeof value);
    if (length < 0) return std::nullopt;
    return std::string(value, size_t(length));
}

mode_t HostFolder::Permissions(const std::string& relative) const {
    return Stat(relative).st_mode & 07777;
}

struct stat HostFolder::Stat(const std::string& relative) const {
    struct stat info {};
    if (::lstat(Join(relative).c_str(), &info) != 0)
        ADD_FAILURE() << "lstat " << relative << ": " << std::strerror(errno);
    return info;
}

std::vector<std::string> HostFolder::Names(const std::string& relative) const {
    std::vector<std::string> names;
    DIR* folder = ::opendir(Join(relative).c_str());
    if (folder == nullptr) return names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace stowix::test
