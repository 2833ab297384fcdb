#include "hostfs/held_folder.h"

#include "dos/name_rules.h"
#include "hostfs/dos_attributes.h"
#include "hostfs/folder_reader.h"
#include "hostfs/host_errors.h"
#include "hostfs/host_names.h"
#include "hostfs/pending_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace stowix::posix {

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY;

Status OpenFailure(const QString& path, int hostError) {
    if (hostError == ELOOP) return RefusalFailure(path, Refusal::LinkInPath);
    return HostFailure(path, hostError);
}

class HostHeldFolder final : public HeldFolder {
public:
    HostHeldFolder(PathResolver& resolver, DriveRoot& drive, UniqueFd parent, std::string name,
                   UniqueFd folder, QString path)
        : m_resolver(resolver),
          m_drive(drive),
          m_parent(std::move(parent)),
          m_name(std::move(name)),
          m_folder(std::move(folder)),
          m_path(std::move(path)) {}

    Result<std::vector<FolderEntry>> List() override {
        if (::lseek(m_folder.Get(), 0, SEEK_SET) != 0) return HostFailure(m_path, errno);
        std::vector<FolderEntry> entries;
        FolderReader reader(m_folder.Get());
        FolderReader::Entry entry{};
        while (reader.Next(entry)) {
            if (IsDotOrDotDot(entry.name) || IsPendingName(entry.name)) continue;
            const std::string name(entry.name);
            struct stat info {};
            if (::fstatat(m_folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone meanwhile
            entries.push_back({NameFromHost(name), AttributesOf(name, info)});
        }
        if (reader.Error() != 0) return HostFailure(m_path, reader.Error());
        return entries;
    }

    Status DeleteFile(const QString& name) override {
        const std::string host = NameToHost(name);
        const QString text = m_path + u'\\' + name;
        struct stat info {};
        if (::fstatat(m_folder.Get(), host.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return HostFailure(text, errno);
        if (S_ISDIR(info.st_mode)) return RefusalFailure(text, Refusal::IsFolder);
        // Removing a name needs no change of the file's own attributes: none is made, so a file
        // with another name elsewhere keeps them.
        return m_resolver.RemoveEntry(m_folder.Get(), host, 0, text);
    }

    Status Remove() override {
        struct stat held {};
        struct stat named {};
        if (::fstat(m_folder.Get(), &held) != 0) return HostFailure(m_path, errno);
        if (::fstatat(m_parent.Get(), m_name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
            return HostFailure(m_path, errno);
        if (named.st_dev != held.st_dev || named.st_ino != held.st_ino)
            return Status::Fail(m_path + QStringLiteral(": The name was given to another entry "
                                                        "while the folder was emptied"));
        // What killed copies left behind is no part of the folder to the user. The folder is
        // read again from its start.
        if (::lseek(m_folder.Get(), 0, SEEK_SET) == 0) RemoveLeftPendingFiles(m_folder.Get());
        return m_resolver.RemoveEntry(m_parent.Get(), m_name, AT_REMOVEDIR, m_path);
    }

private:
    int AttributesOf(const std::string& name, const struct stat& info) const {
        if (S_ISDIR(info.st_mode)) return Attribute::Folder;
        if (!S_ISREG(info.st_mode)) return 0;
        const EntryRef entry{m_folder.Get(), name.c_str()};
        const Result<int> attributes = ReadDosAttributes(
            entry, info, StoreFor(entry, info, m_drive.device, m_drive.fat), m_path);
        return attributes ? attributes.value() : 0;
    }

    PathResolver& m_resolver;
    DriveRoot& m_drive;
    UniqueFd m_parent;
    std::string m_name;
    UniqueFd m_folder;
    QString m_path;
};

}  // namespace

Result<std::unique_ptr<HeldFolder>> HoldHostFolder(PathResolver& resolver, const QString& path) {
    // The resolver finds the stored names (in any case); the folder is then opened again by
    // them without following a single link.
    Result<Location> location = resolver.Locate(path, Links::Refuse);
    if (!location) return location.status();
    const Location& place = location.value();
    if (!place.exists) return HostFailure(path, ENOENT);
    if (place.IsRoot()) return RefusalFailure(path, Refusal::DriveRoot);
    if (place.IsLink()) return RefusalFailure(path, Refusal::LinkInPath);
    if (!S_ISDIR(place.info.st_mode)) return HostFailure(path, ENOTDIR);

    DriveRoot& drive = *place.drive;
    const char* parentPath = place.parentPath.empty() ? "." : place.parentPath.c_str();
    UniqueFd parent = OpenBeneath(drive.fd.Get(), parentPath, FolderFlags, false, true);
    if (!parent.Valid()) return OpenFailure(path, errno);
    UniqueFd folder = OpenBeneath(parent.Get(), place.name.c_str(), FolderFlags, false, true);
    if (!folder.Valid()) return OpenFailure(path, errno);
    return std::unique_ptr<HeldFolder>(std::make_unique<HostHeldFolder>(
        resolver, drive, std::move(parent), place.name, std::move(folder), path));
}

}  // namespace stowix::posix
